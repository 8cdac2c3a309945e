#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/Registration.hpp"
#include "platform/core/RepeatedLogLines.hpp"
#include "platform/core/Time.hpp"
#include "platform/x11/X11Atoms.hpp"
#include "platform/x11/X11Reply.hpp"

typedef struct _cairo_device cairo_device_t;
typedef struct _cairo_surface cairo_surface_t;

namespace talvori {
class BeforeWaitHook;
class FileWatch;
class RunLoop;
struct ScheduledWork;
class Timer;
}  // namespace talvori

namespace talvori::x11 {

// The one connection to the X server: its screen, the atoms and extensions the backend uses, the
// 32-bit visual for translucent windows, whether a compositor runs, and the connection's place in
// the run loop. Events are handed to one handler as they arrive; X errors are logged with the
// request that caused them and never stop the program; a closed connection is reported once.
class X11Connection : public std::enable_shared_from_this<X11Connection> {
  public:
    using EventHandler = std::function<void(const xcb_generic_event_t&)>;

    // Connects to `display` (null: $DISPLAY). Null when no server is reachable.
    static std::shared_ptr<X11Connection> open(const char* display, Logger log);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* raw() const { return connection_; }
    xcb_window_t root() const { return screen_->root; }
    const xcb_screen_t& screen() const { return *screen_; }
    int screenNumber() const { return screenNumber_; }
    xcb_atom_t atom(Atom name) const { return atoms_[static_cast<std::size_t>(name)]; }
    const Logger& log() const { return log_; }

    // ---- Extensions (0 when absent)
    bool hasShape() const { return hasShape_; }
    std::uint8_t xfixesFirstEvent() const { return xfixesFirstEvent_; }
    bool hasXfixes() const { return hasXfixes_; }
    std::uint8_t randrFirstEvent() const { return randrFirstEvent_; }
    bool hasRandr() const { return hasRandr_; }
    // The major opcode of XInput 2.2, which generic events carry.
    std::uint8_t xinputOpcode() const { return xinputOpcode_; }
    bool hasXinput() const { return hasXinput_; }
    bool hasResources() const { return hasResources_; }

    // ---- Translucency
    // The 32-bit TrueColor visual and its colormap; 0 when the server has none.
    xcb_visualid_t argbVisual() const { return argbVisual_; }
    xcb_colormap_t argbColormap() const { return argbColormap_; }
    xcb_visualtype_t* visualType(xcb_visualid_t visual) const;
    // A Cairo surface drawing into `drawable` (its device is finished with the connection).
    cairo_surface_t* createSurface(xcb_drawable_t drawable, xcb_visualtype_t* visual, int width,
                                   int height);
    // Makes Cairo's device anew, once every surface made by createSurface is gone.
    void renewCairoDevice();
    // Whether a compositing manager owns this screen's selection: only then do translucent
    // windows blend with what lies below.
    bool hasCompositor() const { return hasCompositor_; }
    // Called when a compositor comes, goes or is replaced; one that comes and goes many times a
    // second is told a few times a second at most, as it last stood.
    void setOnCompositorChange(std::function<void(bool)> handler) {
        onCompositorChange_ = std::move(handler);
    }
    // Called with each error the server returned for a request nobody checked (after logging it).
    void setOnRequestError(std::function<void(const xcb_generic_error_t&)> handler) {
        onRequestError_ = std::move(handler);
    }

    // ---- Time
    // The server time of the latest event that carried one (for focus and activation requests).
    xcb_timestamp_t lastTime() const { return lastTime_; }
    void noteTime(xcb_timestamp_t time) {
        if (time != XCB_CURRENT_TIME) lastTime_ = time;
    }

    // ---- The run loop
    // Starts reading events into `handler`; `closed` runs once when the connection closes.
    void attach(RunLoop& loop, EventHandler handler, std::function<void()> closed);
    // Stops reading and handing over events (the services that took them are going away).
    void detach();
    // Work to do right before the loop sleeps (painting), before the requests are sent.
    void setBeforeFlush(std::function<void()> work) { beforeFlush_ = std::move(work); }
    // Hands over the events xcb already holds, paints, sends every buffered request, and goes on
    // until no event is left in xcb's queue: the loop may sleep on a quiet descriptor then.
    void drainAndFlush();
    // The events of the next moments are read once instead of once for each burst: a window
    // manager answers a switch with several bursts a millisecond or so apart, none of which can
    // change what the switch already decided. The descriptor is left alone until the loop's
    // first wake-up for other work once `atLeast` seconds have passed (the Focus engine's own
    // re-check), at the latest until `atMost`. Where that work is a timer, the events are handed
    // over right before it runs: it sees what they told, and the reads they ask for are answered
    // while it runs. `news`, when given, watches meanwhile what must not wait (a quieter
    // connection that tells `heardWhileGathering`); it is reset once the gathering ends.
    void gatherEvents(double atLeast, double atMost, Registration news = {});
    // Which events end a gathering as soon as they are read (those xcb already holds, and those
    // the news of a gathering reads).
    void setEndsGathering(std::function<bool(const xcb_generic_event_t&)> ends) {
        endsGathering_ = std::move(ends);
    }
    bool endsGathering(const xcb_generic_event_t& event) const {
        return endsGathering_ && endsGathering_(event);
    }
    // The news watched during a gathering woke the loop: `matters` ends the gathering at once;
    // otherwise the wake-up was for the news alone, and does not end it either.
    void heardWhileGathering(bool matters);
    bool isGathering() const { return gathering_; }
    bool isClosed() const { return closed_; }

    // ---- Replies without waiting
    // Hands the reply of a request already sent to `handler` once it has come, in its place
    // among the events: after every event the server sent before it, before every one it sent
    // after. Null when the request failed. The loop never waits for it.
    template <class T, class Cookie>
    void whenReplied(Cookie cookie, std::function<void(Reply<T>)> handler) {
        expectReply(cookie.sequence, [handler = std::move(handler)](void* reply) {
            handler(Reply<T>(static_cast<T*>(reply)));
        });
    }
    // The full sequence number of the latest event handed over: what the server had done of our
    // requests when it made that event.
    std::uint32_t lastEventSequence() const { return lastEventSequence_; }
    bool hasPendingReplies() const { return !pendingReplies_.empty(); }
    // Called once the events (and replies) that arrived together have all been handed over.
    void setAfterEvents(std::function<void()> work) { afterEvents_ = std::move(work); }

    // A client message about `window` to the window manager, which hears it on the root (EWMH).
    xcb_void_cookie_t sendToWindowManager(xcb_window_t window, xcb_atom_t type,
                                          const std::array<std::uint32_t, 5>& data) const;
    // Logs an error event (or a failed checked request) with its request's name; the same error
    // again and again is logged once, then counted.
    void logError(const xcb_generic_error_t& error);
    // The requests sent so far may fail for a window another program destroyed meanwhile (drawing
    // into it, freeing what drew into it): such errors of theirs tell nothing and are not logged.
    void excuseGoneWindowErrors();
    // Waits for a checked request; returns its error code, 0 for success.
    std::uint8_t check(xcb_void_cookie_t cookie) const;
    // Hands a checked request's error code (0 for success) to `handler` in its place among the
    // events, without waiting.
    void whenChecked(xcb_void_cookie_t cookie, std::function<void(std::uint8_t)> handler);

  private:
    X11Connection(xcb_connection_t* connection, int screenNumber, Logger log);

    void internAtoms();
    void queryExtensions();
    void findArgbVisual();
    void makeCairoDevice();
    void makeCairoDeviceWhenIdle();
    void watchCompositor();
    void readCompositorOwner();
    void compositorOwnerChanged(const xcb_generic_event_t& event);
    void tellCompositorChange();
    void tellCompositorGone();
    bool isExcused(const xcb_generic_error_t& error) const;
    void expectReply(unsigned int sequence, std::function<void(void*)> deliver);
    // Hands over the replies that came before an event with this sequence number (all that
    // have come, without one).
    void deliverReplies(std::optional<std::uint32_t> before);
    void dispatch(xcb_generic_event_t* event);
    Reply<xcb_generic_event_t> takeEvent(bool queuedOnly);
    void handOverEventsBefore(unsigned int sequence);
    void readEvents(bool queuedOnly);
    void watchDescriptor();
    // Keeps the events xcb already holds without handing them over; true when one of them ends
    // the gathering.
    bool keepGathered();
    void endGathering();
    // Ends the gathering right before the loop's next work when that falls due within it.
    void endGatheringBeforeNextWork();
    void checkClosed();

    xcb_connection_t* connection_;
    int screenNumber_;
    xcb_screen_t* screen_ = nullptr;
    Logger log_;
    std::array<xcb_atom_t, static_cast<std::size_t>(Atom::count)> atoms_{};
    std::map<std::uint8_t, std::string> extensionNames_;
    bool hasShape_ = false;
    bool hasXfixes_ = false;
    std::uint8_t xfixesFirstEvent_ = 0;
    bool hasRandr_ = false;
    std::uint8_t randrFirstEvent_ = 0;
    bool hasXinput_ = false;
    std::uint8_t xinputOpcode_ = 0;
    bool hasResources_ = false;
    xcb_visualid_t argbVisual_ = 0;
    xcb_colormap_t argbColormap_ = 0;
    bool hasCompositor_ = false;
    xcb_window_t compositorOwner_ = XCB_WINDOW_NONE;
    // The owner the handler was last told of, and when.
    xcb_window_t toldOwner_ = XCB_WINDOW_NONE;
    Nanoseconds compositorToldAt_ = 0;
    bool compositorChanged_ = false;
    // A compositor took the screen from another since the handler was last told.
    bool compositorReplaced_ = false;
    TimerSlot compositorTelling_;
    std::function<void(bool)> onCompositorChange_;
    RepeatedLogLines repeatedLines_;
    std::uint32_t excusedThrough_ = 0;
    bool excusing_ = false;
    std::function<void(const xcb_generic_error_t&)> onRequestError_;
    xcb_timestamp_t lastTime_ = XCB_CURRENT_TIME;
    EventHandler handler_;
    std::function<void()> closedHandler_;
    std::function<void()> beforeFlush_;
    std::function<void()> afterEvents_;
    struct PendingReply {
        unsigned int sequence;
        std::function<void(void*)> deliver;
    };
    // In the order the requests went out, which is the order their replies come in.
    std::deque<PendingReply> pendingReplies_;
    // Events or replies were handed over since the work after them last ran.
    bool handedOver_ = false;
    std::uint32_t lastEventSequence_ = 0;
    // An event read together with a reply it came after, handed over at the next read.
    Reply<xcb_generic_event_t> heldEvent_;
    bool closed_ = false;
    RunLoop* loop_ = nullptr;
    std::shared_ptr<FileWatch> watch_;
    bool gathering_ = false;
    // Read during a gathering, in the order they came, handed over once it ends.
    std::deque<Reply<xcb_generic_event_t>> gathered_;
    std::function<bool(const xcb_generic_event_t&)> endsGathering_;
    // The loop's wake-up in which the news watched last woke it during a gathering.
    std::uint64_t newsWakeUp_ = 0;
    Nanoseconds gatheredUntil_ = 0;
    Nanoseconds gatheredAtMost_ = 0;
    std::shared_ptr<Timer> gatheringEnd_;
    Registration gatheringNews_;
    std::unique_ptr<ScheduledWork> gatheringEndBeforeWork_;
    std::shared_ptr<BeforeWaitHook> hook_;
    std::shared_ptr<BeforeWaitHook> cairoDeviceHook_;
    cairo_device_t* cairoDevice_ = nullptr;
};

}  // namespace talvori::x11
