#pragma once

#include <functional>
#include <string>

#include "ui/View.hpp"

namespace talvori::ui {

// What a button style draws from.
struct ButtonConfiguration {
    View label;
    bool isPressed = false;
    bool isEnabled = true;
};

// Runs `action` when clicked: pressed inside and released inside. The label is the whole button
// (the plain style); a style set with View::buttonStyle draws it from its pressed state instead.
// Disabled buttons (View::disabled) ignore clicks and keyboard shortcuts.
class Button : public View {
  public:
    Button(std::function<void()> action, View label);
    Button(std::string title, std::function<void()> action);
};

}  // namespace talvori::ui
