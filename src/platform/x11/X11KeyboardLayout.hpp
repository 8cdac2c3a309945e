#pragma once

#include <memory>

#include "platform/desktop/KeyboardLayout.hpp"

namespace talvori::x11 {

class X11Keyboard;

// The characters keys type, from the keyboard's current XKB keymap; modifiers named in words.
class X11KeyboardLayout final : public KeyboardLayout {
  public:
    explicit X11KeyboardLayout(std::shared_ptr<X11Keyboard> keyboard)
        : keyboard_(std::move(keyboard)) {}

    std::optional<std::string> characters(std::uint16_t keyCode) const override;
    // No key of a PC keyboard carries the signs.
    ModifierNaming modifierNaming() const override { return ModifierNaming::words; }

  private:
    std::shared_ptr<X11Keyboard> keyboard_;
};

}  // namespace talvori::x11
