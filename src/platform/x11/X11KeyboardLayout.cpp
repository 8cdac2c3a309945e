#include "platform/x11/X11KeyboardLayout.hpp"

#include "platform/x11/X11KeyCodes.hpp"
#include "platform/x11/X11Keyboard.hpp"

namespace talvori::x11 {

std::optional<std::string> X11KeyboardLayout::characters(std::uint16_t keyCode) const {
    if (!keyboard_->isAvailable()) return std::nullopt;
    const auto keys = X11KeyCodes::xKeyCodes(keyCode);
    // A code no key has types nothing.
    if (keys.empty()) return std::string();
    return keyboard_->latinCharacters(keys.front());
}

}  // namespace talvori::x11
