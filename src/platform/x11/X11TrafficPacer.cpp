#include "platform/x11/X11TrafficPacer.hpp"

#include <cstring>
#include <utility>

#include "platform/core/RunLoop.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11FocusWatch.hpp"

namespace talvori::x11 {

namespace {

// Within a batch's wait, work of the loop this soon after it began leaves it be: the batch that
// began it may have asked for such work.
constexpr double kFirstMoments = 0.004;

// The window an event is about, kept at `offset`: a structure notification's right after the
// window that heard it, CreateNotify's after its parent; a focus change's, a property's and a
// client message's first.
xcb_window_t windowAt(const xcb_generic_event_t& event, std::size_t offset) {
    xcb_window_t window = XCB_WINDOW_NONE;
    std::memcpy(&window, reinterpret_cast<const char*>(&event) + offset, sizeof window);
    return window;
}

}  // namespace

X11TrafficPacer::X11TrafficPacer(std::shared_ptr<X11Connection> connection,
                                 std::shared_ptr<X11FocusWatch> focusWatch, RunLoop& loop,
                                 std::function<bool(xcb_window_t)> isOwnWindow,
                                 std::function<bool()> wantedAtOnce)
    : connection_(std::move(connection)),
      focusWatch_(std::move(focusWatch)),
      loop_(loop),
      isOwnWindow_(std::move(isOwnWindow)),
      wantedAtOnce_(std::move(wantedAtOnce)),
      // After the connection's own hook: a batch handed over there may begin the next wait.
      hook_(loop.addBeforeWaitHook([this] { releaseInputUnlessGathering(); })) {}

X11TrafficPacer::~X11TrafficPacer() = default;

void X11TrafficPacer::noteEvent(const xcb_generic_event_t& event) {
    (isTraffic(event) ? batchTraffic_ : batchToldMore_) = true;
}

// A window manager taking a window in also moves the focus into it (the one left hears of it)
// and tells itself of the window's state through the root (openbox's _KDE_WM_CHANGE_STATE).
bool X11TrafficPacer::isTraffic(const xcb_generic_event_t& event) const {
    switch (event.response_type & 0x7F) {
        case XCB_CREATE_NOTIFY:
        case XCB_DESTROY_NOTIFY:
        case XCB_UNMAP_NOTIFY:
        case XCB_MAP_NOTIFY:
        case XCB_REPARENT_NOTIFY:
        case XCB_CONFIGURE_NOTIFY:
        case XCB_GRAVITY_NOTIFY:
        case XCB_CIRCULATE_NOTIFY:
            return !isOwnWindow_(windowAt(event, 8));
        case XCB_PROPERTY_NOTIFY:
        case XCB_FOCUS_IN:
        case XCB_FOCUS_OUT:
        case XCB_CLIENT_MESSAGE:
            return !isOwnWindow_(windowAt(event, 4));
        default:
            return false;
    }
}

// The first batch of a run is read as it comes, and so is every batch while something waits on
// the traffic; once it has gone on for a while, the next batch waits. The reads this batch asks
// for go out meanwhile, and their answers come with it.
void X11TrafficPacer::afterEvents() {
    const bool traffic = std::exchange(batchTraffic_, false);
    if (std::exchange(batchToldMore_, false) || wantedAtOnce_()) {
        runStart_.reset();
        runBatches_ = 0;
        return;
    }
    if (!traffic) return;
    const Nanoseconds now = loop_.now();
    if (!runStart_ || now - lastTraffic_ > nanosecondsFromSeconds(kPause)) {
        runStart_ = now;
        runBatches_ = 0;
    }
    lastTraffic_ = now;
    const bool settled =
        ++runBatches_ > kSettlingBatches || now - *runStart_ >= nanosecondsFromSeconds(kSettling);
    if (!settled || !focusWatch_ || connection_->isGathering()) return;
    // Unheard, the user's keys would wait for the batch.
    if (!input_) input_ = focusWatch_->hearInput(*connection_);
    if (input_) connection_->gatherEvents(kFirstMoments, kBatchInterval);
}

// Once no batch waits (the traffic stopped, or something wants it at once), the user's input is
// heard on the main connection alone again: the second one stops waking the loop for every key.
void X11TrafficPacer::releaseInputUnlessGathering() {
    if (input_ && !connection_->isGathering()) input_.reset();
}

}  // namespace talvori::x11
