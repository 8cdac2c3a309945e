#include "platform/x11/X11PanelStacking.hpp"

#include <algorithm>

#include "platform/core/RunLoop.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Panel.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11SceneWindowHints.hpp"
#include "platform/x11/X11Screens.hpp"

namespace talvori::x11 {

using Phase = X11StackingLifecycle::Phase;

X11PanelStacking::X11PanelStacking(X11Panel& panel,
                                   const std::shared_ptr<X11Application>& application,
                                   xcb_window_t window)
    : panel_(panel),
      application_(application),
      connection_(application->sharedConnection()),
      window_(window) {}

bool X11PanelStacking::canShow() const {
    // Without a compositor a translucent window shows its colours over black instead of blending.
    // A mouse-transparent one (the Focus dimming, its cross-fades) would then darken the screen
    // without the user being able to click it away: such panels stay hidden.
    return connection_->hasCompositor() || panel_.isOpaque() || !panel_.ignoresMouseEvents();
}

bool X11PanelStacking::waitsForStackingLook() const {
    auto application = application_.lock();
    return application && application->holdsBackOwnStacking() && !panel_.isManaged() &&
           panel_.ignoresMouseEvents() && panel_.level() == WindowLevel::normal;
}

void X11PanelStacking::map() {
    if (mapped_ || lifecycle_.phase() == Phase::withdrawing) return;
    updateStackingKind();
    if (!lifecycle_.isStackedByWindowManager() && waitsForStackingLook()) return;
    xcb_map_window(connection_->raw(), window_);
    mapped_ = true;
    panel_.setNeedsPaint();
    if (auto application = application_.lock()) application->windowsChanged();
}

void X11PanelStacking::unmap() {
    if (!mapped_) return;
    if (!panel_.isWindowDestroyed()) xcb_unmap_window(connection_->raw(), window_);
    mapped_ = false;
    if (panel_.isPointerInside()) panel_.updateHover(std::nullopt);
    if (auto application = application_.lock()) application->windowsChanged();
}

void X11PanelStacking::updateMapping() {
    if (panel_.isClosed()) return;
    const bool show = orderedIn_ && canShow();
    if (orderedIn_ && !canShow()) {
        if (auto application = application_.lock()) application->noteMissingCompositor();
    }
    if (show && !mapped_) {
        if (auto application = application_.lock()) application->placeInLevel(panel_, true);
        map();
    } else if (!show && mapped_) {
        unmap();
    }
}

void X11PanelStacking::orderFront() {
    auto application = application_.lock();
    if (!application || panel_.isClosed()) return;
    relation_.reset();
    lifecycle_.newRelation();
    orderedIn_ = true;
    hiddenForDeactivation_ = false;
    panel_.markShown();
    if (!canShow()) {
        updateMapping();
        return;
    }
    application->placeInLevel(panel_, true);
    map();
}

void X11PanelStacking::noteOrderedOut() {
    relation_.reset();
    orderedIn_ = false;
    // Hidden on purpose, it stays hidden when the program becomes active again.
    hiddenForDeactivation_ = false;
}

bool X11PanelStacking::orderRelative(WindowOrderingMode mode, std::uint32_t other) {
    auto application = application_.lock();
    if (!application || panel_.isClosed() || other == 0 || other == window_) return false;
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
    panel_.markShown();
    const std::uint32_t stackMode =
        mode == WindowOrderingMode::above ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW;
    if (otherLevel != panel_.level()) {
        // Against another level the panel goes to the end of its own level nearest that window.
        application->placeInLevel(panel_, panel_.level() < otherLevel);
    } else if (panel_.isManaged()) {
        requestRestack(other, stackMode);
    } else {
        // A window the window manager stacks is placed once it manages it: mapped first.
        updateStackingKind();
        if (lifecycle_.isStackedByWindowManager() && canShow()) map();
        const bool again = previous && previous->sibling == sibling && previous->mode == stackMode;
        if (!again) lifecycle_.newRelation();
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

// A window manager that undoes each restack (raising its frames whenever another window moves)
// would have us restack as fast as it answers: past a few at once, restacks that keep one relation
// wait their turn.
void X11PanelStacking::restackAgainstRelation() {
    auto application = application_.lock();
    // Withdrawing, the window goes back beside its window once the window manager lets go.
    if (!relation_ || !application || lifecycle_.phase() == Phase::withdrawing ||
        !takeRestackTurn()) {
        return;
    }
    if (lifecycle_.isStackedByWindowManager()) {
        requestStackedRestack();
        lifecycle_.requestSent();
        awaitRequestAnswer();
        return;
    }
    restackSent_ =
        application->clients().restackOwn(window_, relation_->sibling, relation_->mode).sequence;
}

bool X11PanelStacking::standsInFront() const {
    if (!orderedIn_ || panel_.isManaged() || !panel_.ignoresMouseEvents() ||
        panel_.level() != WindowLevel::normal) {
        return false;
    }
    if (!relation_) return true;
    // Placed against a window that left the screen (minimised, closed, on another desktop): it
    // no longer tells what to leave clear.
    auto application = application_.lock();
    if (!application || application->panel(relation_->client)) return false;
    const auto client = application->clients().readClient(relation_->client);
    return !client || !client->isOnScreen();
}

void X11PanelStacking::restackToFront() {
    auto application = application_.lock();
    if (!application || lifecycle_.phase() == Phase::withdrawing || !takeRestackTurn()) return;
    const auto request = application->placeInLevel(panel_, true);
    if (lifecycle_.isStackedByWindowManager()) {
        // What was asked against the window that left is not waited for any longer.
        phaseWait_.clear();
        lifecycle_.requestAnswered();
    } else {
        restackSent_ = request.sequence;
    }
}

// A window manager (or a dock) that keeps its own window above ours would otherwise be answered
// at its own pace.
void X11PanelStacking::raiseToTop() {
    auto application = application_.lock();
    if (!application || !mapped_ || !takeRestackTurn()) return;
    application->clients().restackOwn(window_, XCB_WINDOW_NONE, XCB_STACK_MODE_ABOVE);
}

bool X11PanelStacking::takeRestackTurn() {
    auto application = application_.lock();
    if (!application) return false;
    const Nanoseconds now = application->loop()->now();
    if (const Nanoseconds allowed = lifecycle_.nextRestackAt(); allowed > now) {
        restackWhenAllowed(allowed);
        return false;
    }
    lifecycle_.restacked(now);
    return true;
}

void X11PanelStacking::restackWhenAllowed(Nanoseconds at) {
    auto application = application_.lock();
    if (!application || !heldRestack_.isEmpty()) return;
    const double delay = secondsFromNanoseconds(at - application->loop()->now());
    heldRestack_.replace(Timer::scheduledTimer(
        *application->loop(), delay, false,
        weakly(panel_.weak_from_this(), [this](Panel&) { restackIfDisturbed(); }),
        RunLoopMode::common));
}

void X11PanelStacking::restackIfDisturbed() {
    heldRestack_.clear();
    auto application = application_.lock();
    if (!application || !mapped_) return;
    if (!relation_ && panel_.level() > WindowLevel::normal) {
        // The levels are put right before the loop next sleeps, this panel's among them.
        application->recheckLevels();
        return;
    }
    const auto& children = application->clients().knownRootChildren();
    if (standsInFront()) {
        if (!lifecycle_.isStackedByWindowManager() && isRestackInFlight()) return;
        if (!application->hasInactiveNormalWindowAbove(panel_, children)) return;
        restackToFront();
    } else {
        if (!relation_ || isRestackInFlight() || standsInRelation(children)) return;
        restackAgainstRelation();
    }
    xcb_flush(connection_->raw());
}

// Some window managers only ever move a window down when asked to put it below another, and up
// when asked to put it above (Mutter): a panel that has the other way to go is put against the
// nearest client on the side it comes from.
void X11PanelStacking::requestStackedRestack() {
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
void X11PanelStacking::requestRestack(xcb_window_t client, std::uint32_t stackMode) {
    connection_->sendToWindowManager(window_, connection_->atom(Atom::_NET_RESTACK_WINDOW),
                                     {2, client, stackMode, 0, 0});
}

// A window manager may drop a request (one that arrives while it is busy with the window): it is
// asked again a few times while the frame does not stand where it was asked to.
void X11PanelStacking::awaitRequestAnswer() {
    auto application = application_.lock();
    if (!application) return;
    phaseWait_.replace(Timer::scheduledTimer(
        *application->loop(), X11StackingLifecycle::kRequestAnswerWait, false,
        weakly(panel_.weak_from_this(), [this](Panel&) { requestUnanswered(); }),
        RunLoopMode::common));
}

void X11PanelStacking::requestUnanswered() {
    phaseWait_.clear();
    auto application = application_.lock();
    if (!application || !relation_ || !lifecycle_.isRequestPending()) return;
    if (standsInFront() || standsInRelation(application->clients().knownRootChildren())) {
        lifecycle_.requestAnswered();
        return;
    }
    if (!lifecycle_.mayAskAgain()) return;
    requestStackedRestack();
    xcb_flush(connection_->raw());
    awaitRequestAnswer();
}

xcb_window_t X11PanelStacking::stackingWindow() const {
    if (!panel_.isManaged() && !lifecycle_.isStackedByWindowManager()) return window_;
    auto application = application_.lock();
    return application ? application->clients().frameOf(window_) : window_;
}

// Where the window manager cannot keep a window it does not manage between its own, a
// mouse-transparent panel among other programs' windows is handed to it.
bool X11PanelStacking::wantsStackingByWindowManager() const {
    auto application = application_.lock();
    return application && !panel_.isManaged() && panel_.ignoresMouseEvents() &&
           panel_.level() == WindowLevel::normal && application->stacksThroughWindowManager();
}

// Decided while the window is unmapped: the window manager looks at it when it is mapped.
void X11PanelStacking::updateStackingKind() {
    if (mapped_ || panel_.isManaged() || panel_.isWindowDestroyed()) return;
    if (lifecycle_.stackBy(wantsStackingByWindowManager())) applyStackingKind();
}

void X11PanelStacking::applyStackingKind() {
    phaseWait_.clear();
    if (panel_.isWindowDestroyed()) return;
    const bool byManager = lifecycle_.isStackedByWindowManager();
    configureToPlaced();
    const std::uint32_t overrideRedirect[] = {byManager ? 0U : 1U};
    xcb_change_window_attributes(connection_->raw(), window_, XCB_CW_OVERRIDE_REDIRECT,
                                 overrideRedirect);
    if (byManager) X11SceneWindowHints::applyStacked(*connection_, window_, panel_.placed());
    // Who fades the window, by its opacity or in its pixels, depends on who stacks it.
    panel_.writeOpacity();
    panel_.setNeedsPaint();
}

// A window manager that stacks the panel may also place it as it likes: on one monitor, or off the
// desktop's panels. The panel must cover what it was asked to cover, so the frame asked for is
// asserted again each time the window manager moves it, a few times per placement at most so that
// a window manager that insists is not fought forever.
void X11PanelStacking::frameConfigured(const RootRect& rect) {
    if (lifecycle_.phase() != Phase::managed) return;
    if (rect == panel_.placed()) {
        lifecycle_.frameInPlace();
        return;
    }
    if (askFullScreen() || !lifecycle_.mayReassertFrame()) return;
    // Full-screen where it covered only one monitor: given up, as it holds the frame in place.
    if (lifecycle_.isFullScreenAsked()) sendFullScreen(X11SceneWindowHints::kStateRemove);
    configureToPlaced();
    xcb_flush(connection_->raw());
}

// A window as large as the screen is moved off the desktop's panels by some window managers (KWin
// does); full-screen, it covers them, and stays below them while it does not have the focus.
// Others keep docks below full-screen windows (Mutter): it is asked only of those that moved it.
// Full-screen covers one monitor only: with more, the frame is asserted instead.
bool X11PanelStacking::askFullScreen() {
    if (lifecycle_.isFullScreenAsked()) return false;
    const xcb_screen_t& screen = connection_->screen();
    if (panel_.placed() != RootRect{0, 0, screen.width_in_pixels, screen.height_in_pixels})
        return false;
    auto application = application_.lock();
    if (!application || application->screens().screens().size() > 1) return false;
    lifecycle_.noteFullScreenAsked();
    sendFullScreen(X11SceneWindowHints::kStateAdd);
    return true;
}

void X11PanelStacking::sendFullScreen(std::uint32_t action) {
    X11SceneWindowHints::requestState(*connection_, window_, action,
                                      connection_->atom(Atom::_NET_WM_STATE_FULLSCREEN),
                                      XCB_ATOM_NONE, 2);
}

// Sent whoever holds the window: a window manager that let go of it leaves it where it had put it.
void X11PanelStacking::configureToPlaced() {
    const std::uint32_t values[] = {static_cast<std::uint32_t>(panel_.placed().x),
                                    static_cast<std::uint32_t>(panel_.placed().y),
                                    panel_.placed().width, panel_.placed().height};
    xcb_configure_window(connection_->raw(), window_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
}

void X11PanelStacking::stackingModeChanged() {
    if (!mapped_ || panel_.isManaged() ||
        wantsStackingByWindowManager() == lifecycle_.isStackedByWindowManager()) {
        return;
    }
    const bool leavesWindowManager = lifecycle_.phase() == Phase::managed;
    const auto relation = relation_;
    unmap();
    relation_ = relation;
    if (leavesWindowManager && !fetchIsTopLevel()) {
        // Mapped again only once the window manager has let go of it: mapped inside its frame,
        // the window would stay hidden when the frame goes.
        lifecycle_.beginWithdrawal();
        announceWithdrawal();
        // A window manager that never gives it back does not keep it hidden. The wait belongs to
        // this withdrawal alone: one of an earlier withdrawal, ended by the window manager, would
        // show the window while it is still framed.
        if (auto application = application_.lock()) {
            phaseWait_.replace(Timer::scheduledTimer(
                *application->loop(), X11StackingLifecycle::kWithdrawalWait, false,
                weakly(panel_.weak_from_this(), [this](Panel&) { withdrawalWaitRanOut(); }),
                RunLoopMode::common));
        }
        return;
    }
    showInNewStackingMode();
}

void X11PanelStacking::withdrawalWaitRanOut() {
    phaseWait_.clear();
    if (!lifecycle_.withdrawalWaitRanOut()) return;
    applyStackingKind();
    showInNewStackingMode();
}

void X11PanelStacking::showInNewStackingMode() {
    if (!orderedIn_ || !canShow()) return;
    const auto relation = relation_;
    map();
    relation_ = relation;
    restackAgainstRelation();
    xcb_flush(connection_->raw());
}

void X11PanelStacking::stackingLookEnded() {
    if (mapped_ || lifecycle_.phase() == Phase::withdrawing || !orderedIn_ || panel_.isClosed() ||
        !canShow()) {
        return;
    }
    map();
    if (!mapped_) return;
    if (relation_) {
        restackAgainstRelation();
    } else if (auto application = application_.lock()) {
        application->placeInLevel(panel_, true);
    }
    xcb_flush(connection_->raw());
}

// A frame the window's own events told of holds it still, or its release is on its way and
// ends the withdrawal. Only where they tell of none is the server asked: a window manager may
// have framed it already, which its events have not told yet.
bool X11PanelStacking::fetchIsTopLevel() {
    if (panel_.parentWindow() != connection_->root()) return false;
    xcb_connection_t* raw = connection_->raw();
    auto tree = waitReply(xcb_query_tree_reply, raw, xcb_query_tree(raw, window_));
    return !tree || tree->parent == tree->root;
}

// ICCCM: a client withdrawing its window tells the window manager with a synthetic unmap.
void X11PanelStacking::announceWithdrawal() {
    xcb_unmap_notify_event_t notice{};
    notice.response_type = XCB_UNMAP_NOTIFY;
    notice.event = connection_->root();
    notice.window = window_;
    xcb_send_event(connection_->raw(), 0, connection_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&notice));
    xcb_flush(connection_->raw());
}

void X11PanelStacking::reparented(bool toRoot) {
    if (!toRoot) return;
    switch (lifecycle_.letGo()) {
        case Phase::withdrawing:
            applyStackingKind();
            showInNewStackingMode();
            break;
        case Phase::shownInFrame:
            // Let go of later than it was waited for: the window came back to the root hidden.
            unmap();
            showInNewStackingMode();
            break;
        case Phase::atRoot:
        case Phase::managed:
            break;
    }
}

// The order the events told does not show our latest restack until its own event is read; a
// restack that changed nothing sends none, but then the order shows the panel in place already.
bool X11PanelStacking::isRestackInFlight() const {
    // The window manager's answer to a request is the frame's own restack.
    if (lifecycle_.isStackedByWindowManager()) return lifecycle_.isRequestPending();
    return restackSent_ && precedesRequest(connection_->lastEventSequence(), *restackSent_);
}

// Window managers put windows of their own that show nothing (icewm's stacking markers) next to
// the windows they manage: only another client's frame coming between moves the panel back.
bool X11PanelStacking::standsInRelation(const std::vector<xcb_window_t>& children) const {
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
void X11PanelStacking::siblingRestacked(xcb_window_t sibling, xcb_window_t below) {
    if (sibling == window_) lifecycle_.restackSeen();
    if (lifecycle_.isStackedByWindowManager()) {
        // The window manager keeps the order of the windows it manages: it has done what was
        // asked once the frame stands where it should (until then it is asked again a few times).
        auto application = application_.lock();
        if (application && sibling == stackingWindow() &&
            standsInRelation(application->clients().knownRootChildren())) {
            lifecycle_.requestAnswered();
        }
        return;
    }
    if (!relation_ || relation_->sibling != sibling || !mapped_ || standsInFront()) return;
    const bool moved = relation_->siblingBelow != below;
    relation_->siblingBelow = below;
    // Directly below it still: nothing to do.
    if (relation_->mode == XCB_STACK_MODE_BELOW && below == window_) return;
    if (moved) restackAgainstRelation();
}

void X11PanelStacking::clientReframed(xcb_window_t client) {
    if (!relation_ || relation_->client != client) return;
    auto application = application_.lock();
    if (!application) return;
    const xcb_window_t frame = application->clients().frameOf(client);
    if (frame == XCB_WINDOW_NONE || relation_->sibling == frame) return;
    standAgainst(frame);
    if (mapped_) restackAgainstRelation();
}

void X11PanelStacking::standAgainstCurrentFrame() {
    auto application = application_.lock();
    const xcb_window_t frame = application ? application->clients().frameOf(relation_->client)
                                           : xcb_window_t{XCB_WINDOW_NONE};
    standAgainst(frame == XCB_WINDOW_NONE ? relation_->sibling : frame);
}

// Another frame is not the window manager undoing our restacks: it gets its few at once again.
void X11PanelStacking::standAgainst(xcb_window_t frame) {
    if (relation_->sibling != frame) lifecycle_.newRelation();
    relation_->sibling = frame;
    relation_->siblingBelow.reset();
}

// Where the failed request left the panel may be where a compositor that started meanwhile thinks
// it stands: the panel is moved, so that the compositor hears of its place from the events.
// A window that is not a child of the root, whatever we believe, fails every restack against one:
// placed again only a few times until a restack of it is seen to work, so that the failures do
// not answer each other for ever.
void X11PanelStacking::placeAfterFailedRestack() {
    if (!relation_ || !mapped_ || panel_.isManaged() || !lifecycle_.mayRetryFailedRestack()) return;
    standAgainstCurrentFrame();
    const bool below = relation_->mode == XCB_STACK_MODE_BELOW;
    if (auto application = application_.lock()) {
        application->clients().restackOwn(window_, relation_->sibling,
                                          below ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW);
    }
    restackAgainstRelation();
    xcb_flush(connection_->raw());
}

// The window came back at the top of the root's children; the window it stood against may have
// been framed anew by a window manager that came meanwhile.
void X11PanelStacking::returnedToRoot() {
    if (relation_) {
        standAgainstCurrentFrame();
        restackAgainstRelation();
    } else if (auto application = application_.lock()) {
        application->placeInLevel(panel_, true);
    }
}

void X11PanelStacking::keepRelation(const std::vector<xcb_window_t>& children) {
    if (!mapped_) return;
    if (standsInFront()) {
        auto application = application_.lock();
        // A request the window manager has not answered concerned the window that left.
        const bool inFlight = !lifecycle_.isStackedByWindowManager() && isRestackInFlight();
        if (application && !inFlight &&
            application->hasInactiveNormalWindowAbove(panel_, children)) {
            restackToFront();
        }
        return;
    }
    if (!relation_) return;
    const bool listed =
        std::find(children.begin(), children.end(), stackingWindow()) != children.end() &&
        std::find(children.begin(), children.end(), relation_->sibling) != children.end();
    if (listed && !standsInRelation(children) && !isRestackInFlight()) restackAgainstRelation();
}

void X11PanelStacking::levelChanged() {
    relation_.reset();
    if (!mapped_) return;
    if (auto application = application_.lock()) application->placeInLevel(panel_, true);
}

void X11PanelStacking::setHiddenForDeactivation(bool hidden) {
    if (hidden) {
        panel_.orderOut();
        hiddenForDeactivation_ = true;
    } else if (hiddenForDeactivation_) {
        panel_.orderFront();
    }
}

}  // namespace talvori::x11
