#include "platform/x11/X11Panel.hpp"

#include <unistd.h>
#include <xcb/shape.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/Platform.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Input.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "platform/desktop/SpecialKey.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11PanelPainter.hpp"
#include "platform/x11/X11PanelStacking.hpp"
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
// _NET_WM_STATE actions.
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
    painter_->releaseSurface();
    if (destroyed_) return;
    xcb_destroy_window(connection_->raw(), window_);
    if (auto application = application_.lock()) application->forgetPanel(window_);
}

void X11Panel::create() {
    auto application = application_.lock();
    xcb_connection_t* raw = connection_->raw();
    window_ = xcb_generate_id(raw);
    stacking_ = std::make_unique<X11PanelStacking>(*this, application, window_);
    painter_ = std::make_unique<X11PanelPainter>(*this, application, window_);
    scale_ = application->screens().space().scale;
    placed_ = application->screens().space().toRoot(frame());
    inParent_.parent = connection_->root();
    inParent_.rect = placed_;
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
    if (!managed_ || !isMapped()) return;
    X11SceneWindowHints::requestState(*connection_, window_, X11SceneWindowHints::kStateToggle,
                                      connection_->atom(Atom::_NET_WM_STATE_MAXIMIZED_VERT),
                                      connection_->atom(Atom::_NET_WM_STATE_MAXIMIZED_HORZ));
}

bool X11Panel::startWindowSystemMove(const Event&) {
    // A window the window manager does not manage is ours to move.
    return managed_ && isMapped() && requestWindowManagerMove(*connection_, window_);
}

void X11Panel::frameDidChange(const Rect&) {
    auto application = application_.lock();
    if (!application || destroyed_) return;
    const RootRect rect = application->screens().space().toRoot(frame());
    if (rect == placed_) return;
    // A window that only moved keeps its pixels: the server moves them along.
    const bool resized = rect.width != placed_.width || rect.height != placed_.height;
    placed_ = rect;
    stacking_->placedAnew();
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
    painter_->resizeSurface();
    setNeedsPaint();
}

void X11Panel::windowManagerMoved(const RootRect& rect) {
    auto application = application_.lock();
    if (!application) return;
    const bool resized = rect.width != placed_.width || rect.height != placed_.height;
    placed_ = rect;
    if (resized) painter_->resizeSurface();
    const Rect global = application->screens().space().toGlobal(rect);
    if (global != frame()) windowSystemDidChangeFrame(global);
    if (resized) setNeedsPaint();
}

void X11Panel::reparentedInto(xcb_window_t parent, std::int32_t x, std::int32_t y) {
    inParent_.parent = parent;
    inParent_.rect.x = x + inParent_.border;
    inParent_.rect.y = y + inParent_.border;
    inParent_.parentOrigin.reset();
    ++inParent_.asks;
}

void X11Panel::managedConfigured(const xcb_configure_notify_event_t& configure) {
    inParent_.border = configure.border_width;
    ++inParent_.asks;
    const RootRect rect{configure.x + configure.border_width, configure.y + configure.border_width,
                        configure.width, configure.height};
    // The window manager's synthetic event (sent when it moves the frame) is in root coordinates.
    if (configure.response_type & 0x80) {
        windowManagerMoved(rect);
        return;
    }
    inParent_.rect = rect;
    inParent_.sized = true;
    placeInParent();
}

void X11Panel::parentConfigured(const xcb_configure_notify_event_t& configure) {
    inParent_.parentOrigin = {configure.x + configure.border_width,
                              configure.y + configure.border_width};
    if (!inParent_.sized) return;
    ++inParent_.asks;
    placeInParent();
}

// Where the parent's place on the root is not known (a window manager nesting the window deeper
// in its frame, or a frame not configured since we know it), the server is asked, and the latest
// answer places the window.
void X11Panel::placeInParent() {
    RootRect rect = inParent_.rect;
    if (inParent_.parent != connection_->root()) {
        if (!inParent_.parentOrigin) return askRootOrigin();
        rect.x += inParent_.parentOrigin->first;
        rect.y += inParent_.parentOrigin->second;
    }
    windowManagerMoved(rect);
}

void X11Panel::askRootOrigin() {
    const auto cookie =
        xcb_translate_coordinates(connection_->raw(), window_, connection_->root(), 0, 0);
    connection_->whenReplied<xcb_translate_coordinates_reply_t>(
        cookie, weakly(weak_from_this(), [ask = ++inParent_.asks](
                                             Panel& panel,
                                             Reply<xcb_translate_coordinates_reply_t> origin) {
            auto& self = static_cast<X11Panel&>(panel);
            if (!origin || ask != self.inParent_.asks) return;
            RootRect rect = self.inParent_.rect;
            // A frame that is a child of the root tells its moves: it is not asked about again.
            auto application = self.application_.lock();
            if (application &&
                application->clients().frameOf(self.window_) == self.inParent_.parent) {
                self.inParent_.parentOrigin = {origin->dst_x - rect.x, origin->dst_y - rect.y};
            }
            rect.x = origin->dst_x;
            rect.y = origin->dst_y;
            self.windowManagerMoved(rect);
        }));
}

// ---- Order

void X11Panel::orderFront() {
    stacking_->orderFront();
}

void X11Panel::orderOut() {
    if (destroyed_) return;
    stacking_->noteOrderedOut();
    if (isKeyWindow()) {
        if (!holdsKeyboard_ && previousFocus_ != XCB_WINDOW_NONE) {
            xcb_set_input_focus(connection_->raw(), XCB_INPUT_FOCUS_POINTER_ROOT, previousFocus_,
                                connection_->lastTime());
        }
        if (auto application = application_.lock()) application->panelResignedKey(*this);
    }
    const bool wasMapped = isMapped();
    stacking_->unmap();
    auto application = application_.lock();
    if (application && wasMapped) application->panelOrderedOut(*this);
}

bool X11Panel::orderRelative(WindowOrderingMode mode, std::uint32_t other) {
    return stacking_->orderRelative(mode, other);
}

bool X11Panel::isVisible() const {
    return stacking_->isOrderedIn();
}

bool X11Panel::isStackedByWindowManager() const {
    return stacking_->isStackedByWindowManager();
}

xcb_window_t X11Panel::stackingWindow() const {
    return stacking_->stackingWindow();
}

void X11Panel::frameConfigured(const RootRect& rect) {
    stacking_->frameConfigured(rect);
}

void X11Panel::stackingModeChanged() {
    stacking_->stackingModeChanged();
}

void X11Panel::stackingLookEnded() {
    stacking_->stackingLookEnded();
}

void X11Panel::reparented(bool toRoot) {
    stacking_->reparented(toRoot);
}

bool X11Panel::isMapped() const {
    return stacking_->isMapped();
}

void X11Panel::updateMapping() {
    stacking_->updateMapping();
}

void X11Panel::siblingRestacked(xcb_window_t sibling, xcb_window_t below) {
    stacking_->siblingRestacked(sibling, below);
}

void X11Panel::clientReframed(xcb_window_t client) {
    stacking_->clientReframed(client);
}

bool X11Panel::isRelative() const {
    return stacking_->isRelative();
}

bool X11Panel::standsInFront() const {
    return stacking_->standsInFront();
}

void X11Panel::placeAfterFailedRestack() {
    stacking_->placeAfterFailedRestack();
}

void X11Panel::keepRelation(const std::vector<xcb_window_t>& children) {
    stacking_->keepRelation(children);
}

void X11Panel::raiseToTop() {
    stacking_->raiseToTop();
}

void X11Panel::levelDidChange() {
    stacking_->levelChanged();
}

void X11Panel::setHiddenForDeactivation(bool hidden) {
    stacking_->setHiddenForDeactivation(hidden);
}

bool X11Panel::isHiddenForDeactivation() const {
    return stacking_->isHiddenForDeactivation();
}

// ---- Key status

bool X11Panel::isKeyWindow() const {
    auto application = application_.lock();
    return application && application->keyWindow().get() == this;
}

void X11Panel::makeKey() {
    auto application = application_.lock();
    if (!application || isClosed() || !canBecomeKey() || !isMapped() || isKeyWindow()) return;
    xcb_connection_t* raw = connection_->raw();
    notePreviousFocus(*application);
    if (managed_) {
        keyRequest_ =
            connection_
                ->sendToWindowManager(window_, connection_->atom(Atom::_NET_ACTIVE_WINDOW),
                                      {1, connection_->lastTime(), 0, 0, 0})
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

// Where the focus was is given back when the panel goes: the client its events last put it in,
// then exactly the window the server names (a client's inner window, or the root), asked before
// the panel takes the keys and answered long before the user closes it.
void X11Panel::notePreviousFocus(const X11Application& application) {
    if (const xcb_window_t kept = application.clients().focusedClient()) previousFocus_ = kept;
    connection_->whenReplied<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus(connection_->raw()),
        weakly(weak_from_this(),
               [ask = ++focusAsks_](Panel& panel, Reply<xcb_get_input_focus_reply_t> focus) {
                   auto& self = static_cast<X11Panel&>(panel);
                   auto application = self.application_.lock();
                   if (!focus || !application || ask != self.focusAsks_) return;
                   if (!application->isOurWindow(focus->focus)) self.previousFocus_ = focus->focus;
               }));
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
    // The compositor reads the hint anew but may show the old picture until the window is drawn
    // again: it is shown again at once.
    painter_->showAgain();
    return offered;
}

void X11Panel::showAgain() {
    painter_->showAgain();
}

bool X11Panel::needsWholePaint() const {
    return painter_->needsWholePaint();
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
    return !managed_ && !isStackedByWindowManager() && application &&
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
// as they are made or move into the root. xfwm4 leaves out every borderless window shown as it
// starts (and, taking over from itself, may list them before it is ready): it never paints one it
// missed, mapped again or not, and it takes no notice of a window restacked directly above one it
// does not know. Ours are handed to it as windows that just came into the root, the hidden ones
// too: a cross-fade shown as the window manager was replaced and hidden since would otherwise
// stay unknown, and the Focus dimming, which goes directly above it at every switch, would be
// painted over everything.
void X11Panel::introduceToCompositor() {
    if (managed_ || isStackedByWindowManager() || destroyed_) return;
    const auto request = xcb_reparent_window(connection_->raw(), window_, connection_->root(),
                                             static_cast<std::int16_t>(placed_.x),
                                             static_cast<std::int16_t>(placed_.y));
    if (auto application = application_.lock()) {
        application->clients().expectRestack(request, window_, XCB_WINDOW_NONE,
                                             XCB_STACK_MODE_ABOVE);
    }
}

void X11Panel::returnAfterIntroduction() {
    if (managed_ || isStackedByWindowManager() || destroyed_ || !isMapped()) return;
    stacking_->returnedToRoot();
    painter_->forgetBackground();
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

void X11Panel::requestAttention() {
    if (!managed_ || !isMapped()) return;
    X11SceneWindowHints::requestState(*connection_, window_, X11SceneWindowHints::kStateAdd,
                                      connection_->atom(Atom::_NET_WM_STATE_DEMANDS_ATTENTION));
}

// ---- Painting

void X11Panel::contentNeedsDisplay() {
    setNeedsPaint();
}

void X11Panel::contentNeedsDisplayInRects(const std::vector<Rect>& rects) {
    painter_->damageContent(rects);
}

void X11Panel::redrawNow() {
    paint();
}

void X11Panel::paint() {
    painter_->paint();
}

void X11Panel::damage(const RootRect& area) {
    painter_->damage(area);
}

void X11Panel::setNeedsPaint() {
    painter_->setNeedsPaint();
}

// ---- Closing

void X11Panel::closeWindow() {
    orderOut();
    painter_->releaseSurface();
    if (destroyed_) return;
    destroyed_ = true;
    xcb_destroy_window(connection_->raw(), window_);
    if (auto application = application_.lock()) application->forgetPanel(window_);
}

void X11Panel::destroyedElsewhere() {
    if (destroyed_) return;
    auto self = shared_from_this();
    destroyed_ = true;
    auto application = application_.lock();
    if (application && isKeyWindow()) application->panelResignedKey(*this);
    stacking_->noteOrderedOut();
    stacking_->unmap();
    if (application) application->forgetPanel(window_);
    close();
}

void X11Panel::releaseDrawing() {
    painter_->releaseSurface();
    setNeedsPaint();
}

void X11Panel::postNotification(const char* name) {
    if (auto application = application_.lock()) {
        application->notificationCenter().post(name, static_cast<const Panel*>(this));
    }
}

}  // namespace talvori::x11
