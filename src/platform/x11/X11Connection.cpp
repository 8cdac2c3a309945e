#include "platform/x11/X11Connection.hpp"

#include <cairo-xcb.h>
#include <poll.h>
#include <xcb/randr.h>
#include <xcb/res.h>
#include <xcb/shape.h>
#include <xcb/xcbext.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/RunLoop.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/weakly.hpp"
#include "platform/x11/X11ErrorNames.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

// A compositor that comes and goes is told at most this often: each telling has the application
// look at the desktop again.
constexpr double kCompositorTellInterval = 0.25;
// A compositor restarting or replaced says so in full; one that keeps coming and going is counted.
constexpr int kCompositorLinesShown = 4;

constexpr const char* kAtomNames[] = {
#define TALVORI_X11_ATOM_NAME(name) #name,
    TALVORI_X11_ATOMS(TALVORI_X11_ATOM_NAME)
#undef TALVORI_X11_ATOM_NAME
};

}  // namespace

std::shared_ptr<X11Connection> X11Connection::open(const char* display, Logger log) {
    // xcb writes to the server's socket without asking the kernel to spare the signal: a server
    // that went away would otherwise end the process at the next flush, before it could save
    // what the user changed, instead of showing as the connection's error.
    std::signal(SIGPIPE, SIG_IGN);
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) xcb_disconnect(connection);
        return nullptr;
    }
    std::shared_ptr<X11Connection> result(
        new X11Connection(connection, screenNumber, std::move(log)));
    if (!result->screen_) return nullptr;
    result->internAtoms();
    result->queryExtensions();
    result->findArgbVisual();
    result->watchCompositor();
    return result;
}

X11Connection::X11Connection(xcb_connection_t* connection, int screenNumber, Logger log)
    : connection_(connection),
      screenNumber_(screenNumber),
      log_(std::move(log)),
      repeatedLines_(log_) {
    auto iterator = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int index = 0; iterator.rem > 0; ++index, xcb_screen_next(&iterator)) {
        if (index == screenNumber_) screen_ = iterator.data;
    }
}

X11Connection::~X11Connection() {
    hook_.reset();
    watch_.reset();
    // Cairo finds its device by the connection's address: left behind, it would be taken for a
    // later connection that happens to get the same address.
    makeCairoDevice();
    if (cairoDevice_) {
        cairo_device_finish(cairoDevice_);
        cairo_device_destroy(cairoDevice_);
    }
    xcb_disconnect(connection_);
}

// Cairo makes one device per connection with its first surface, asking the server about its
// extensions and waiting for each answer: made ahead (see makeCairoDeviceWhenIdle), those waits are
// not left to the first paint, which may come in the middle of a Focus switch.
void X11Connection::makeCairoDevice() {
    if (cairoDevice_ || xcb_connection_has_error(connection_)) return;
    if (xcb_visualtype_t* type = visualType(screen_->root_visual)) {
        cairo_surface_destroy(createSurface(root(), type, 1, 1));
    }
}

// Cairo keeps a graphics context for each depth, made on a drawable it drew into when it needed
// one: one made while drawing into a window another program had just destroyed never existed, and
// every later drawing of its depth would fail. Once the surfaces are let go, the device goes with
// what it kept, and a new one is made.
void X11Connection::renewCairoDevice() {
    if (!cairoDevice_) return;
    cairo_device_finish(cairoDevice_);
    cairo_device_destroy(cairoDevice_);
    cairoDevice_ = nullptr;
    makeCairoDevice();
}

cairo_surface_t* X11Connection::createSurface(xcb_drawable_t drawable, xcb_visualtype_t* visual,
                                              int width, int height) {
    cairo_surface_t* surface =
        cairo_xcb_surface_create(connection_, drawable, visual, width, height);
    if (!cairoDevice_) {
        if (cairo_device_t* device = cairo_surface_get_device(surface)) {
            cairoDevice_ = cairo_device_reference(device);
        }
    }
    return surface;
}

// All atoms in one round trip.
void X11Connection::internAtoms() {
    const std::string screen = std::to_string(screenNumber_);
    std::vector<std::string> names(std::begin(kAtomNames), std::end(kAtomNames));
    names.push_back("_NET_WM_CM_S" + screen);
    names.push_back("_XSETTINGS_S" + screen);
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const auto& name : names) {
        cookies.push_back(
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
    }
    for (std::size_t index = 0; index < cookies.size() && index < atoms_.size(); ++index) {
        auto reply = waitReply(xcb_intern_atom_reply, connection_, cookies[index]);
        atoms_[index] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
}

void X11Connection::queryExtensions() {
    struct Wanted {
        xcb_extension_t* id;
        const char* name;
    };
    const Wanted wanted[] = {{&xcb_shape_id, "SHAPE"},
                             {&xcb_xfixes_id, "XFIXES"},
                             {&xcb_randr_id, "RANDR"},
                             {&xcb_input_id, "XInputExtension"},
                             {&xcb_res_id, "X-Resource"}};
    for (const auto& extension : wanted) xcb_prefetch_extension_data(connection_, extension.id);
    for (const auto& extension : wanted) {
        const auto* data = xcb_get_extension_data(connection_, extension.id);
        if (data && data->present) extensionNames_[data->major_opcode] = extension.name;
    }
    const auto* shape = xcb_get_extension_data(connection_, &xcb_shape_id);
    hasShape_ = shape && shape->present;

    const auto* xfixes = xcb_get_extension_data(connection_, &xcb_xfixes_id);
    if (xfixes && xfixes->present) {
        auto version = waitReply(xcb_xfixes_query_version_reply, connection_,
                                 xcb_xfixes_query_version(connection_, 5, 0));
        hasXfixes_ = version != nullptr;
        xfixesFirstEvent_ = xfixes->first_event;
    }
    const auto* randr = xcb_get_extension_data(connection_, &xcb_randr_id);
    if (randr && randr->present) {
        auto version = waitReply(xcb_randr_query_version_reply, connection_,
                                 xcb_randr_query_version(connection_, 1, 5));
        hasRandr_ = version && (version->major_version > 1 || version->minor_version >= 5);
        randrFirstEvent_ = randr->first_event;
    }
    const auto* input = xcb_get_extension_data(connection_, &xcb_input_id);
    if (input && input->present) {
        auto version = waitReply(xcb_input_xi_query_version_reply, connection_,
                                 xcb_input_xi_query_version(connection_, 2, 2));
        hasXinput_ = version && (version->major_version > 2 ||
                                 (version->major_version == 2 && version->minor_version >= 2));
        xinputOpcode_ = input->major_opcode;
    }
    const auto* resources = xcb_get_extension_data(connection_, &xcb_res_id);
    if (resources && resources->present) {
        auto version = waitReply(xcb_res_query_version_reply, connection_,
                                 xcb_res_query_version(connection_, 1, 2));
        hasResources_ = version && (version->server_major > 1 || version->server_minor >= 2);
    }
}

void X11Connection::findArgbVisual() {
    for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem > 0;
         xcb_depth_next(&depths)) {
        if (depths.data->depth != 32) continue;
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->_class != XCB_VISUAL_CLASS_TRUE_COLOR) continue;
            argbVisual_ = visuals.data->visual_id;
            argbColormap_ = xcb_generate_id(connection_);
            xcb_create_colormap(connection_, XCB_COLORMAP_ALLOC_NONE, argbColormap_, root(),
                                argbVisual_);
            return;
        }
    }
}

xcb_visualtype_t* X11Connection::visualType(xcb_visualid_t visual) const {
    for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem > 0;
         xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == visual) return visuals.data;
        }
    }
    return nullptr;
}

void X11Connection::watchCompositor() {
    if (hasXfixes_) {
        xcb_xfixes_select_selection_input(
            connection_, root(), atom(Atom::compositorSelection),
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }
    readCompositorOwner();
}

void X11Connection::readCompositorOwner() {
    auto owner = waitReply(xcb_get_selection_owner_reply, connection_,
                           xcb_get_selection_owner(connection_, atom(Atom::compositorSelection)));
    compositorOwner_ = owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
    hasCompositor_ = compositorOwner_ != XCB_WINDOW_NONE;
    toldOwner_ = compositorOwner_;
}

void X11Connection::compositorOwnerChanged(const xcb_generic_event_t& event) {
    const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
    if (notify.selection != atom(Atom::compositorSelection)) return;
    const bool had = hasCompositor_;
    const xcb_window_t previous = std::exchange(compositorOwner_, notify.owner);
    hasCompositor_ = notify.owner != XCB_WINDOW_NONE;
    // Another compositor at once is told too: it has not seen our windows yet. So is one that
    // took the screen back from another since it was told: it let go of our windows meanwhile.
    compositorChanged_ = true;
    if (had && hasCompositor_ && notify.owner != previous) compositorReplaced_ = true;
    if (!hasCompositor_) tellCompositorGone();
    if (had == hasCompositor_) return;
    repeatedLines_.log(LogLevel::defaultLevel, "compositor",
                       hasCompositor_ ? "A compositing manager started: translucent windows blend "
                                        "again"
                                      : "A compositing manager stopped: translucent windows no "
                                        "longer blend",
                       kCompositorLinesShown);
}

// A compositor that goes is told at once, even where another takes its place in the same batch
// (one replacing itself): until then our translucent windows are drawn without blending, and a
// compositor that starts meanwhile takes that picture in, as the first contents of the windows it
// redirects and as the order it starts from. Bounded all the same: a going is told only after a
// coming was, and comings keep their interval.
void X11Connection::tellCompositorGone() {
    if (toldOwner_ == XCB_WINDOW_NONE) return;
    toldOwner_ = XCB_WINDOW_NONE;
    if (onCompositorChange_) onCompositorChange_(false);
}

// Told once the events read together are handed over, and no sooner than the interval after the
// last telling.
void X11Connection::tellCompositorChange() {
    if (!compositorChanged_ || !compositorTelling_.isEmpty() || !loop_) return;
    const Nanoseconds due = compositorToldAt_ + nanosecondsFromSeconds(kCompositorTellInterval);
    if (compositorToldAt_ != 0 && loop_->now() < due) {
        compositorTelling_.replace(
            Timer::scheduledTimer(*loop_, secondsFromNanoseconds(due - loop_->now()), false,
                                  weakly(weak_from_this(),
                                         [](X11Connection& self) {
                                             self.compositorTelling_.clear();
                                             self.tellCompositorChange();
                                         }),
                                  RunLoopMode::common));
        return;
    }
    compositorChanged_ = false;
    compositorToldAt_ = loop_->now();
    if (toldOwner_ == compositorOwner_ && !std::exchange(compositorReplaced_, false)) return;
    compositorReplaced_ = false;
    toldOwner_ = compositorOwner_;
    if (onCompositorChange_) onCompositorChange_(hasCompositor_);
}

// ---- Events

void X11Connection::attach(RunLoop& loop, EventHandler handler, std::function<void()> closed) {
    handler_ = std::move(handler);
    closedHandler_ = std::move(closed);
    loop_ = &loop;
    repeatedLines_.attach(loop_);
    watchDescriptor();
    hook_ = loop.addBeforeWaitHook(weakly(weak_from_this(), &X11Connection::drainAndFlush));
    cairoDeviceHook_ =
        loop.addBeforeWaitHook(weakly(weak_from_this(), &X11Connection::makeCairoDeviceWhenIdle));
}

// Made the first time the loop would sleep: start-up's work is done by then (the status icon's
// question to the bus among it), and its waits overlap the other programs' answers instead of
// coming before that work. They are still over before the first paint of a panel, which may
// come in a Focus switch.
void X11Connection::makeCairoDeviceWhenIdle() {
    if (loop_->nextDeadline() <= loop_->now()) return;
    cairoDeviceHook_.reset();
    loop_->post(weakly(weak_from_this(), &X11Connection::makeCairoDevice));
}

void X11Connection::watchDescriptor() {
    watch_ =
        loop_->watch(xcb_get_file_descriptor(connection_), POLLIN,
                     weakly(weak_from_this(), [](X11Connection& self) { self.readEvents(false); }));
}

void X11Connection::gatherEvents(double atLeast, double atMost, Registration news) {
    if (!watch_ || gathering_) return;
    gathering_ = true;
    watch_.reset();
    gatheringNews_ = std::move(news);
    gatheredUntil_ = loop_->now() + nanosecondsFromSeconds(atLeast);
    gatheredAtMost_ = loop_->now() + nanosecondsFromSeconds(atMost);
    gatheringEnd_ = Timer::scheduledTimer(*loop_, atMost, false,
                                          weakly(weak_from_this(), &X11Connection::endGathering),
                                          RunLoopMode::common);
}

// Work due later than the least gathering but before its end would wake the loop by itself, and
// read what was gathered only after it ran: the gathering ends just before it instead, in the
// same wake-up, first among the work then due.
void X11Connection::endGatheringBeforeNextWork() {
    const Nanoseconds next = loop_->nextDeadline();
    const Nanoseconds planned =
        gatheringEndBeforeWork_ ? gatheringEndBeforeWork_->due : gatheredAtMost_;
    if (next < gatheredUntil_ || next >= planned) return;
    if (gatheringEndBeforeWork_) loop_->cancel(*gatheringEndBeforeWork_);
    gatheringEndBeforeWork_ = std::make_unique<ScheduledWork>(loop_->schedule(
        next - 1, RunLoopMode::common, weakly(weak_from_this(), &X11Connection::endGathering)));
}

void X11Connection::heardWhileGathering(bool matters) {
    if (!gathering_) return;
    if (matters) {
        endGathering();
    } else {
        newsWakeUp_ = loop_->wakeUpCount();
    }
}

bool X11Connection::keepGathered() {
    bool ends = false;
    while (!closed_) {
        Reply<xcb_generic_event_t> event(xcb_poll_for_queued_event(connection_));
        if (!event) break;
        ends = ends || (endsGathering_ && endsGathering_(*event));
        gathered_.push_back(std::move(event));
    }
    checkClosed();
    return ends;
}

void X11Connection::endGathering() {
    if (!gathering_) return;
    gathering_ = false;
    std::exchange(gatheringEnd_, nullptr)->invalidate();
    if (auto early = std::exchange(gatheringEndBeforeWork_, nullptr)) loop_->cancel(*early);
    gatheringNews_.reset();
    if (!closed_) watchDescriptor();
    readEvents(false);
    // The reads the gathered events asked for go out before the work of this wake-up runs.
    xcb_flush(connection_);
}

void X11Connection::detach() {
    hook_.reset();
    cairoDeviceHook_.reset();
    watch_.reset();
    if (gatheringEnd_) std::exchange(gatheringEnd_, nullptr)->invalidate();
    if (auto early = std::exchange(gatheringEndBeforeWork_, nullptr)) loop_->cancel(*early);
    gathering_ = false;
    gatheringNews_.reset();
    gathered_.clear();
    endsGathering_ = nullptr;
    loop_ = nullptr;
    handler_ = nullptr;
    closedHandler_ = nullptr;
    beforeFlush_ = nullptr;
    afterEvents_ = nullptr;
    onCompositorChange_ = nullptr;
    onRequestError_ = nullptr;
    compositorTelling_.clear();
    repeatedLines_.flush();
    repeatedLines_.attach(nullptr);
    pendingReplies_.clear();
}

void X11Connection::drainAndFlush() {
    // A wake-up for the news alone does not end the gathering: only other work does.
    const bool otherWork = loop_->wakeUpCount() != newsWakeUp_;
    if (gathering_ && ((otherWork && loop_->now() >= gatheredUntil_) || keepGathered())) {
        endGathering();
    }
    if (gathering_) {
        endGatheringBeforeNextWork();
        // What the work of this wake-up drew still goes out before the loop sleeps.
        if (beforeFlush_) beforeFlush_();
        if (closed_) return;
        xcb_flush(connection_);
        if (!keepGathered()) return;
        endGathering();
    }
    // Replies waited for during the turn, the painting's own included, may have pulled events
    // into xcb's queue while the descriptor went quiet: hand them all over before the loop
    // sleeps, or they would wait for the next wake-up (a button release caught by a paint would
    // leave its button pressed until something else happened).
    while (!closed_) {
        readEvents(true);
        if (closed_) return;
        if (beforeFlush_) beforeFlush_();
        if (closed_) return;
        xcb_flush(connection_);
        checkClosed();
        if (auto late = closed_ ? nullptr : takeEvent(true)) {
            dispatch(late.get());
            continue;
        }
        const std::size_t waiting = pendingReplies_.size();
        deliverReplies(std::nullopt);
        if (pendingReplies_.size() == waiting && !heldEvent_) return;
    }
}

void X11Connection::readEvents(bool queuedOnly) {
    if (gathering_) {
        // Only what xcb holds already: the descriptor is read once the gathering ends.
        if (keepGathered()) endGathering();
        return;
    }
    while (!closed_) {
        auto event = takeEvent(queuedOnly);
        if (!event) break;
        dispatch(event.get());
    }
    checkClosed();
    if (closed_) return;
    deliverReplies(std::nullopt);
    tellCompositorChange();
    if (closed_) return;
    if (handedOver_ && afterEvents_) {
        handedOver_ = false;
        afterEvents_();
    }
}

void X11Connection::expectReply(unsigned int sequence, std::function<void(void*)> deliver) {
    pendingReplies_.push_back({sequence, std::move(deliver)});
}

void X11Connection::deliverReplies(std::optional<std::uint32_t> before) {
    while (!pendingReplies_.empty() && !closed_) {
        const unsigned int sequence = pendingReplies_.front().sequence;
        // An event made after the server answered comes after the answer.
        if (before && precedesRequest(*before, sequence)) return;
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (!xcb_poll_for_reply(connection_, sequence, &reply, &error)) return;
        std::free(error);
        if (!before) {
            handOverEventsBefore(sequence);
            if (closed_ || pendingReplies_.empty() ||
                pendingReplies_.front().sequence != sequence) {
                std::free(reply);
                return;
            }
        }
        auto deliver = std::move(pendingReplies_.front().deliver);
        pendingReplies_.pop_front();
        handedOver_ = true;
        deliver(reply);
    }
}

Reply<xcb_generic_event_t> X11Connection::takeEvent(bool queuedOnly) {
    if (heldEvent_) return std::move(heldEvent_);
    if (!gathered_.empty()) {
        auto event = std::move(gathered_.front());
        gathered_.pop_front();
        return event;
    }
    return Reply<xcb_generic_event_t>(queuedOnly ? xcb_poll_for_queued_event(connection_)
                                                 : xcb_poll_for_event(connection_));
}

// The read that brought a reply may have brought events the server sent before it: they are
// handed over first, and the first one sent after it waits for the next read, so that kept
// state never sees an answer before the news that came ahead of it.
void X11Connection::handOverEventsBefore(unsigned int sequence) {
    while (!closed_) {
        auto event = takeEvent(true);
        if (!event) return;
        if (!precedesRequest(event->full_sequence, sequence)) {
            heldEvent_ = std::move(event);
            return;
        }
        dispatch(event.get());
    }
}

void X11Connection::dispatch(xcb_generic_event_t* event) {
    deliverReplies(event->full_sequence);
    handedOver_ = true;
    lastEventSequence_ = event->full_sequence;
    // Errors come in the order of their requests: once the server has gone past the excused ones,
    // theirs have all come.
    if (excusing_ && precedesRequest(excusedThrough_, event->full_sequence)) excusing_ = false;
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == 0) {
        const auto& error = *reinterpret_cast<xcb_generic_error_t*>(event);
        if (!isExcused(error)) logError(error);
        if (onRequestError_) onRequestError_(error);
        return;
    }
    if (hasXfixes_ && type == xfixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
        compositorOwnerChanged(*event);
    }
    if (handler_) handler_(*event);
}

void X11Connection::checkClosed() {
    if (closed_ || !xcb_connection_has_error(connection_)) return;
    closed_ = true;
    watch_.reset();
    log_.error("The connection to the X server closed; Talvori ends.");
    if (auto closed = std::move(closedHandler_)) closed();
}

xcb_void_cookie_t X11Connection::sendToWindowManager(
    xcb_window_t window, xcb_atom_t type, const std::array<std::uint32_t, 5>& data) const {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::copy(data.begin(), data.end(), message.data.data32);
    return xcb_send_event(connection_, 0, root(),
                          XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                          reinterpret_cast<const char*>(&message));
}

void X11Connection::logError(const xcb_generic_error_t& error) {
    const std::string line = formatLogMessage(
        "X error %{public}s in %{public}s (resource 0x%{public}x)",
        {X11ErrorNames::error(error.error_code),
         X11ErrorNames::request(error.major_code, error.minor_code, extensionNames_),
         toLogArgument(error.resource_id)});
    repeatedLines_.log(LogLevel::defaultLevel, line, line);
}

void X11Connection::excuseGoneWindowErrors() {
    excusedThrough_ = xcb_no_operation(connection_).sequence;
    excusing_ = true;
}

// What a request about a window that is gone fails with: the window, what drew into it (its
// graphics contexts, its pictures), what was made from it.
bool X11Connection::isExcused(const xcb_generic_error_t& error) const {
    if (!excusing_ || precedesRequest(excusedThrough_, error.full_sequence)) return false;
    return error.error_code == XCB_WINDOW || error.error_code == XCB_PIXMAP ||
           error.error_code == XCB_DRAWABLE || error.error_code == XCB_MATCH ||
           error.error_code == XCB_G_CONTEXT || error.major_code >= 128;
}

// A request without a reply is known done once a later one has answered.
void X11Connection::whenChecked(xcb_void_cookie_t cookie,
                                std::function<void(std::uint8_t)> handler) {
    whenReplied<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus(connection_),
        [this, sequence = cookie.sequence, handler = std::move(handler)](auto) {
            void* reply = nullptr;
            xcb_generic_error_t* error = nullptr;
            std::uint8_t code = 0;
            if (xcb_poll_for_reply(connection_, sequence, &reply, &error) && error) {
                code = error->error_code;
            }
            std::free(reply);
            std::free(error);
            handler(code);
        });
}

std::uint8_t X11Connection::check(xcb_void_cookie_t cookie) const {
    xcb_generic_error_t* error = xcb_request_check(connection_, cookie);
    if (!error) return 0;
    const std::uint8_t code = error->error_code;
    std::free(error);
    return code;
}

}  // namespace talvori::x11
