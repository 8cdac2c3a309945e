#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/desktop/CollectionBehavior.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/WindowEventHandler.hpp"

namespace talvori {

// The control panel's window: a floating, non-activating panel that can still become key, so that
// its fields take typing and a bare digit key sets the shown cover's opacity. Keys the panel's
// fields and views leave unhandled arrive here.
class KeyablePanel final : public WindowEventHandler,
                           public std::enable_shared_from_this<KeyablePanel> {
  public:
    static constexpr unsigned kCollectionBehavior = CollectionBehavior::canJoinAllSpaces |
                                                    CollectionBehavior::stationary |
                                                    CollectionBehavior::fullScreenAuxiliary;

    // Builds the window, not yet on screen.
    static std::shared_ptr<KeyablePanel> make();
    KeyablePanel(const KeyablePanel&) = delete;
    KeyablePanel& operator=(const KeyablePanel&) = delete;

    Panel& window() const { return *window_; }
    const std::shared_ptr<Panel>& sharedWindow() const { return window_; }

    // A plain digit, 0 to 9, typed while no field is being edited.
    std::function<void(int digit)> onDigitKey;

    bool keyDown(Panel& panel, const Event& event) override;
    // The digit a key event stands for: exactly one character 0 to 9, typed with no modifier
    // (Caps Lock and the numeric keypad count as modifiers).
    static std::optional<int> opacityDigit(const Event& event);

  private:
    KeyablePanel() = default;

    std::shared_ptr<Panel> window_;
};

}  // namespace talvori
