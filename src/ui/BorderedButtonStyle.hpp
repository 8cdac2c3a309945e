#pragma once

#include "ui/Button.hpp"

namespace talvori::ui {

// The push button of dialogs and settings rows: its title in a rounded, outlined box 24 points
// high, darker while pressed, dimmed and inert while disabled. The prominent variant, a dialog's
// default button, is filled with the accent.
//
//     Button("Check for Updates…", check).buttonStyle(BorderedButtonStyle{}).disabled(!canCheck)
struct BorderedButtonStyle {
    bool isProminent = false;

    View operator()(const ButtonConfiguration& configuration) const;
};

}  // namespace talvori::ui
