#include "platform/x11/X11Panel.hpp"

#include <cairo-xcb.h>
#include <unistd.h>
#include <xcb/shape.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/Platform.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Input.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "platform/desktop/SpecialKey.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11SceneWindowHints.hpp"
#include "platform/x11/X11Screens.hpp"
#include "platform/x11/X11WindowManagerMove.hpp"

namespace talvori::x11 {

namespace {

constexpr std::uint32_t kEventMask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                     XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                     XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW |
                                     XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_KEY_PRESS |
                                     XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE;
// An animation's next frame, at the usual display rate.
constexpr double kFrameInterval = 1.0 / 60;
// How long a window manager is given to let go of a window withdrawn from it.
constexpr double kWithdrawalWait = 0.5;
// _NET_WM_STATE actions.
constexpr std::uint32_t kStateRemove = 0;
constexpr std::uint32_t kStateAdd = 1;
constexpr std::uint32_t kStateToggle = 2;
// ICCCM size hints: flags and the field count.
constexpr std::uint32_t kUSPosition = 1;
constexpr std::uint32_t kPPosition = 4;
constexpr std::uint32_t kPMinSize = 16;
constexpr std::uint32_t kPMaxSize = 32;
constexpr std::uint32_t kPWinGravity = 512;
constexpr std::uint32_t kStaticGravity = 10;

void setText(xcb_connection_t* raw, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
             const std::string& text) {
    xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                        static_cast<std::uint32_t>(text.size()), text.data());
}

void setCardinals(xcb_connection_t* raw, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                  const std::uint32_t* values, std::uint32_t count) {
    xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window, property, type, 32, count, values);
}

void roundedRectangle(cairo_t* context, Size size, double radius) {
    radius = std::clamp(radius, 0.0, std::min(size.width, size.height) / 2);
    if (radius <= 0) {
        cairo_rectangle(context, 0, 0, size.width, size.height);
        return;
    }
    const double right = size.width;
    const double bottom = size.height;
    cairo_new_sub_path(context);
    cairo_arc(context, right - radius, radius, radius, -M_PI / 2, 0);
    cairo_arc(context, right - radius, bottom - radius, radius, 0, M_PI / 2);
    cairo_arc(context, radius, bottom - radius, radius, M_PI / 2, M_PI);
    cairo_arc(context, radius, radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(context);
}

void setSource(cairo_t* context, const Color& color) {
    cairo_set_source_rgba(context, color.red, color.green, color.blue, color.alpha);
}

}  // namespace

std::shared_ptr<X11Panel> X11Panel::make(const std::shared_ptr<X11Application>& application,
                                         const Rect& contentRect, unsigned styleMask) {
    std::shared_ptr<X11Panel> panel(new X11Panel(application, contentRect, styleMask));
    panel->create();
    return panel;
}

X11Panel::X11Panel(const std::shared_ptr<X11Application>& application, const Rect& contentRect,
                   unsigned styleMask)
    : Panel(application->loop(), contentRect, styleMask),
      application_(application),
      connection_(application->sharedConnection()),
      managed_((styleMask & StyleMask::titled) != 0) {}

X11Panel::~X11Panel() {
    if (surface_) cairo_surface_destroy(surface_);
    if (destroyed_) return;
    xcb_destroy_window(connection_->raw(), window_);
    if (auto application = application_.lock()) application->forgetPanel(window_);
}

void X11Panel::create() {
    auto application = application_.lock();
    xcb_connection_t* raw = connection_->raw();
    window_ = xcb_generate_id(raw);
    scale_ = application->screens().space().scale;
    placed_ = application->screens().space().toRoot(frame());
    const bool argb = connection_->argbVisual() != 0;
    std::uint32_t mask =
        XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
    std::array<std::uint32_t, 5> values{0, 0, managed_ ? 0U : 1U, kEventMask, 0};
    if (argb) {
        mask |= XCB_CW_COLORMAP;
        values[4] = connection_->argbColormap();
    }
    xcb_create_window(raw, argb ? 32 : XCB_COPY_FROM_PARENT, window_, connection_->root(),
                      static_cast<std::int16_t>(placed_.x), static_cast<std::int16_t>(placed_.y),
                      static_cast<std::uint16_t>(placed_.width),
                      static_cast<std::uint16_t>(placed_.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      argb ? connection_->argbVisual() : connection_->screen().root_visual, mask,
                      values.data());
    static constexpr char kClass[] = "talvori\0Talvori";
    xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof kClass, kClass);
    const std::uint32_t pid = static_cast<std::uint32_t>(::getpid());
    setCardinals(raw, window_, connection_->atom(Atom::_NET_WM_PID), XCB_ATOM_CARDINAL, &pid, 1);
    if (managed_) {
        X11SceneWindowHints::apply(*connection_, window_);
        setManagedWindowProperties();
    }
}

void X11Panel::setManagedWindowProperties() {
    xcb_connection_t* raw = connection_->raw();
    const xcb_atom_t type = connection_->atom(Atom::_NET_WM_WINDOW_TYPE_NORMAL);
    setCardinals(raw, window_, connection_->atom(Atom::_NET_WM_WINDOW_TYPE), XCB_ATOM_ATOM, &type,
                 1);
    // Static gravity: the position we ask for is the content's, whatever frame the manager adds.
    std::array<std::uint32_t, 18> hints{};
    const bool fixedSize = (styleMask() & StyleMask::resizable) == 0;
    hints[0] = kUSPosition | kPPosition | kPMinSize | kPWinGravity | (fixedSize ? kPMaxSize : 0);
    hints[1] = static_cast<std::uint32_t>(placed_.x);
    hints[2] = static_cast<std::uint32_t>(placed_.y);
    hints[3] = placed_.width;
    hints[4] = placed_.height;
    hints[5] = fixedSize ? placed_.width
                         : static_cast<std::uint32_t>(std::max(1.0, minSize().width * scale_));
    hints[6] = fixedSize ? placed_.height
                         : static_cast<std::uint32_t>(std::max(1.0, minSize().height * scale_));
    hints[7] = placed_.width;
    hints[8] = placed_.height;
    hints[17] = kStaticGravity;
    setCardinals(raw, window_, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, hints.data(),
                 static_cast<std::uint32_t>(hints.size()));
    if (styleMask() & StyleMask::fullSizeContentView) {
        // No decorations: flags = decorations, decorations = none.
        const std::uint32_t motif[5] = {2, 0, 0, 0, 0};
        const xcb_atom_t hintsAtom = connection_->atom(Atom::_MOTIF_WM_HINTS);
        setCardinals(raw, window_, hintsAtom, hintsAtom, motif, 5);
    }
}

// ---- Screen and size

std::optional<Screen> X11Panel::screen() const {
    auto application = application_.lock();
    if (!application) return std::nullopt;
    return application->screens().screenFor(frame());
}

void X11Panel::zoom() {
    if (!managed_ || !mapped_) return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window_;
    message.type = connection_->atom(Atom::_NET_WM_STATE);
    message.data.data32[0] = kStateToggle;
    message.data.data32[1] = connection_->atom(Atom::_NET_WM_STATE_MAXIMIZED_VERT);
    message.data.data32[2] = connection_->atom(Atom::_NET_WM_STATE_MAXIMIZED_HORZ);
    message.data.data32[3] = 1;
    xcb_send_event(connection_->raw(), 0, connection_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
}

bool X11Panel::startWindowSystemMove(const Event&) {
    // A window the window manager does not manage is ours to move.
    return managed_ && mapped_ && requestWindowManagerMove(*connection_, window_);
}

void X11Panel::frameDidChange(const Rect&) {
    auto application = application_.lock();
    if (!application || destroyed_) return;
    const RootRect rect = application->screens().space().toRoot(frame());
    if (rect == placed_) return;
    // A window that only moved keeps its pixels: the server moves them along.
    const bool resized = rect.width != placed_.width || rect.height != placed_.height;
    placed_ = rect;
    reassertions_ = 0;
    const std::uint32_t values[] = {static_cast<std::uint32_t>(rect.x),
                                    static_cast<std::uint32_t>(rect.y), rect.width, rect.height};
    xcb_configure_window(connection_->raw(), window_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    if (managed_ && (styleMask() & StyleMask::resizable) == 0) setManagedWindowProperties();
    if (!resized) {
        // A window following another one: sent at once, as the window it follows moved.
        xcb_flush(connection_->raw());
        return;
    }
    if (surface_) cairo_xcb_surface_set_size(surface_, rect.width, rect.height);
    setNeedsPaint();
}

void X11Panel::windowManagerMoved(const RootRect& rect) {
    auto application = application_.lock();
    if (!application) return;
    const bool resized = rect.width != placed_.width || rect.height != placed_.height;
    placed_ = rect;
    if (resized && surface_) cairo_xcb_surface_set_size(surface_, rect.width, rect.height);
    const Rect global = application->screens().space().toGlobal(rect);
    if (global != frame()) windowSystemDidChangeFrame(global);
    if (resized) setNeedsPaint();
}

// ---- Order

bool X11Panel::canShow() const {
    // Without a compositor a translucent window shows its colours over black instead of blending.
    // A mouse-transparent one (the Focus dimming, its cross-fades) would then darken the screen
    // without the user being able to click it away: such panels stay hidden.
    return connection_->hasCompositor() || isOpaque() || !ignoresMouseEvents();
}

bool X11Panel::waitsForStackingLook() const {
    auto application = application_.lock();
    return application && application->holdsBackOwnStacking() && !managed_ &&
           ignoresMouseEvents() && level() == WindowLevel::normal;
}

void X11Panel::map() {
    if (mapped_ || withdrawing_) return;
    updateStackingKind();
    if (!stackedByManager_ && waitsForStackingLook()) return;
    xcb_map_window(connection_->raw(), window_);
    mapped_ = true;
    setNeedsPaint();
    if (auto application = application_.lock()) application->windowsChanged();
}

void X11Panel::unmap() {
    if (!mapped_) return;
    xcb_unmap_window(connection_->raw(), window_);
    mapped_ = false;
    if (isPointerInside()) updateHover(std::nullopt);
    if (auto application = application_.lock()) application->windowsChanged();
}

void X11Panel::updateMapping() {
    if (isClosed()) return;
    const bool show = orderedIn_ && canShow();
    if (orderedIn_ && !canShow()) {
        if (auto application = application_.lock()) application->noteMissingCompositor();
    }
    if (show && !mapped_) {
        if (auto application = application_.lock()) application->placeInLevel(*this, true);
        map();
    } else if (!show && mapped_) {
        unmap();
    }
}

void X11Panel::orderFront() {
    auto application = application_.lock();
    if (!application || isClosed()) return;
    relation_.reset();
    orderedIn_ = true;
    hiddenForDeactivation_ = false;
    markShown();
    if (!canShow()) {
        updateMapping();
        return;
    }
    application->placeInLevel(*this, true);
    map();
}

void X11Panel::orderOut() {
    if (destroyed_) return;
    relation_.reset();
    orderedIn_ = false;
    // Hidden on purpose, it stays hidden when the program becomes active again.
    hiddenForDeactivation_ = false;
    if (isKeyWindow()) {
        if (!holdsKeyboard_ && previousFocus_ != XCB_WINDOW_NONE) {
            xcb_set_input_focus(connection_->raw(), XCB_INPUT_FOCUS_POINTER_ROOT, previousFocus_,
                                connection_->lastTime());
        }
        if (auto application = application_.lock()) application->panelResignedKey(*this);
    }
    unmap();
}

bool X11Panel::orderRelative(WindowOrderingMode mode, std::uint32_t other) {
    auto application = application_.lock();
    if (!application || isClosed() || other == 0 || other == window_) return false;
    xcb_connection_t* raw = connection_->raw();
    xcb_window_t sibling = XCB_WINDOW_NONE;
    int otherLevel = 0;
    const auto previous = relation_;
    relation_.reset();
    if (auto ours = application->panel(other)) {
        if (!ours->isMapped()) return false;
        sibling = ours->stackingWindow();
        otherLevel = ours->level();
    } else {
        // What the program knows of the window already (kept current by the server's events).
        const auto client = application->clients().readClient(other);
        if (!client || !client->viewable) return false;
        sibling = client->frame;
    }
    orderedIn_ = true;
    hiddenForDeactivation_ = false;
    markShown();
    const std::uint32_t stackMode =
        mode == WindowOrderingMode::above ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW;
    if (otherLevel != level()) {
        // Against another level the panel goes to the end of its own level nearest that window.
        application->placeInLevel(*this, level() < otherLevel);
    } else if (managed_) {
        requestRestack(other, stackMode);
    } else {
        // A window the window manager stacks is placed once it manages it: mapped first.
        updateStackingKind();
        if (stackedByManager_ && canShow()) map();
        const bool again = previous && previous->sibling == sibling && previous->mode == stackMode;
        relation_ =
            Relation{sibling, other, stackMode, again ? previous->siblingBelow : std::nullopt};
        // Checks made again and again find the panel in place: they send nothing.
        const bool inPlace =
            mapped_ && (standsInRelation(application->clients().knownRootChildren()) ||
                        (again && isRestackInFlight()));
        if (!inPlace) restackAgainstRelation();
    }
    if (canShow()) {
        map();
    } else {
        updateMapping();
    }
    // Sent now rather than when the loop next sleeps: the rest of this turn's work (reading the
    // window list again, say) would only delay it.
    xcb_flush(raw);
    return true;
}

void X11Panel::restackAgainstRelation() {
    if (!relation_) return;
    if (stackedByManager_) {
        requestStackedRestack();
        restackPending_ = true;
        return;
    }
    const std::uint32_t values[] = {relation_->sibling, relation_->mode};
    restackSent_ =
        xcb_configure_window(connection_->raw(), window_,
                             XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values)
            .sequence;
}

// Some window managers only ever move a window down when asked to put it below another, and up
// when asked to put it above (Mutter): a panel that has the other way to go is put against the
// nearest client on the side it comes from.
void X11Panel::requestStackedRestack() {
    auto application = application_.lock();
    if (!application) return;
    const auto& clients = application->clients();
    const auto& children = clients.knownRootChildren();
    const auto place = [&](xcb_window_t window) {
        return std::find(children.begin(), children.end(), window) - children.begin();
    };
    const auto self = place(stackingWindow());
    const auto sibling = place(relation_->sibling);
    const auto count = static_cast<std::ptrdiff_t>(children.size());
    const bool below = relation_->mode == XCB_STACK_MODE_BELOW;
    if (self < count && sibling < count && (self < sibling) == below) {
        // From the sibling towards the panel.
        const std::ptrdiff_t step = below ? -1 : 1;
        for (auto index = sibling + step; index != self; index += step) {
            const xcb_window_t client = clients.clientIn(children[static_cast<std::size_t>(index)]);
            if (client == XCB_WINDOW_NONE) continue;
            requestRestack(client, below ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW);
            return;
        }
    }
    requestRestack(relation_->client, relation_->mode);
}

// Window managers stack the windows they manage themselves, and place one against another on a
// pager's request (EWMH), which names the sibling by its client window.
void X11Panel::requestRestack(xcb_window_t client, std::uint32_t stackMode) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window_;
    message.type = connection_->atom(Atom::_NET_RESTACK_WINDOW);
    message.data.data32[0] = 2;
    message.data.data32[1] = client;
    message.data.data32[2] = stackMode;
    xcb_send_event(connection_->raw(), 0, connection_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
}

xcb_window_t X11Panel::stackingWindow() const {
    if (!managed_ && !stackedByManager_) return window_;
    auto application = application_.lock();
    return application ? application->clients().frameOf(window_) : window_;
}

// Where the window manager cannot keep a window it does not manage between its own, a
// mouse-transparent panel among other programs' windows is handed to it.
bool X11Panel::wantsStackingByWindowManager() const {
    auto application = application_.lock();
    return application && !managed_ && ignoresMouseEvents() && level() == WindowLevel::normal &&
           application->stacksThroughWindowManager();
}

// Decided while the window is unmapped: the window manager looks at it when it is mapped.
void X11Panel::updateStackingKind() {
    if (mapped_ || managed_ || destroyed_) return;
    const bool wanted = wantsStackingByWindowManager();
    if (wanted == stackedByManager_) return;
    stackedByManager_ = wanted;
    restackPending_ = false;
    fullScreenAsked_ = false;
    reassertions_ = 0;
    configureToPlaced();
    const std::uint32_t overrideRedirect[] = {wanted ? 0U : 1U};
    xcb_change_window_attributes(connection_->raw(), window_, XCB_CW_OVERRIDE_REDIRECT,
                                 overrideRedirect);
    if (wanted) X11SceneWindowHints::applyStacked(*connection_, window_, placed_);
    // Who fades the window, by its opacity or in its pixels, depends on who stacks it.
    writeOpacity();
    setNeedsPaint();
}

// A window manager that stacks the panel may also place it as it likes: on one monitor, or off the
// desktop's panels. The panel must cover what it was asked to cover, so the frame asked for is
// asserted again each time the window manager moves it, a few times per placement at most so that
// a window manager that insists is not fought forever.
void X11Panel::frameConfigured(const RootRect& rect) {
    if (!stackedByManager_) return;
    if (rect == placed_) {
        reassertions_ = 0;
        return;
    }
    if (askFullScreen()) return;
    if (reassertions_ >= kReassertions) return;
    ++reassertions_;
    // Full-screen where it covered only one monitor: given up, as it holds the frame in place.
    if (fullScreenAsked_) sendFullScreen(kStateRemove);
    configureToPlaced();
    xcb_flush(connection_->raw());
}

// A window as large as the screen is moved off the desktop's panels by some window managers (KWin
// does); full-screen, it covers them, and stays below them while it does not have the focus.
// Others keep docks below full-screen windows (Mutter): it is asked only of those that moved it.
// Full-screen covers one monitor only: with more, the frame is asserted instead.
bool X11Panel::askFullScreen() {
    if (fullScreenAsked_) return false;
    const xcb_screen_t& screen = connection_->screen();
    if (placed_ != RootRect{0, 0, screen.width_in_pixels, screen.height_in_pixels}) return false;
    auto application = application_.lock();
    if (!application || application->screens().screens().size() > 1) return false;
    fullScreenAsked_ = true;
    sendFullScreen(kStateAdd);
    return true;
}

void X11Panel::sendFullScreen(std::uint32_t action) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window_;
    message.type = connection_->atom(Atom::_NET_WM_STATE);
    message.data.data32[0] = action;
    message.data.data32[1] = connection_->atom(Atom::_NET_WM_STATE_FULLSCREEN);
    message.data.data32[3] = 2;
    xcb_send_event(connection_->raw(), 0, connection_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
}

// Sent whoever holds the window: a window manager that let go of it leaves it where it had put it.
void X11Panel::configureToPlaced() {
    const std::uint32_t values[] = {static_cast<std::uint32_t>(placed_.x),
                                    static_cast<std::uint32_t>(placed_.y), placed_.width,
                                    placed_.height};
    xcb_configure_window(connection_->raw(), window_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
}

void X11Panel::stackingModeChanged() {
    if (!mapped_ || managed_ || wantsStackingByWindowManager() == stackedByManager_) return;
    const bool leavesWindowManager = stackedByManager_;
    const auto relation = relation_;
    unmap();
    relation_ = relation;
    if (leavesWindowManager && !isTopLevel()) {
        // Mapped again only once the window manager has let go of it: mapped inside its frame,
        // the window would stay hidden when the frame goes.
        withdrawing_ = true;
        announceWithdrawal();
        // A window manager that never gives it back does not keep it hidden.
        if (auto application = application_.lock()) {
            application->loop()->runAfter(kWithdrawalWait,
                                          weakly(weak_from_this(), [](Panel& panel) {
                                              auto& self = static_cast<X11Panel&>(panel);
                                              if (self.withdrawing_) self.showInNewStackingMode();
                                          }));
        }
        return;
    }
    showInNewStackingMode();
}

void X11Panel::showInNewStackingMode() {
    withdrawing_ = false;
    if (!orderedIn_ || !canShow()) return;
    const auto relation = relation_;
    map();
    relation_ = relation;
    restackAgainstRelation();
    xcb_flush(connection_->raw());
}

void X11Panel::stackingLookEnded() {
    if (mapped_ || withdrawing_ || !orderedIn_ || isClosed() || !canShow()) return;
    map();
    if (!mapped_) return;
    if (relation_) {
        restackAgainstRelation();
    } else if (auto application = application_.lock()) {
        application->placeInLevel(*this, true);
    }
    xcb_flush(connection_->raw());
}

bool X11Panel::isTopLevel() const {
    xcb_connection_t* raw = connection_->raw();
    auto tree = waitReply(xcb_query_tree_reply, raw, xcb_query_tree(raw, window_));
    return !tree || tree->parent == tree->root;
}

// ICCCM: a client withdrawing its window tells the window manager with a synthetic unmap.
void X11Panel::announceWithdrawal() {
    xcb_unmap_notify_event_t notice{};
    notice.response_type = XCB_UNMAP_NOTIFY;
    notice.event = connection_->root();
    notice.window = window_;
    xcb_send_event(connection_->raw(), 0, connection_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&notice));
    xcb_flush(connection_->raw());
}

void X11Panel::reparented(bool toRoot) {
    if (withdrawing_ && toRoot) showInNewStackingMode();
}

// The order the events told does not show our latest restack until its own event is read; a
// restack that changed nothing sends none, but then the order shows the panel in place already.
bool X11Panel::isRestackInFlight() const {
    // The window manager's answer to a request is the frame's own restack.
    if (stackedByManager_) return restackPending_;
    return restackSent_ && precedesRequest(connection_->lastEventSequence(), *restackSent_);
}

// Window managers put windows of their own that show nothing (icewm's stacking markers) next to
// the windows they manage: only another client's frame coming between moves the panel back.
bool X11Panel::standsInRelation(const std::vector<xcb_window_t>& children) const {
    auto application = application_.lock();
    if (!relation_ || !application) return false;
    const auto self = std::find(children.begin(), children.end(), stackingWindow());
    const auto sibling = std::find(children.begin(), children.end(), relation_->sibling);
    if (self == children.end() || sibling == children.end()) return false;
    const bool below = relation_->mode == XCB_STACK_MODE_BELOW;
    if (below ? self > sibling : sibling > self) return false;
    const auto& clients = application->clients();
    return std::none_of(
        below ? self + 1 : sibling + 1, below ? sibling : self, [&](xcb_window_t between) {
            return clients.isClientFrame(between) || application->isOurWindow(between);
        });
}

// The window manager restacks the window we were placed against as it activates it (raising it
// past us), often a moment after we placed ourselves: the placement is kept until the panel is
// ordered otherwise.
void X11Panel::siblingRestacked(xcb_window_t sibling, xcb_window_t below) {
    if (stackedByManager_) {
        // The window manager keeps the order of the windows it manages: it has done what was
        // asked once the frame stands where it should (it may never, and is not asked again).
        auto application = application_.lock();
        if (application && sibling == stackingWindow() &&
            standsInRelation(application->clients().knownRootChildren())) {
            restackPending_ = false;
        }
        return;
    }
    if (!relation_ || relation_->sibling != sibling || !mapped_) return;
    const bool moved = relation_->siblingBelow != below;
    relation_->siblingBelow = below;
    // Directly below it still: nothing to do.
    if (relation_->mode == XCB_STACK_MODE_BELOW && below == window_) return;
    if (moved) restackAgainstRelation();
}

void X11Panel::clientReframed(xcb_window_t client) {
    if (!relation_ || relation_->client != client) return;
    auto application = application_.lock();
    if (!application) return;
    const xcb_window_t frame = application->clients().frameOf(client);
    if (frame == XCB_WINDOW_NONE || relation_->sibling == frame) return;
    relation_->sibling = frame;
    relation_->siblingBelow.reset();
    if (mapped_) restackAgainstRelation();
}

void X11Panel::keepRelation(const std::vector<xcb_window_t>& children) {
    if (!relation_ || !mapped_) return;
    const bool listed =
        std::find(children.begin(), children.end(), stackingWindow()) != children.end() &&
        std::find(children.begin(), children.end(), relation_->sibling) != children.end();
    if (listed && !standsInRelation(children) && !isRestackInFlight()) restackAgainstRelation();
}

void X11Panel::levelDidChange() {
    relation_.reset();
    if (!mapped_) return;
    if (auto application = application_.lock()) application->placeInLevel(*this, true);
}

void X11Panel::setHiddenForDeactivation(bool hidden) {
    if (hidden) {
        orderOut();
        hiddenForDeactivation_ = true;
    } else if (hiddenForDeactivation_) {
        orderFront();
    }
}

// ---- Key status

bool X11Panel::isKeyWindow() const {
    auto application = application_.lock();
    return application && application->keyWindow().get() == this;
}

void X11Panel::makeKey() {
    auto application = application_.lock();
    if (!application || isClosed() || !canBecomeKey() || !mapped_ || isKeyWindow()) return;
    xcb_connection_t* raw = connection_->raw();
    auto focus = waitReply(xcb_get_input_focus_reply, raw, xcb_get_input_focus(raw));
    if (focus && !application->isOurWindow(focus->focus)) previousFocus_ = focus->focus;
    if (managed_) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window_;
        message.type = connection_->atom(Atom::_NET_ACTIVE_WINDOW);
        message.data.data32[0] = 1;
        message.data.data32[1] = connection_->lastTime();
        keyRequest_ = xcb_send_event(
                          raw, 0, connection_->root(),
                          XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                          reinterpret_cast<const char*>(&message))
                          .sequence;
    } else if ((styleMask() & StyleMask::nonactivatingPanel) != 0) {
        holdKeyboard();
    } else {
        // Window managers never focus override-redirect windows: take the focus ourselves.
        keyRequest_ =
            xcb_set_input_focus(raw, XCB_INPUT_FOCUS_POINTER_ROOT, window_, connection_->lastTime())
                .sequence;
    }
    // Keys typed right after the click go wherever the server has the focus when it reads them:
    // the request leaves now rather than when the turn ends.
    xcb_flush(raw);
    application->panelBecameKey(*this);
}

// The keyboard focus stays in the user's window, which the window manager keeps active: the panel
// takes the keys by holding the keyboard until the user clicks anywhere else. A keyboard another
// program holds leaves the focus to be taken as for other panels.
void X11Panel::holdKeyboard() {
    auto application = application_.lock();
    if (!application) return;
    // Grabs are the connection's: the panel that held the keyboard lets go of it first.
    if (auto holder = std::static_pointer_cast<X11Panel>(application->keyWindow())) {
        holder->releaseKeyboard();
    }
    xcb_connection_t* raw = connection_->raw();
    const auto cookie = xcb_grab_keyboard(raw, 0, window_, connection_->lastTime(),
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    keyRequest_ = cookie.sequence;
    holdsKeyboard_ = true;
    connection_->whenReplied<xcb_grab_keyboard_reply_t>(
        cookie, weakly(weak_from_this(), [](Panel& panel, Reply<xcb_grab_keyboard_reply_t> reply) {
            auto& self = static_cast<X11Panel&>(panel);
            if (!self.holdsKeyboard_ || (reply && reply->status == XCB_GRAB_STATUS_SUCCESS)) {
                return;
            }
            self.holdsKeyboard_ = false;
            self.pressElsewhere_ = {};
            xcb_set_input_focus(self.connection_->raw(), XCB_INPUT_FOCUS_POINTER_ROOT, self.window_,
                                self.connection_->lastTime());
        }));
    constexpr EventMask kAnyClick =
        eventMaskBit(EventType::leftMouseDown) | eventMaskBit(EventType::rightMouseDown);
    pressElsewhere_ =
        platform().input().addGlobalMonitor(kAnyClick, weakly(weak_from_this(), [](Panel& panel) {
                                                auto& self = static_cast<X11Panel&>(panel);
                                                auto application = self.application_.lock();
                                                if (!application || !self.holdsKeyboard_) return;
                                                self.releaseKeyboard();
                                                application->panelResignedKey(self);
                                            }));
}

void X11Panel::releaseKeyboard() {
    if (!holdsKeyboard_) return;
    holdsKeyboard_ = false;
    unusedKey_.reset();
    pressElsewhere_ = {};
    xcb_ungrab_keyboard(connection_->raw(), connection_->lastTime());
}

// Typed again only when let go: pressed a second time while still held down, the key would reach
// others as a repeat, which the desktop's own shortcuts ignore.
void X11Panel::noteUnusedKey(std::uint8_t key) {
    if (holdsKeyboard_) unusedKey_ = key;
}

bool X11Panel::keepsKey(const Event& event) {
    constexpr std::uint64_t kChords =
        ModifierFlags::control | ModifierFlags::option | ModifierFlags::command;
    if (event.deviceIndependentFlags() & kChords) return false;
    if (!event.specialKey) return event.characters == " ";
    switch (*event.specialKey) {
        case SpecialKey::tab:
        case SpecialKey::backTab:
        case SpecialKey::upArrow:
        case SpecialKey::downArrow:
        case SpecialKey::leftArrow:
        case SpecialKey::rightArrow:
        case SpecialKey::carriageReturn:
        case SpecialKey::enter:
        case SpecialKey::escape:
        case SpecialKey::home:
        case SpecialKey::end:
        case SpecialKey::pageUp:
        case SpecialKey::pageDown:
            return true;
        default:
            return false;
    }
}

void X11Panel::keyReleased(std::uint8_t key) {
    if (!holdsKeyboard_ || unusedKey_ != key) return;
    unusedKey_.reset();
    auto application = application_.lock();
    if (!application) return;
    releaseKeyboard();
    application->panelResignedKey(*this);
    // The modifiers still held come with it from the keyboard's own state.
    xcb_connection_t* raw = connection_->raw();
    xcb_test_fake_input(raw, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(raw, XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(raw);
}

bool X11Panel::predatesKeyRequest(std::uint32_t sequence) const {
    return keyRequest_ && precedesRequest(sequence, *keyRequest_);
}

void X11Panel::keyStatusChanged(bool isKey) {
    if (isKey) {
        didBecomeKey();
    } else {
        releaseKeyboard();
        didResignKey();
    }
}

// ---- Appearance

bool X11Panel::setBackgroundBlurRadius(int radius) {
    storeBackgroundBlurRadius(radius);
    return writeBlurHint();
}

// Kept while the compositor offers no blur, so that the hint is written once it does.
bool X11Panel::writeBlurHint() {
    auto application = application_.lock();
    const bool offered = application && application->blursBehindWindows().peek();
    // The compositor blurs by a strength of its own: a blur of a point or less, which would
    // hardly show, is not asked for.
    const bool wanted = offered && backgroundBlurRadius() > 1;
    if (destroyed_ || wanted == blurHintWritten_) return offered;
    blurHintWritten_ = wanted;
    xcb_connection_t* raw = connection_->raw();
    const xcb_atom_t hint = connection_->atom(Atom::_KDE_NET_WM_BLUR_BEHIND_REGION);
    if (wanted) {
        // An empty region means the whole window.
        setCardinals(raw, window_, hint, XCB_ATOM_CARDINAL, nullptr, 0);
    } else {
        xcb_delete_property(raw, window_, hint);
    }
    return offered;
}

void X11Panel::blurOfferChanged() {
    writeBlurHint();
}

void X11Panel::appearanceDidChange() {
    if (destroyed_) return;
    if (title() != writtenTitle_) {
        writtenTitle_ = title();
        setText(connection_->raw(), window_, connection_->atom(Atom::_NET_WM_NAME),
                connection_->atom(Atom::UTF8_STRING), title());
        setText(connection_->raw(), window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title());
    }
    setNeedsPaint();
}

void X11Panel::alphaDidChange() {
    if (fadesByOpacity()) {
        // One small request a frame: the compositor blends the pixels drawn once.
        writeOpacity();
    } else {
        setNeedsPaint();
    }
}

// A window the window manager stacks is faded in its pixels: KWin, managing it, went on showing
// an opacity that was changed since (half a fade, for good).
bool X11Panel::fadesByOpacity() const {
    auto application = application_.lock();
    return !managed_ && !stackedByManager_ && application &&
           application->compositorFadesByOpacity();
}

void X11Panel::writeOpacity() {
    if (destroyed_) return;
    xcb_connection_t* raw = connection_->raw();
    const xcb_atom_t property = connection_->atom(Atom::_NET_WM_WINDOW_OPACITY);
    const double alpha = fadesByOpacity() ? alphaValue() : 1;
    if (alpha >= 1) {
        if (writtenOpacity_) xcb_delete_property(raw, window_, property);
        writtenOpacity_.reset();
        return;
    }
    const auto opacity = static_cast<std::uint32_t>(std::lround(alpha * 0xFFFFFFFFu));
    if (writtenOpacity_ == opacity) return;
    writtenOpacity_ = opacity;
    setCardinals(raw, window_, property, XCB_ATOM_CARDINAL, &opacity, 1);
}

// A compositor learns of the windows that exist as it starts by listing them, and of later ones
// as they are made or move into the root. One that lists them before it is ready (xfwm4 taking
// over from itself) never paints a window it missed, mapped again or not: ours is handed to it
// as a window that just came into the root, and drawn anew.
void X11Panel::introduceToCompositor() {
    if (!mapped_ || managed_ || stackedByManager_ || destroyed_) return;
    xcb_reparent_window(connection_->raw(), window_, connection_->root(),
                        static_cast<std::int16_t>(placed_.x), static_cast<std::int16_t>(placed_.y));
    // The window came back at the top of the root's children; the window it stood against may
    // have been framed anew by a window manager that came meanwhile.
    if (relation_) {
        if (auto application = application_.lock()) {
            const xcb_window_t frame = application->clients().frameOf(relation_->client);
            if (frame != XCB_WINDOW_NONE) relation_->sibling = frame;
        }
        relation_->siblingBelow.reset();
        restackAgainstRelation();
    } else if (auto application = application_.lock()) {
        application->placeInLevel(*this, true);
    }
    background_.reset();
    setNeedsPaint();
}

void X11Panel::fadeModeChanged() {
    writeOpacity();
    setNeedsPaint();
}

void X11Panel::ignoresMouseEventsDidChange() {
    applyInputShape();
    updateMapping();
}

void X11Panel::applyInputShape() {
    if (!connection_->hasShape() || destroyed_) return;
    xcb_connection_t* raw = connection_->raw();
    if (ignoresMouseEvents()) {
        // An empty input region: clicks fall through to the window below.
        xcb_shape_rectangles(raw, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                             window_, 0, 0, 0, nullptr);
    } else {
        xcb_shape_mask(raw, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, window_, 0, 0, XCB_PIXMAP_NONE);
    }
    if (isPointerInside() && ignoresMouseEvents()) updateHover(std::nullopt);
}

void X11Panel::setSkipsTaskbar(bool skips) {
    if (!managed_ || destroyed_) return;
    xcb_connection_t* raw = connection_->raw();
    const xcb_atom_t states[] = {connection_->atom(Atom::_NET_WM_STATE_SKIP_TASKBAR),
                                 connection_->atom(Atom::_NET_WM_STATE_SKIP_PAGER)};
    if (!mapped_) {
        if (skips) {
            setCardinals(raw, window_, connection_->atom(Atom::_NET_WM_STATE), XCB_ATOM_ATOM,
                         states, 2);
        } else {
            xcb_delete_property(raw, window_, connection_->atom(Atom::_NET_WM_STATE));
        }
        return;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window_;
    message.type = connection_->atom(Atom::_NET_WM_STATE);
    message.data.data32[0] = skips ? kStateAdd : 0;
    message.data.data32[1] = states[0];
    message.data.data32[2] = states[1];
    message.data.data32[3] = 1;
    xcb_send_event(raw, 0, connection_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
}

void X11Panel::requestAttention() {
    if (!managed_ || !mapped_) return;
    xcb_connection_t* raw = connection_->raw();
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window_;
    message.type = connection_->atom(Atom::_NET_WM_STATE);
    message.data.data32[0] = kStateAdd;
    message.data.data32[1] = connection_->atom(Atom::_NET_WM_STATE_DEMANDS_ATTENTION);
    message.data.data32[3] = 1;
    xcb_send_event(raw, 0, connection_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
}

// ---- Painting

void X11Panel::contentNeedsDisplay() {
    setNeedsPaint();
}

void X11Panel::contentNeedsDisplayInRects(const std::vector<Rect>& rects) {
    // Only what the content changed is drawn and sent, in whole pixels around each rectangle.
    for (const Rect& rect : rects) {
        const double left = std::floor(std::max(0.0, rect.minX() * scale_));
        const double top = std::floor(std::max(0.0, rect.minY() * scale_));
        const double right = std::ceil(std::min(rect.maxX(), frame().width()) * scale_);
        const double bottom = std::ceil(std::min(rect.maxY(), frame().height()) * scale_);
        if (!(right > left && bottom > top)) continue;  // also what is no number
        damage({static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                static_cast<std::uint32_t>(right - left),
                static_cast<std::uint32_t>(bottom - top)});
    }
}

void X11Panel::redrawNow() {
    paint();
}

void X11Panel::damage(const RootRect& area) {
    if (destroyed_ || isClosed() || area.width == 0 || area.height == 0) return;
    if (!damagedWhole_) damage_.push_back(area);
    if (auto application = application_.lock()) {
        application->setNeedsPaint(std::static_pointer_cast<X11Panel>(shared_from_this()));
    }
}

void X11Panel::setNeedsPaint() {
    damagedWhole_ = true;
    damage_.clear();
    if (destroyed_ || isClosed()) return;
    if (auto application = application_.lock()) {
        application->setNeedsPaint(std::static_pointer_cast<X11Panel>(shared_from_this()));
    }
}

void X11Panel::paint() {
    if (!mapped_ || isClosed()) return;
    if (drawsIntoBackground()) {
        damagedWhole_ = false;
        damage_.clear();
        drawBackground();
        return;
    }
    dropBackground();
    if (!surface_) {
        const xcb_visualid_t visual = connection_->argbVisual() ? connection_->argbVisual()
                                                                : connection_->screen().root_visual;
        xcb_visualtype_t* type = connection_->visualType(visual);
        if (!type) return;
        surface_ = connection_->createSurface(window_, type, static_cast<int>(placed_.width),
                                              static_cast<int>(placed_.height));
    }
    cairo_t* context = cairo_create(surface_);
    const bool whole = damagedWhole_ || damage_.empty();
    if (!whole) {
        // Only what was damaged is drawn and sent; the rest of the window keeps its pixels.
        for (const RootRect& area : damage_) {
            cairo_rectangle(context, area.x, area.y, area.width, area.height);
        }
        cairo_clip(context);
    }
    damagedWhole_ = false;
    damage_.clear();
    // The content draws in points; the views follow the scale and draw sharp at it.
    cairo_scale(context, scale_, scale_);
    cairo_push_group_with_content(context, CAIRO_CONTENT_COLOR_ALPHA);
    paintContent(context, frame().size);
    cairo_pop_group_to_source(context);
    cairo_set_operator(context, CAIRO_OPERATOR_SOURCE);
    cairo_paint_with_alpha(context, fadesByOpacity() ? 1 : alphaValue());
    cairo_destroy(context);
    cairo_surface_flush(surface_);
    // What the content covers changes only with the content as a whole.
    if (whole) updateBoundingShape();
    // A layer colour animation shows through the presentation value: keep drawing until it ends.
    const auto shown = presentationBackgroundColor();
    if (!hostedContent() && shown && *shown != contentLayer().backgroundColor) {
        scheduleAnimationFrame();
    }
}

bool X11Panel::drawsIntoBackground() const {
    if (hostedContent() || !fadesByOpacity()) return false;
    // A layer colour animation changes the pixels every frame.
    const auto shown = presentationBackgroundColor();
    return !shown || *shown == contentLayer().backgroundColor;
}

void X11Panel::drawBackground() {
    const DrawnBackground wanted{placed_.width, placed_.height, backgroundColor(), isOpaque(),
                                 contentLayer()};
    if (background_ == wanted || placed_.width == 0 || placed_.height == 0) return;
    xcb_connection_t* raw = connection_->raw();
    if (const auto pixel = uniformPixel()) {
        xcb_change_window_attributes(raw, window_, XCB_CW_BACK_PIXEL, &*pixel);
    } else {
        const bool argb = connection_->argbVisual() != 0;
        xcb_visualtype_t* type = connection_->visualType(argb ? connection_->argbVisual()
                                                              : connection_->screen().root_visual);
        if (!type) return;
        const xcb_pixmap_t pixmap = xcb_generate_id(raw);
        xcb_create_pixmap(raw, argb ? 32 : connection_->screen().root_depth, pixmap, window_,
                          static_cast<std::uint16_t>(placed_.width),
                          static_cast<std::uint16_t>(placed_.height));
        cairo_surface_t* surface = connection_->createSurface(
            pixmap, type, static_cast<int>(placed_.width), static_cast<int>(placed_.height));
        cairo_t* context = cairo_create(surface);
        cairo_set_operator(context, CAIRO_OPERATOR_CLEAR);
        cairo_paint(context);
        cairo_set_operator(context, CAIRO_OPERATOR_OVER);
        cairo_scale(context, scale_, scale_);
        paintContent(context, frame().size);
        cairo_destroy(context);
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
        xcb_change_window_attributes(raw, window_, XCB_CW_BACK_PIXMAP, &pixmap);
        // The window holds on to its background.
        xcb_free_pixmap(raw, pixmap);
    }
    xcb_clear_area(raw, 0, window_, 0, 0, 0, 0);
    background_ = wanted;
    updateBoundingShape();
}

std::optional<std::uint32_t> X11Panel::uniformPixel() const {
    const Color layer = contentLayer().backgroundColor;
    if (connection_->argbVisual() == 0 || (contentLayer().cornerRadius > 0 && layer.alpha > 0)) {
        return std::nullopt;
    }
    xcb_visualtype_t* type = connection_->visualType(connection_->argbVisual());
    if (!type) return std::nullopt;
    Color below = backgroundColor();
    if (isOpaque()) below.alpha = 1;
    // The layer over the background, premultiplied as the visual holds it.
    const double alpha = layer.alpha + below.alpha * (1 - layer.alpha);
    const auto channel = [&](double top, double bottom) {
        return top * layer.alpha + bottom * below.alpha * (1 - layer.alpha);
    };
    const auto place = [](double value, std::uint32_t mask) {
        if (mask == 0) return 0U;
        const int shift = std::countr_zero(mask);
        const std::uint32_t most = mask >> shift;
        const auto scaled =
            static_cast<std::uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * most));
        return (scaled << shift) & mask;
    };
    const std::uint32_t colours = type->red_mask | type->green_mask | type->blue_mask;
    return place(channel(layer.red, below.red), type->red_mask) |
           place(channel(layer.green, below.green), type->green_mask) |
           place(channel(layer.blue, below.blue), type->blue_mask) | place(alpha, ~colours);
}

void X11Panel::dropBackground() {
    if (!background_) return;
    background_.reset();
    const std::uint32_t transparent = 0;
    xcb_change_window_attributes(connection_->raw(), window_, XCB_CW_BACK_PIXEL, &transparent);
    damagedWhole_ = true;
    damage_.clear();
}

void X11Panel::paintContent(cairo_t* context, Size size) {
    Color background = backgroundColor();
    if (isOpaque()) background.alpha = 1;
    if (background.alpha > 0) {
        setSource(context, background);
        cairo_paint(context);
    }
    if (const auto& content = hostedContent()) {
        cairo_save(context);
        content->draw(context, size);
        cairo_restore(context);
        return;
    }
    const Color layer = presentationBackgroundColor().value_or(contentLayer().backgroundColor);
    if (layer.alpha <= 0) return;
    roundedRectangle(context, size, contentLayer().cornerRadius);
    setSource(context, layer);
    cairo_fill(context);
}

void X11Panel::updateBoundingShape() {
    if (!connection_->hasShape()) return;
    const bool shaped = !connection_->hasCompositor() && !isOpaque() && isShapedToContent();
    if (!shaped) {
        if (!boundingShape_) return;
        boundingShape_.reset();
        xcb_shape_mask(connection_->raw(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window_, 0, 0,
                       XCB_PIXMAP_NONE);
        return;
    }
    auto rectangles = opaqueRectangles();
    const auto same = [](const xcb_rectangle_t& a, const xcb_rectangle_t& b) {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
    };
    if (boundingShape_ && std::equal(rectangles.begin(), rectangles.end(), boundingShape_->begin(),
                                     boundingShape_->end(), same)) {
        return;
    }
    xcb_shape_rectangles(connection_->raw(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                         XCB_CLIP_ORDERING_YX_BANDED, window_, 0, 0,
                         static_cast<std::uint32_t>(rectangles.size()), rectangles.data());
    boundingShape_ = std::move(rectangles);
}

// The content drawn once more into an alpha mask; each run of pixels at least three quarters
// opaque in a row becomes a rectangle, and rows with the same runs share one band. A shadow (70 %
// black at its darkest, densest just below a card it is cast down from) stays out.
std::vector<xcb_rectangle_t> X11Panel::opaqueRectangles() {
    constexpr unsigned char kShownAlpha = 192;
    const int width = static_cast<int>(placed_.width);
    const int height = static_cast<int>(placed_.height);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* context = cairo_create(mask);
    cairo_scale(context, scale_, scale_);
    paintContent(context, frame().size);
    cairo_destroy(context);
    cairo_surface_flush(mask);
    const unsigned char* data = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    std::vector<xcb_rectangle_t> rectangles;
    std::vector<std::pair<int, int>> runs;
    std::vector<std::pair<int, int>> bandRuns;
    std::size_t bandStart = 0;
    for (int y = 0; y < height; ++y) {
        runs.clear();
        for (int x = 0; x < width;) {
            while (x < width && data[y * stride + x] < kShownAlpha) ++x;
            const int start = x;
            while (x < width && data[y * stride + x] >= kShownAlpha) ++x;
            if (x > start) runs.emplace_back(start, x);
        }
        if (y > 0 && runs == bandRuns) {
            for (std::size_t index = bandStart; index < rectangles.size(); ++index) {
                ++rectangles[index].height;
            }
            continue;
        }
        bandStart = rectangles.size();
        for (const auto& [start, end] : runs) {
            rectangles.push_back({static_cast<std::int16_t>(start), static_cast<std::int16_t>(y),
                                  static_cast<std::uint16_t>(end - start), 1});
        }
        bandRuns = runs;
    }
    cairo_surface_destroy(mask);
    return rectangles;
}

void X11Panel::scheduleAnimationFrame() {
    if (animationFramePending_) return;
    auto application = application_.lock();
    if (!application) return;
    animationFramePending_ = true;
    std::weak_ptr<Panel> weak = weak_from_this();
    application->loop()->runAfter(kFrameInterval, weakly(weak, [](Panel& panel) {
                                      auto& self = static_cast<X11Panel&>(panel);
                                      self.animationFramePending_ = false;
                                      self.setNeedsPaint();
                                  }));
}

// ---- Closing

void X11Panel::closeWindow() {
    orderOut();
    if (surface_) {
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
    if (destroyed_) return;
    destroyed_ = true;
    xcb_destroy_window(connection_->raw(), window_);
    if (auto application = application_.lock()) application->forgetPanel(window_);
}

void X11Panel::postNotification(const char* name) {
    if (auto application = application_.lock()) {
        application->notificationCenter().post(name, static_cast<const Panel*>(this));
    }
}

}  // namespace talvori::x11
