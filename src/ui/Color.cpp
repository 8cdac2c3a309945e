#include "ui/Color.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace talvori::ui {

std::string Color::description() const {
    auto byte = [](double value) {
        return static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
    };
    return fmt::format("#{:02X}{:02X}{:02X}{:02X}", byte(red), byte(green), byte(blue),
                       byte(alpha));
}

}  // namespace talvori::ui
