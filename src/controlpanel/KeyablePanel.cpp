#include "controlpanel/KeyablePanel.hpp"

#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori {

std::shared_ptr<KeyablePanel> KeyablePanel::make() {
    std::shared_ptr<KeyablePanel> panel(new KeyablePanel());
    auto window = platform().application().makePanel(Rect{}, StyleMask::nonactivatingPanel);
    window->setCanBecomeKey(true);
    window->setLevel(WindowLevel::floating);
    window->setCollectionBehavior(kCollectionBehavior);
    window->setOpaque(false);
    window->setBackgroundColor(Color::clear());
    // The card draws its own shadow inside the window.
    window->setHasShadow(false);
    window->setHidesOnDeactivate(false);
    window->setRestorable(false);
    window->setEventHandler(panel);
    panel->window_ = std::move(window);
    return panel;
}

bool KeyablePanel::keyDown(Panel& panel, const Event& event) {
    platform().runLoop().assertMainThread();
    if (auto responder = panel.firstResponder(); responder && responder->isTextEditor()) {
        return false;
    }
    const auto digit = opacityDigit(event);
    if (!digit) return false;
    if (onDigitKey) onDigitKey(*digit);
    return true;
}

std::optional<int> KeyablePanel::opacityDigit(const Event& event) {
    const std::string& characters = event.charactersIgnoringModifiers;
    if (characters.size() != 1 || characters[0] < '0' || characters[0] > '9') return std::nullopt;
    if (event.deviceIndependentFlags() != 0) return std::nullopt;
    return characters[0] - '0';
}

}  // namespace talvori
