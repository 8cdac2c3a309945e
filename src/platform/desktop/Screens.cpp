#include "platform/desktop/Screens.hpp"

namespace talvori {

double Screens::primaryHeight() const {
    const auto all = screens();
    return all.empty() ? 0.0 : all.front().frame.height();
}

}  // namespace talvori
