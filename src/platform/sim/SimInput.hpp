#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/CallbackList.hpp"
#include "platform/desktop/EventMonitors.hpp"
#include "platform/desktop/Input.hpp"

namespace talvori::sim {

class SimPanel;
class SimWorld;

// One key as the simulated user types it. Flags are exactly the modifier keys held.
struct KeyStroke {
    std::uint16_t keyCode = 0;
    std::string characters;
    std::string charactersIgnoringModifiers;
    std::uint64_t modifierFlags = 0;
    bool isARepeat = false;

    // A key whose characters are the same with and without modifiers.
    static KeyStroke key(std::uint16_t keyCode, std::string characters = {},
                         std::uint64_t modifierFlags = 0) {
        return {keyCode, characters, characters, modifierFlags, false};
    }
};

enum class MouseButton { left, right };

// Where a typed key ended up.
enum class KeyDelivery {
    intercepted,       // claimed by a key interceptor (a registered hot key)
    swallowed,         // a local monitor swallowed it
    handled,           // our key window handled it
    unhandled,         // it reached our application, and nothing handled it
    otherApplication,  // it went to another application
};

// When a click on another application's window reaches the global monitors, relative to the
// window rising and its application activating.
enum class ClickOrder { monitorsFirst, raiseFirst };

// The simulated user's pointer and keyboard, routed as a desktop routes them: mouse events to the
// frontmost window under the pointer that takes them (skipping mouse-transparent panels), and,
// after a mouse-down, to that window until the button goes up; key events to our key window. Event
// taps see everything first; then key interceptors may claim a key; local monitors see what our
// application is about to dispatch, global monitors what goes to other applications.
class SimInput final : public Input {
  public:
    using KeyInterceptor = std::function<bool(const Event&)>;
    // Clicks on our status item windows; returns whether the window was an item's.
    using StatusItemClick = std::function<bool(std::uint32_t window, const Event&)>;

    explicit SimInput(std::shared_ptr<SimWorld> world);
    ~SimInput() override;

    // ---- Input
    Point mouseLocation() const override { return pointer_; }
    std::uint64_t modifierFlags() const override { return modifierFlags_; }
    Registration addLocalMonitor(EventMask mask, LocalMonitor monitor) override;
    Registration addGlobalMonitor(EventMask mask, GlobalMonitor monitor) override;
    std::shared_ptr<EventTap> makeListenOnlyEventTap(EventMask mask,
                                                     EventTap::Callback callback) override;
    void setCursor(const Cursor& cursor) override;
    double keyRepeatDelay() const override { return keyRepeatDelay_; }
    double keyRepeatInterval() const override { return keyRepeatInterval_; }

    // ---- The user
    void moveMouse(const Point& location);
    void mouseDown(const Point& location, MouseButton button = MouseButton::left);
    void mouseUp(const Point& location, MouseButton button = MouseButton::left);
    void click(const Point& location, MouseButton button = MouseButton::left);
    // The wheel turned with the pointer at `location`: `deltaY` points towards the end.
    void scrollWheel(const Point& location, double deltaY);
    // A wheel that turns in steps, by `notches` of them.
    void scrollWheelNotches(const Point& location, double notches);
    // Down at `from`, `steps` drags along the straight line, up at `to`.
    void drag(const Point& from, const Point& to, int steps = 4);
    KeyDelivery keyDown(const KeyStroke& stroke);
    KeyDelivery keyUp(const KeyStroke& stroke);
    // Down then up; reports where the down went.
    KeyDelivery typeKey(const KeyStroke& stroke);
    // Presses or releases modifier keys: a flags-changed event with the new flags.
    void setModifierFlags(std::uint64_t flags);

    // ---- Hooks
    // Ordered claims on typed keys, before any monitor or window sees them; the first claim wins
    // and the key goes nowhere else. For the hot-key service.
    Registration addKeyInterceptor(KeyInterceptor interceptor);
    void setStatusItemClick(StatusItemClick handler) { statusItemClick_ = std::move(handler); }

    // ---- Test switches and records
    void setClickOrder(ClickOrder order) { clickOrder_ = order; }
    void setRefusesMonitors(bool refuses) { refusesMonitors_ = refuses; }
    void setRefusesEventTaps(bool refuses) { refusesTaps_ = refuses; }
    // The system switches every tap off and tells it why.
    void disableEventTaps(EventType reason);
    void setKeyRepeat(double delay, double interval);
    const Cursor& currentCursor() const { return cursor_; }
    int cursorSetCount() const { return cursorSets_; }
    // Re-evaluates hover after windows changed under a still pointer.
    void updateHover();

  private:
    Event makeEvent(EventType type) const;
    Event forWindow(Event event, std::uint32_t window) const;
    void dispatchMouse(Event event);
    void deliverToOurWindow(Event event, std::uint32_t window);
    void deliverToOtherApplication(const Event& event, std::uint32_t window);
    std::optional<Event> runLocalMonitors(Event event);
    void tap(const Event& event);
    KeyDelivery dispatchKey(EventType type, const KeyStroke& stroke);
    void hover(bool pointerMoved);

    std::shared_ptr<SimWorld> world_;
    Point pointer_;
    std::uint64_t modifierFlags_ = 0;
    std::uint32_t mouseDownWindow_ = 0;
    bool mouseIsDown_ = false;
    MouseButton downButton_ = MouseButton::left;
    std::weak_ptr<SimPanel> hovered_;
    EventMonitors monitors_;
    CallbackList<KeyInterceptor> interceptors_;
    std::vector<std::weak_ptr<EventTap>> taps_;
    StatusItemClick statusItemClick_;
    ClickOrder clickOrder_ = ClickOrder::raiseFirst;
    bool refusesMonitors_ = false;
    bool refusesTaps_ = false;
    Cursor cursor_;
    int cursorSets_ = 0;
    double keyRepeatDelay_ = 0.5;
    double keyRepeatInterval_ = 0.083;
};

}  // namespace talvori::sim
