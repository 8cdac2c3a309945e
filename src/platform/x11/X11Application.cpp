#include "platform/x11/X11Application.hpp"

#include <xcb/xfixes.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/SceneWindows.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11OpacityProbe.hpp"
#include "platform/x11/X11Panel.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11SceneWindowHints.hpp"
#include "platform/x11/X11Screens.hpp"
#include "platform/x11/X11StackingProbe.hpp"

namespace talvori::x11 {

X11Application::X11Application(std::shared_ptr<X11Connection> connection,
                               std::shared_ptr<X11Screens> screens,
                               std::shared_ptr<X11ClientWindows> clients,
                               std::shared_ptr<RunLoop> loop, NotificationCenter& center,
                               Logger log)
    : connection_(std::move(connection)),
      screens_(std::move(screens)),
      clients_(std::move(clients)),
      loop_(std::move(loop)),
      center_(center),
      log_(std::move(log)),
      compositing_(connection_->hasCompositor()) {}

X11Application::~X11Application() = default;

// ---- Policy, activation and life

// There is no dock icon or menu bar to hide. A window with a title bar (Settings, the first-run
// window) is one of the user's windows on this desktop whatever the policy: it has its entry in
// the task bar and the pager, as every program's windows do.
void X11Application::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
}

void X11Application::activate() {
    for (const auto& window : windows()) {
        auto panel = std::static_pointer_cast<X11Panel>(window);
        if (panel->isManaged() && panel->isMapped()) {
            panel->makeKey();
            return;
        }
    }
    // Override-redirect panels cannot be activated: with no scene window there is nothing to do.
}

int X11Application::requestUserAttention(bool) {
    // X has no critical or informational request, only a window that wants attention.
    for (const auto& panel : livePanels()) {
        if (panel->isManaged()) panel->requestAttention();
    }
    return ++attentionRequests_;
}

void X11Application::terminate() {
    if (terminated_) return;
    terminated_ = true;
    log_.log("Terminating");
    if (onTerminate_) onTerminate_();
}

void X11Application::setDelegate(std::weak_ptr<ApplicationDelegate> delegate) {
    delegate_ = std::move(delegate);
}

void X11Application::finishLaunching() {
    loop_->post(weakly(delegate_, &ApplicationDelegate::applicationDidFinishLaunching));
}

void X11Application::reopen() {
    loop_->post(weakly(delegate_, &ApplicationDelegate::applicationShouldHandleReopen));
}

// ---- Windows

std::shared_ptr<Panel> X11Application::makePanel(const Rect& contentRect, unsigned styleMask) {
    auto panel = X11Panel::make(shared_from_this(), contentRect, styleMask);
    panels_[panel->window()] = panel;
    return panel;
}

std::shared_ptr<X11Panel> X11Application::panel(xcb_window_t window) const {
    const auto found = panels_.find(window);
    return found == panels_.end() ? nullptr : found->second.lock();
}

std::shared_ptr<X11Panel> X11Application::panelTakingMouseAt(xcb_window_t window) const {
    auto found = panel(window);
    return found && !found->ignoresMouseEvents() && found->isMapped() ? found : nullptr;
}

void X11Application::forgetPanel(xcb_window_t window) {
    panels_.erase(window);
    needsPaint_.erase(window);
}

std::vector<std::shared_ptr<X11Panel>> X11Application::livePanels() const {
    std::vector<std::shared_ptr<X11Panel>> live;
    // Asked several times a switch: one allocation, no copies as it grows.
    live.reserve(panels_.size());
    for (const auto& [window, weak] : panels_) {
        if (auto panel = weak.lock(); panel && !panel->isClosed()) live.push_back(panel);
    }
    return live;
}

void X11Application::setStacksThroughWindowManager(bool through) {
    if (stacksThroughManager_ == through) return;
    stacksThroughManager_ = through;
    log_.log(through ? "The window manager keeps its windows above ours: the Focus panel is one it "
                       "manages"
                     : "Our own windows stand between the window manager's");
    for (const auto& panel : livePanels()) panel->stackingModeChanged();
}

std::shared_ptr<Panel> X11Application::keyWindow() const {
    return keyPanel_.lock();
}

std::vector<std::shared_ptr<Panel>> X11Application::windows() const {
    auto live = livePanels();
    // Where the expected order cannot be told (the kept one is being read again), the kept one is
    // near enough for a list, and right again a moment later.
    const auto children = clients_->expectedRootChildren().value_or(clients_->knownRootChildren());
    auto rank = [&](const std::shared_ptr<X11Panel>& panel) {
        const xcb_window_t stacked = panel->stackingWindow();
        const auto found = std::find(children.begin(), children.end(), stacked);
        const long index = found == children.end() ? -1 : found - children.begin();
        // Front to back; windows off screen after them.
        return std::make_pair(panel->isMapped() ? 0 : 1, -index);
    };
    std::stable_sort(live.begin(), live.end(),
                     [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
    return {live.begin(), live.end()};
}

xcb_void_cookie_t X11Application::placeInLevel(X11Panel& panel, bool top) {
    const xcb_window_t self = panel.stackingWindow();
    const auto children = clients_->fetchExpectedRootChildren();
    xcb_window_t sibling = XCB_WINDOW_NONE;
    std::uint32_t mode = top ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW;
    if (top) {
        std::optional<std::size_t> higher;
        for (std::size_t index = 0; index < children.size() && !higher; ++index) {
            const xcb_window_t child = children[index];
            const auto level = levelOf(child);
            if (child != self && level && isOurWindow(child) && *level > panel.level()) {
                higher = index;
            }
        }
        if (higher) {
            sibling = children[*higher];
            mode = XCB_STACK_MODE_BELOW;
        }
        if (panel.level() == WindowLevel::normal) {
            const auto floor = topNormalWindow(children, self);
            if (!higher || (floor && *floor < *higher)) {
                sibling = floor ? children[*floor] : xcb_window_t{XCB_WINDOW_NONE};
                mode = floor ? std::uint32_t{XCB_STACK_MODE_ABOVE}
                             : std::uint32_t{XCB_STACK_MODE_BELOW};
            }
        }
    } else {
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (*it == self) continue;
            if (const auto level = levelOf(*it); level && *level < panel.level()) {
                sibling = *it;
                mode = XCB_STACK_MODE_ABOVE;
                break;
            }
        }
    }
    if (panel.isManaged() || panel.isStackedByWindowManager()) {
        const std::uint32_t values[] = {mode};
        return xcb_configure_window(connection_->raw(), panel.window(),
                                    XCB_CONFIG_WINDOW_STACK_MODE, values);
    }
    return clients_->restackOwn(panel.window(), sibling, mode);
}

// Other programs' windows count as normal windows.
std::optional<int> X11Application::levelOf(xcb_window_t window) const {
    if (auto ours = panel(window)) {
        if (!ours->isMapped() || ours->isManaged() || ours->isStackedByWindowManager()) {
            return std::nullopt;
        }
        return ours->level();
    }
    return 0;
}

// The desktop's own panels (task bars, trays, whether listed as docks or not), the window
// manager's own windows and other programs' menus stand above every normal window: a normal
// window of ours put in front goes directly above the top one of the normal windows (ours, and
// other programs' managed ones that are not docks), so that what dims or covers the screen leaves
// them clear. None: nothing normal is on screen.
std::optional<std::size_t> X11Application::topNormalWindow(
    const std::vector<xcb_window_t>& children, xcb_window_t self) const {
    // Windows of ours the window manager frames (the look at how it stacks) show nothing.
    const xcb_setup_t* setup = xcb_get_setup(connection_->raw());
    const auto isOwn = [setup](xcb_window_t window) {
        return (window & ~setup->resource_id_mask) == setup->resource_id_base;
    };
    const auto isNormalClient = [&](xcb_window_t child) {
        const xcb_window_t client = clients_->clientIn(child);
        if (client == XCB_WINDOW_NONE || isOwn(client)) return false;
        const auto kept = clients_->readClient(client);
        return kept && !kept->isDock;
    };
    for (std::size_t index = children.size(); index-- > 0;) {
        const xcb_window_t child = children[index];
        if (child == self) continue;
        const auto level = isOurWindow(child) ? levelOf(child) : std::nullopt;
        if ((level && *level <= WindowLevel::normal) || isNormalClient(child)) return index;
    }
    return std::nullopt;
}

bool X11Application::hasInactiveNormalWindowAbove(const X11Panel& panel,
                                                  const std::vector<xcb_window_t>& children) const {
    const xcb_window_t self = panel.stackingWindow();
    const auto place = std::find(children.begin(), children.end(), self);
    if (place == children.end()) return false;
    const auto index = static_cast<std::size_t>(place - children.begin());
    const auto top = topNormalWindow(children, self);
    if (!top || *top < index) return false;
    const xcb_window_t active = clients_->activeWindow();
    const xcb_window_t activeFrame =
        active == XCB_WINDOW_NONE ? xcb_window_t{XCB_WINDOW_NONE} : clients_->frameOf(active);
    return activeFrame == XCB_WINDOW_NONE ||
           std::find(place, children.end(), activeFrame) == children.end();
}

// Window managers raise the windows they manage to the very top: panels of a raised level must
// come back above them, and panels placed against a window must come back beside it, or in front
// of the normal windows where they stand there.
void X11Application::enforceLevels() {
    levelsDisturbed_ = false;
    const auto live = livePanels();
    const bool needed = std::any_of(live.begin(), live.end(), [](const auto& ours) {
        return ours->isMapped() && !ours->isManaged() &&
               (ours->level() > 0 || ours->isRelative() || ours->standsInFront());
    });
    if (!needed) return;
    // Run after the events that disturbed the order were read: what they told is enough.
    const auto children = clients_->knownRootChildren();
    // Panels placed against another window go back to it if other windows came between.
    for (const auto& ours : live) ours->keepRelation(children);
    std::vector<std::pair<std::size_t, std::shared_ptr<X11Panel>>> raised;
    std::optional<std::size_t> topForeign;
    for (std::size_t index = 0; index < children.size(); ++index) {
        auto ours = panel(children[index]);
        if (!ours) {
            topForeign = index;
        } else if (ours->isMapped() && !ours->isManaged() && ours->level() > 0) {
            raised.emplace_back(index, ours);
        }
    }
    if (raised.empty() || !topForeign) return;
    bool inOrder = raised.front().first > *topForeign;
    for (std::size_t index = 1; inOrder && index < raised.size(); ++index) {
        inOrder = raised[index - 1].second->level() <= raised[index].second->level();
    }
    if (inOrder) return;
    std::stable_sort(raised.begin(), raised.end(), [](const auto& a, const auto& b) {
        return a.second->level() < b.second->level();
    });
    for (const auto& [index, ours] : raised) ours->raiseToTop();
}

void X11Application::setNeedsPaint(const std::shared_ptr<X11Panel>& panel) {
    needsPaint_[panel->window()] = panel;
}

void X11Application::holdPainting(double seconds) {
    paintingHeldUntil_ =
        std::max(paintingHeldUntil_, loop_->now() + nanosecondsFromSeconds(seconds));
    // The loop wakes when the hold ends, whatever else it waits for.
    loop_->runAfter(seconds, [] {});
}

void X11Application::beforeFlush() {
    if (!needsPaint_.empty() && loop_->now() >= paintingHeldUntil_) {
        if (scenes_) {
            scenes_->fitToContent(
                [&](const Panel& window) { return needsPaint_.contains(window.windowNumber()); });
        }
        auto pending = std::move(needsPaint_);
        needsPaint_.clear();
        std::vector<std::shared_ptr<X11Panel>> drawnWhole;
        for (const auto& [window, weak] : pending) {
            auto panel = weak.lock();
            if (!panel) continue;
            if (panel->needsWholePaint()) drawnWhole.push_back(panel);
            panel->paint();
        }
        for (const auto& panel : drawnWhole) showBlurringPanelsUnder({panel->frame()}, panel.get());
    }
    if (levelsDisturbed_) enforceLevels();
}

// A compositor that blurs behind windows (KWin) blurs the part of the screen it draws again from
// what it drew last around that part, our windows above included: a window of ours that appears,
// changes its size or goes over a blurring one would leave a patch blurred unlike the rest. The
// compositor is made to draw the blurring window whole. A change of content only is left alone:
// it does not change what shows through the window's translucent edges.
void X11Application::showBlurringPanelsUnder(const std::vector<Rect>& areas,
                                             const X11Panel* changed) {
    if (!blursBehind_.peek()) return;
    for (const auto& panel : livePanels()) {
        if (panel.get() == changed || !panel->asksForBlur() || !panel->isMapped()) continue;
        const bool shares = std::any_of(areas.begin(), areas.end(), [&](const Rect& area) {
            return area.intersects(panel->frame());
        });
        if (shares) panel->showAgain();
    }
}

// The compositor may animate a window out, and then draws again only where it was: that is shown
// again once more when the animation is over.
void X11Application::panelOrderedOut(X11Panel& panel) {
    if (!blursBehind_.peek()) return;
    const Rect area = panel.frame();
    showBlurringPanelsUnder({area}, &panel);
    loop_->runAfter(kCompositorCloseAnimation,
                    weakly(weak_from_this(), [area](X11Application& self) {
                        self.showBlurringPanelsUnder({area}, nullptr);
                    }));
}

void X11Application::noteMissingCompositor() {
    if (missingCompositorNoted_) return;
    missingCompositorNoted_ = true;
    log_.error(
        "No compositing manager runs: translucent windows cannot blend. Focus dimming and "
        "other mouse-transparent translucent panels stay hidden; covers show opaque.");
}

void X11Application::compositorChanged() {
    compositing_.set(connection_->hasCompositor());
    readBlurOffer();
    for (const auto& panel : livePanels()) {
        panel->updateMapping();
        panel->setNeedsDisplay();
    }
    probeOpacity();
    probeStacking();
}

void X11Application::probeOpacity() {
    if (!opacityProbe_) {
        opacityProbe_ = std::make_shared<X11OpacityProbe>(
            connection_, loop_, weakly(weak_from_this(), [](X11Application& self) {
                for (const auto& panel : self.livePanels()) {
                    panel->fadeModeChanged();
                }
            }));
    }
    opacityProbe_->start();
}

void X11Application::clientReframed(xcb_window_t client) {
    for (const auto& ours : livePanels()) ours->clientReframed(client);
}

void X11Application::probeStacking() {
    if (!stackingProbe_) {
        stackingProbe_ = std::make_shared<X11StackingProbe>(
            connection_, loop_,
            weakly(std::weak_ptr<X11ClientWindows>(clients_), &X11ClientWindows::frameOf,
                   xcb_window_t{XCB_WINDOW_NONE}),
            weakly(weak_from_this(), [](X11Application& self, bool between) {
                if (self.connection_->hasCompositor()) {
                    self.compositedStacksThroughManager_ = !between;
                    self.introducePanelsToCompositor();
                }
                self.setStacksThroughWindowManager(!between);
                if (!std::exchange(self.stackingTold_, true)) {
                    for (const auto& panel : self.livePanels()) panel->stackingLookEnded();
                }
            }));
    }
    // Without a compositor the server's order is what shows: the answer is known at once.
    if (connection_->hasCompositor())
        setStacksThroughWindowManager(compositedStacksThroughManager_);
    stackingProbe_->start();
}

bool X11Application::isProbingStacking() const {
    return stackingProbe_ && stackingProbe_->isLooking();
}

void X11Application::watchManagers() {
    xcb_connection_t* raw = connection_->raw();
    auto owner =
        waitReply(xcb_get_selection_owner_reply, raw,
                  xcb_get_selection_owner(raw, connection_->atom(Atom::compositorSelection)));
    compositorOwner_ = owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
    if (!connection_->hasXfixes()) return;
    const std::string name = "WM_S" + std::to_string(connection_->screenNumber());
    auto atom =
        waitReply(xcb_intern_atom_reply, raw,
                  xcb_intern_atom(raw, 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
    if (!atom) return;
    managerSelection_ = atom->atom;
    xcb_xfixes_select_selection_input(raw, connection_->root(), managerSelection_,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
}

void X11Application::selectionOwnerChanged(const xcb_xfixes_selection_notify_event_t& notify) {
    if (notify.selection == connection_->atom(Atom::compositorSelection)) {
        const xcb_window_t previous = std::exchange(compositorOwner_, notify.owner);
        if (notify.owner == XCB_WINDOW_NONE || notify.owner == previous) return;
        // Looked at when the connection tells of the new owner, once for the events read
        // together and a few times a second at most: two compositors taking the screen from each
        // other would otherwise start a look (and its windows) for every change.
        compositorIsNew_ = true;
    } else if (managerSelection_ != XCB_ATOM_NONE && notify.selection == managerSelection_) {
        probeStacking();
    }
}

// Once the stacking probe's windows show, the compositor paints windows new to it.
void X11Application::introducePanelsToCompositor() {
    if (!std::exchange(compositorIsNew_, false)) return;
    const auto panels = livePanels();
    for (const auto& panel : panels) panel->introduceToCompositor();
    for (const auto& panel : panels) panel->returnAfterIntroduction();
}

// A compositor that blurs behind windows on request says so in the window manager's list of
// hints, or (KWin, while its blur effect is on) by the hint's own property on the root.
void X11Application::readBlurOffer() {
    xcb_connection_t* raw = connection_->raw();
    const xcb_window_t root = connection_->root();
    const xcb_atom_t hint = connection_->atom(Atom::_KDE_NET_WM_BLUR_BEHIND_REGION);
    const auto supportedCookie =
        requestProperty(raw, root, connection_->atom(Atom::_NET_SUPPORTED));
    const auto announced = propertyReply(raw, requestProperty(raw, root, hint, 0));
    const auto supported = propertyReply(raw, supportedCookie);
    const auto atoms = supported ? supported->cardinals() : std::vector<std::uint32_t>{};
    // A hint left behind by a compositor that ended blurs nothing.
    setBlursBehindWindows(
        connection_->hasCompositor() &&
        (announced.has_value() || std::find(atoms.begin(), atoms.end(), hint) != atoms.end()));
}

void X11Application::setBlursBehindWindows(bool blurs) {
    if (!blursBehind_.set(blurs)) return;
    log_.log(blurs ? "The compositor blurs behind windows that ask for it"
                   : "The compositor does not blur behind windows");
    for (const auto& panel : livePanels()) panel->blurOfferChanged();
}

bool X11Application::compositorFadesByOpacity() const {
    return opacityProbe_ && opacityProbe_->isHonoured();
}

// ---- Key and active state

void X11Application::panelBecameKey(X11Panel& panel) {
    auto current = keyPanel_.lock();
    if (current.get() == &panel) return;
    keyPanel_ = std::static_pointer_cast<X11Panel>(panel.shared_from_this());
    if (current) current->keyStatusChanged(false);
    panel.keyStatusChanged(true);
    updateActive();
}

void X11Application::panelResignedKey(X11Panel& panel) {
    if (keyPanel_.lock().get() != &panel) return;
    keyPanel_.reset();
    panel.keyStatusChanged(false);
    giveKeysBack(panel);
    updateActive();
}

// A panel that held the keyboard over one of our windows (the status panel over Settings) leaves
// the keys with that window, which kept the focus all along.
void X11Application::giveKeysBack(const X11Panel& holder) {
    if ((holder.styleMask() & StyleMask::nonactivatingPanel) == 0) return;
    auto back = panel(focusedWindow_ != XCB_WINDOW_NONE ? focusedWindow_ : activeWindow_);
    if (!back || back.get() == &holder || back->isClosed() || !back->isMapped() ||
        !back->canBecomeKey()) {
        return;
    }
    panelBecameKey(*back);
}

void X11Application::updateActive() {
    setActive(keyPanel_.lock() != nullptr || isOurWindow(activeWindow_));
}

void X11Application::setActive(bool active) {
    if (active_ == active) return;
    active_ = active;
    // Panels that hide while another application is in front.
    for (const auto& panel : livePanels()) {
        if (panel->isManaged() || !panel->hidesOnDeactivate()) continue;
        if (!active && panel->isVisible()) {
            panel->setHiddenForDeactivation(true);
        } else if (active && panel->isHiddenForDeactivation()) {
            panel->setHiddenForDeactivation(false);
        }
    }
    const char* name = active ? kDidBecomeActiveNotification : kDidResignActiveNotification;
    loop_->post(weakly(weak_from_this(),
                       [name](X11Application& self) { self.center_.post(name, nullptr); }));
}

// ---- Events

void X11Application::subscribe(X11EventRouter& router) {
    router.on<&X11Application::exposed>(XCB_EXPOSE, *this);
    router.on<&X11Application::configureNotified>(XCB_CONFIGURE_NOTIFY, *this);
    router.on<&X11Application::reparentNotified>(XCB_REPARENT_NOTIFY, *this);
    router.on<&X11Application::mapNotified>(XCB_MAP_NOTIFY, *this);
    router.on<&X11Application::unmapNotified>(XCB_UNMAP_NOTIFY, *this);
    router.on<&X11Application::destroyNotified>(XCB_DESTROY_NOTIFY, *this);
    router.on<&X11Application::focusedIn>(XCB_FOCUS_IN, *this);
    router.on<&X11Application::focusedOut>(XCB_FOCUS_OUT, *this);
    router.on<&X11Application::clientMessageReceived>(XCB_CLIENT_MESSAGE, *this);
    if (connection_->hasXfixes()) {
        router.on<&X11Application::selectionOwnerChanged>(
            connection_->xfixesFirstEvent() + XCB_XFIXES_SELECTION_NOTIFY, *this);
    }
    for (const Atom name : {Atom::_NET_SUPPORTING_WM_CHECK, Atom::_KDE_NET_WM_BLUR_BEHIND_REGION,
                            Atom::_NET_SUPPORTED}) {
        router.onProperty<&X11Application::rootPropertyChanged>(connection_->atom(name), *this);
    }
    connection_->setOnRequestError(weakly(weak_from_this(), &X11Application::requestFailed));
}

// A restack naming a window that stopped being a child of the root (a window manager framed it
// meanwhile) fails: the panels placed against other windows are placed again.
void X11Application::requestFailed(const xcb_generic_error_t& error) {
    if (error.error_code != XCB_MATCH || error.major_code != XCB_CONFIGURE_WINDOW) return;
    for (const auto& ours : livePanels()) ours->placeAfterFailedRestack();
}

void X11Application::exposed(const xcb_expose_event_t& expose) {
    if (auto found = panel(expose.window)) {
        found->damage({expose.x, expose.y, expose.width, expose.height});
    }
}

void X11Application::configureNotified(const xcb_configure_notify_event_t& configure) {
    // The screen changed size: no window moved.
    if (configure.window == connection_->root()) return;
    if (configure.event == connection_->root()) {
        for (const auto& ours : livePanels()) {
            ours->siblingRestacked(configure.window, configure.above_sibling);
            if (ours->isManaged() && configure.window == ours->parentWindow()) {
                ours->parentConfigured(configure);
            }
            if (ours->isStackedByWindowManager() && configure.window == ours->stackingWindow()) {
                ours->frameConfigured(
                    {configure.x, configure.y, configure.width, configure.height});
            }
        }
    }
    if (configure.event == connection_->root() && !isOurWindow(configure.window)) {
        levelsDisturbed_ = true;
        return;
    }
    auto found = panel(configure.window);
    if (found && found->isManaged() && configure.event == configure.window) {
        found->managedConfigured(configure);
    }
}

void X11Application::reparentNotified(const xcb_reparent_notify_event_t& reparent) {
    if (reparent.event == reparent.window) {
        if (auto ours = panel(reparent.window)) {
            ours->reparentedInto(reparent.parent, reparent.x, reparent.y);
        }
        return;
    }
    if (reparent.event != connection_->root()) return;
    if (auto ours = panel(reparent.window)) {
        ours->reparented(reparent.parent == connection_->root());
        return;
    }
    clientReframed(reparent.window);
}

void X11Application::mapNotified(const xcb_map_notify_event_t& map) {
    if (map.event == connection_->root() && !isOurWindow(map.window)) levelsDisturbed_ = true;
}

// A window a panel stood against may have left the screen.
void X11Application::unmapNotified(const xcb_unmap_notify_event_t& unmap) {
    if (unmap.event == connection_->root() && !isOurWindow(unmap.window)) levelsDisturbed_ = true;
}

// Our own closes forget the window before destroying it: one still known was destroyed by
// another program.
void X11Application::destroyNotified(const xcb_destroy_notify_event_t& destroy) {
    if (destroy.event != destroy.window) return;
    auto ours = panel(destroy.window);
    if (!ours) return;
    ours->destroyedElsewhere();
    // Drawing into it meanwhile may have left what draws every window broken.
    const auto live = livePanels();
    for (const auto& panel : live) panel->releaseDrawing();
    connection_->renewCairoDevice();
    connection_->excuseGoneWindowErrors();
}

// Another window manager took over: it may stack differently.
void X11Application::rootPropertyChanged(const xcb_property_notify_event_t& notify) {
    if (notify.window != connection_->root()) return;
    if (notify.atom == connection_->atom(Atom::_NET_SUPPORTING_WM_CHECK)) probeStacking();
    // The blur effect can be switched on and off while the desktop runs.
    if (notify.atom == connection_->atom(Atom::_KDE_NET_WM_BLUR_BEHIND_REGION) ||
        notify.atom == connection_->atom(Atom::_NET_SUPPORTED)) {
        readBlurOffer();
    }
}

void X11Application::activeWindowChanged() {
    activeWindow_ = clients_->activeWindow();
    updateActive();
}

void X11Application::focusedIn(const xcb_focus_in_event_t& focus) {
    focusChanged(focus, true);
}

void X11Application::focusedOut(const xcb_focus_out_event_t& focus) {
    focusChanged(focus, false);
}

void X11Application::focusChanged(const xcb_focus_in_event_t& focus, bool in) {
    if (focus.mode == XCB_NOTIFY_MODE_GRAB || focus.mode == XCB_NOTIFY_MODE_UNGRAB) return;
    if (focus.detail == XCB_NOTIFY_DETAIL_POINTER || focus.detail == XCB_NOTIFY_DETAIL_INFERIOR) {
        return;
    }
    auto found = panel(focus.event);
    if (!found) return;
    if (in) {
        focusedWindow_ = focus.event;
    } else if (focusedWindow_ == focus.event) {
        focusedWindow_ = XCB_WINDOW_NONE;
    }
    if (in) {
        // A hidden panel cannot have the keyboard: the focus came to an earlier showing.
        if (found->canBecomeKey() && !found->isClosed() && found->isMapped()) {
            panelBecameKey(*found);
        }
    } else if (!found->predatesKeyRequest(connection_->lastEventSequence())) {
        // The focus loss of an earlier showing can come after the panel was shown and made key
        // again (a menu reopened at once): that loss is over already.
        panelResignedKey(*found);
    }
}

void X11Application::clientMessageReceived(const xcb_client_message_event_t& message) {
    if (X11SceneWindowHints::answerPing(*connection_, message)) return;
    if (message.format != 32 || message.type != connection_->atom(Atom::WM_PROTOCOLS)) return;
    if (message.data.data32[0] != connection_->atom(Atom::WM_DELETE_WINDOW)) return;
    // The user closed a scene window with its close button.
    if (auto found = panel(message.window)) found->close();
}

// ---- Scenes

SceneWindows& X11Application::scenes() {
    if (!scenes_) {
        SceneWindows::Desktop desktop;
        desktop.screens = [screens = screens_] { return screens->screens(); };
        desktop.delegate = [this] { return delegate_.lock(); };
        desktop.prepare = [connection = connection_](Panel& window, const SceneDescription& scene) {
            X11SceneWindowHints::setDarkFrame(*connection, window.windowNumber(),
                                              scene.appearance == Appearance::dark);
        };
        scenes_ = SceneWindows::make(*this, center_, *loop_, std::move(desktop));
    }
    return *scenes_;
}

void X11Application::registerScene(SceneDescription scene) {
    scenes().registerScene(std::move(scene));
}

void X11Application::openWindow(const std::string& sceneIdentifier) {
    const auto window = scenes().open(sceneIdentifier);
    if (!window) {
        log_.error("No scene %{public}s to open", sceneIdentifier);
        return;
    }
    window->orderFront();
    window->makeKey();
}

void X11Application::dismissWindow(const std::string& sceneIdentifier) {
    if (const auto window = scenes().lastWindow(sceneIdentifier)) window->close();
}

std::shared_ptr<Panel> X11Application::sceneWindow(const std::string& sceneIdentifier) const {
    return scenes_ ? scenes_->window(sceneIdentifier) : nullptr;
}

}  // namespace talvori::x11
