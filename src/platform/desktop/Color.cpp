#include "platform/desktop/Color.hpp"

namespace talvori {

namespace {
double mix(double from, double to, double fraction) {
    return from + (to - from) * fraction;
}
}  // namespace

Color Color::interpolated(const Color& other, double fraction) const {
    return {mix(red, other.red, fraction), mix(green, other.green, fraction),
            mix(blue, other.blue, fraction), mix(alpha, other.alpha, fraction)};
}

}  // namespace talvori
