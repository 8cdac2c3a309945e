#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/core/Geometry.hpp"
#include "platform/desktop/Image.hpp"
#include "platform/desktop/Screen.hpp"

namespace talvori {

// The clickable button of a status item, in its own small window in the menu bar.
class StatusBarButton {
  public:
    virtual ~StatusBarButton() = default;

    virtual void setImage(std::optional<Image> image) = 0;
    virtual const std::optional<Image>& image() const = 0;
    virtual void setAccessibilityLabel(std::string label) = 0;
    virtual const std::string& accessibilityLabel() const = 0;
    // Runs on the main loop when the user clicks the button.
    virtual void setAction(std::function<void()> action) = 0;

    virtual bool isHidden() const = 0;
    virtual bool hasHiddenAncestor() const = 0;
    virtual bool visibleRectIsEmpty() const = 0;
    // The button's bounds in the global space (y up).
    virtual Rect frameOnScreen() const = 0;
    // The button's window: comparable with Event::windowNumber, never key.
    virtual std::uint32_t windowNumber() const = 0;
    virtual bool isWindowVisible() const = 0;
    virtual std::optional<Screen> screen() const = 0;
};

}  // namespace talvori
