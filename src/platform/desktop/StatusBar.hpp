#pragma once

#include <memory>

#include "platform/desktop/StatusItem.hpp"

namespace talvori {

// The status area of the menu bar, where the program puts its items.
class StatusBar {
  public:
    // An item exactly as wide as the menu bar is high.
    static constexpr double kSquareLength = -2;

    virtual ~StatusBar() = default;
    virtual std::shared_ptr<StatusItem> makeStatusItem(double length) = 0;
};

}  // namespace talvori
