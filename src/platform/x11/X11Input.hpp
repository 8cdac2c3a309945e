#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "platform/desktop/EventMonitors.hpp"
#include "platform/desktop/Input.hpp"

namespace talvori {
class Clock;
}

namespace talvori::x11 {

class X11EventRouter;

class X11Application;
class X11Connection;
class X11Cursors;
class X11Keyboard;
class X11Panel;
class X11ScrollValuators;

// The pointer and keyboard on the X server: events aimed at our windows become the program's
// events (global coordinates, virtual key codes, modifier flags with Super as command and Alt as
// option) and go through the local monitors to the panel; XInput 2 raw events, selected only while
// someone listens, feed the global monitors and the listen-only taps. On our windows the pointer's
// XInput 2 events take the place of its core ones, for the smooth scrolling they carry.
class X11Input final : public Input, public std::enable_shared_from_this<X11Input> {
  public:
    X11Input(std::shared_ptr<X11Application> application, std::shared_ptr<X11Keyboard> keyboard,
             const Clock& clock);
    ~X11Input() override;

    Point mouseLocation() const override;
    std::uint64_t modifierFlags() const override;
    Registration addLocalMonitor(EventMask mask, LocalMonitor monitor) override;
    Registration addGlobalMonitor(EventMask mask, GlobalMonitor monitor) override;
    std::shared_ptr<EventTap> makeListenOnlyEventTap(EventMask mask,
                                                     EventTap::Callback callback) override;
    void setCursor(const Cursor& cursor) override;
    double keyRepeatDelay() const override;
    double keyRepeatInterval() const override;

    void subscribe(X11EventRouter& router);
    // Input that our own surfaces outside our windows take (a status icon docked in another
    // program's tray): it is ours, so the global monitors do not see it.
    using Claim = std::function<bool(bool pointer, std::int16_t rootX, std::int16_t rootY)>;
    void setClaim(Claim claim) { claim_ = std::move(claim); }

  private:
    class EventLocationScope;
    // What the latest event told of the pointer and the modifiers (root pixels, core state).
    struct Known {
        std::int16_t rootX = 0;
        std::int16_t rootY = 0;
        std::uint16_t modifiers = 0;
    };
    struct Click {
        double time = -1;
        std::uint8_t button = 0;
        Point location;
        int count = 0;
    };

    Event pointerEvent(EventType type, std::int16_t rootX, std::int16_t rootY, std::uint16_t state,
                       const X11Panel* panel, std::int16_t x, std::int16_t y);
    void buttonPressed(const xcb_button_press_event_t& press);
    void buttonReleased(const xcb_button_release_event_t& release);
    void entered(const xcb_enter_notify_event_t& enter);
    void left(const xcb_leave_notify_event_t& leave);
    void keyPressed(const xcb_key_press_event_t& press);
    void keyReleased(const xcb_key_release_event_t& release);
    void handleButton(const xcb_button_press_event_t& press, bool down);
    void scroll(const xcb_button_press_event_t& press, double notches);
    // A pointer event of XInput 2, told as its core event would have been.
    void handleDevice(const xcb_ge_generic_event_t& event);
    void selectDeviceEvents(xcb_window_t window);
    void handleMotion(const xcb_motion_notify_event_t& motion);
    void handleCrossing(const xcb_enter_notify_event_t& crossing, bool entered);
    void handleKey(const xcb_key_press_event_t& key, bool down);
    // Drops the keys let go while another window or a grab had the keyboard.
    void forgetKeysLetGoElsewhere(const xcb_focus_in_event_t& focus);
    bool compose(Event& event, const xcb_key_press_event_t& key, const X11Panel& panel);
    // A raw event kept to be told later.
    struct RawSeen {
        EventType type;
        std::uint32_t key = 0;
    };
    void handleRaw(const xcb_ge_generic_event_t& generic);
    void seeRaw(RawSeen seen);
    void waitBehindPress(RawSeen seen);
    void seeRawKey(EventType type, std::uint32_t key);
    void seeRawPointer(EventType type);
    void seeRawPress(EventType type);
    void pressAnswered(EventType type, const xcb_query_pointer_reply_t* pointer);
    void fetchPointerForMotion(EventType type);
    void motionAnswered(EventType type, std::uint64_t asked,
                        const xcb_query_pointer_reply_t* pointer);
    void seePointerAt(EventType type, const xcb_query_pointer_reply_t& pointer);
    void deliverSeen(const Event& seen, bool ours);
    void fetchInitialPointer();
    void notePointer(std::int16_t rootX, std::int16_t rootY, std::uint16_t state);
    void noteKeyboardState(const xcb_generic_event_t& event);
    // A key no view used goes on to where it would have gone, should the panel hold the keyboard.
    static void passOnUnused(X11Panel& panel, std::uint8_t key, bool down, bool used);
    // False when a key reached the panel and nothing there used it.
    bool dispatchToPanel(Event event, const std::shared_ptr<X11Panel>& panel, bool key);
    int clickCount(std::uint8_t button, const Point& location);
    // Selects the raw events the monitors and taps need, and no more (raw motion wakes us often).
    void updateRawSelection();
    // Selects them again once a monitor has gone.
    std::function<void()> reselectRaw();
    EventMask rawMask() const;

    std::shared_ptr<X11Application> application_;
    std::shared_ptr<X11Connection> connection_;
    std::shared_ptr<X11Keyboard> keyboard_;
    std::unique_ptr<X11Cursors> cursors_;
    std::unique_ptr<X11ScrollValuators> scrollValuators_;
    const Clock& clock_;
    EventMonitors monitors_;
    std::vector<std::weak_ptr<EventTap>> taps_;
    std::uint32_t selectedRaw_ = 0;
    std::set<std::uint32_t> keysDown_;
    std::uint32_t rawButtonsDown_ = 0;
    std::weak_ptr<X11Panel> hovered_;
    std::weak_ptr<X11Panel> pressed_;
    Click lastClick_;
    // Where the pointer was at the event being handled; none between events.
    std::optional<Point> eventLocation_;
    Known known_;
    bool knownFromEvent_ = false;
    // A raw move waits for the server's answer of where the pointer is; a later one waits for
    // that answer before it asks.
    bool motionAsked_ = false;
    std::optional<EventType> motionWaiting_;
    std::uint64_t motionQueries_ = 0;
    // A raw press or release waits for the server's answer of where the pointer is; the raw
    // events after it wait behind it.
    bool pressAsked_ = false;
    std::deque<RawSeen> rawBehindPress_;
    Claim claim_;
};

}  // namespace talvori::x11
