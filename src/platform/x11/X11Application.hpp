#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/core/Logger.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/desktop/Application.hpp"

struct xcb_xfixes_selection_notify_event_t;

namespace talvori {
class RunLoop;
class SceneWindows;
}  // namespace talvori

namespace talvori::x11 {

class X11EventRouter;

class X11ClientWindows;
class X11Connection;
class X11OpacityProbe;
class X11StackingProbe;
class X11Panel;
class X11Screens;

// Our application on the X server: its windows (kept by window id, stacked by level), its scenes,
// key and active state, and its life.
class X11Application final : public Application,
                             public std::enable_shared_from_this<X11Application> {
  public:
    X11Application(std::shared_ptr<X11Connection> connection, std::shared_ptr<X11Screens> screens,
                   std::shared_ptr<X11ClientWindows> clients, std::shared_ptr<RunLoop> loop,
                   NotificationCenter& center, Logger log);
    ~X11Application() override;

    ActivationPolicy activationPolicy() const override { return policy_; }
    void setActivationPolicy(ActivationPolicy policy) override;
    bool isActive() const override { return active_; }
    void activate() override;
    int requestUserAttention(bool critical) override;
    void terminate() override;
    // Whether terminate() ran (the connection's end terminates too).
    bool isTerminated() const { return terminated_; }
    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) override;
    void finishLaunching() override;
    void reopen() override;
    std::shared_ptr<Panel> makePanel(const Rect& contentRect, unsigned styleMask) override;
    std::shared_ptr<Panel> keyWindow() const override;
    std::vector<std::shared_ptr<Panel>> windows() const override;
    void registerScene(SceneDescription scene) override;
    void openWindow(const std::string& sceneIdentifier) override;
    void dismissWindow(const std::string& sceneIdentifier) override;
    std::shared_ptr<Panel> sceneWindow(const std::string& sceneIdentifier) const override;
    const Observable<bool>& isCompositing() const override { return compositing_; }
    const Observable<bool>& blursBehindWindows() const override { return blursBehind_; }
    // The blur-behind hint names a region only: the compositor chooses how much it blurs.
    bool blursAtItsOwnStrength() const override { return true; }

    // ---- For the panels and the other services
    X11Connection& connection() const { return *connection_; }
    const std::shared_ptr<X11Connection>& sharedConnection() const { return connection_; }
    X11Screens& screens() const { return *screens_; }
    X11ClientWindows& clients() const { return *clients_; }
    const std::shared_ptr<RunLoop>& loop() const { return loop_; }
    NotificationCenter& notificationCenter() const { return center_; }
    const Logger& log() const { return log_; }

    std::shared_ptr<X11Panel> panel(xcb_window_t window) const;
    bool isOurWindow(xcb_window_t window) const { return panels_.contains(window); }
    // The window under the pointer that is ours and takes mouse events, if any.
    std::shared_ptr<X11Panel> panelTakingMouseAt(xcb_window_t window) const;
    void forgetPanel(xcb_window_t window);
    // Paints `panel` before the loop next sleeps.
    // How long a compositor may take to animate a window out (KWin's closing fade).
    static constexpr double kCompositorCloseAnimation = 0.6;
    void setNeedsPaint(const std::shared_ptr<X11Panel>& panel);
    // No panel is painted for `seconds` from now; what waits is painted then.
    void holdPainting(double seconds);
    // The panel left the screen: what blurs under it is shown again.
    void panelOrderedOut(X11Panel& panel);
    // Puts `panel` at the top (or bottom) of its level among the windows on screen. The
    // desktop's own panels count as above the normal level.
    // The request that restacks it.
    xcb_void_cookie_t placeInLevel(X11Panel& panel, bool top);
    // Whether another program's normal window that is not the active one stands above `panel`
    // among the root's children (bottom to top): one mapped without taking the focus, say. While
    // a window is active and above it, none counts: that one came up on purpose.
    bool hasInactiveNormalWindowAbove(const X11Panel& panel,
                                      const std::vector<xcb_window_t>& children) const;
    // Key status, as makeKey or the server's focus events move it.
    void panelBecameKey(X11Panel& panel);
    void panelResignedKey(X11Panel& panel);
    void giveKeysBack(const X11Panel& holder);
    // Says once in the log that translucent windows cannot blend without a compositor.
    void noteMissingCompositor();

    // A compositor came or went: translucent panels may show or hide, and blur may come or go.
    void compositorChanged();
    // Looks whether the compositor fades windows by their opacity property (again).
    void probeOpacity();
    // Looks whether the window manager keeps our own windows between its (again).
    void probeStacking();
    // Whether that look is still going on: the stacking chosen so far may yet change.
    bool isProbingStacking() const;
    // Follows who manages the screen's windows (ICCCM) and who composites it: the stacking is
    // looked at again when a window manager comes, goes or is replaced (even one that names
    // itself late or never), and a compositor new to our windows is shown them.
    void watchManagers();
    // Whether our borderless panels fade by the opacity property rather than by drawing.
    bool compositorFadesByOpacity() const;
    // Reads (again) whether the compositor blurs behind windows that ask for it.
    void readBlurOffer();
    // Whether mouse-transparent panels among other programs' windows must be windows the window
    // manager manages: it paints, or puts, any window it does not manage above its own.
    bool stacksThroughWindowManager() const { return stacksThroughManager_; }
    // Until the first look has told how the window manager stacks, a panel we would stack
    // ourselves among other programs' windows is not shown: some compositors paint such a window
    // above every other (KWin), which would dim the very window the user works in.
    bool holdsBackOwnStacking() const { return !stackingTold_ && !stacksThroughManager_; }
    // Hands such panels to the window manager, or takes them back: what a look found (or what a
    // caller that knows the desktop better says).
    void setStacksThroughWindowManager(bool through);

    // Work before the loop sleeps: paints and puts raised panels back above other windows.
    void beforeFlush();
    void subscribe(X11EventRouter& router);
    // Another window became the active one: we may have become active or stopped being so.
    void activeWindowChanged();
    // Called when one of our windows reached the screen or left it (the accessibility bus
    // follows which windows show).
    void setOnWindowsChange(std::function<void()> handler) {
        onWindowsChange_ = std::move(handler);
    }
    void windowsChanged() const {
        if (onWindowsChange_) onWindowsChange_();
    }
    // A client now stands in another frame: the panels kept against it follow.
    void clientReframed(xcb_window_t client);
    // Clients newly read may stand above panels kept in front of the normal windows.
    void clientsKept() { recheckLevels(); }
    // Panels of raised levels, and panels placed against other windows, are put right again
    // before the loop next sleeps.
    void recheckLevels() { levelsDisturbed_ = true; }
    // Ends the run loop; called on terminate() and when the server goes away.
    void setOnTerminate(std::function<void()> handler) { onTerminate_ = std::move(handler); }

  private:
    std::optional<int> levelOf(xcb_window_t window) const;
    // Where among the root's children (bottom to top) the top normal window stands.
    std::optional<std::size_t> topNormalWindow(const std::vector<xcb_window_t>& children,
                                               xcb_window_t self) const;
    // Made on first use, once the application is owned.
    SceneWindows& scenes();
    void updateActive();
    void setActive(bool active);
    void enforceLevels();
    std::vector<std::shared_ptr<X11Panel>> livePanels() const;
    void exposed(const xcb_expose_event_t& expose);
    void configureNotified(const xcb_configure_notify_event_t& configure);
    void reparentNotified(const xcb_reparent_notify_event_t& reparent);
    void mapNotified(const xcb_map_notify_event_t& map);
    void unmapNotified(const xcb_unmap_notify_event_t& unmap);
    void destroyNotified(const xcb_destroy_notify_event_t& destroy);
    void focusedIn(const xcb_focus_in_event_t& focus);
    void focusedOut(const xcb_focus_out_event_t& focus);
    // FocusIn and FocusOut share one layout.
    void focusChanged(const xcb_focus_in_event_t& focus, bool in);
    void clientMessageReceived(const xcb_client_message_event_t& message);
    void selectionOwnerChanged(const xcb_xfixes_selection_notify_event_t& notify);
    void rootPropertyChanged(const xcb_property_notify_event_t& notify);
    void introducePanelsToCompositor();
    void requestFailed(const xcb_generic_error_t& error);
    void setBlursBehindWindows(bool blurs);
    // Has the compositor draw again, whole, the blurring panels other than `changed` that share a
    // part of the screen with one of `areas`.
    void showBlurringPanelsUnder(const std::vector<Rect>& areas, const X11Panel* changed);

    std::shared_ptr<X11Connection> connection_;
    std::shared_ptr<X11Screens> screens_;
    std::shared_ptr<X11ClientWindows> clients_;
    std::shared_ptr<RunLoop> loop_;
    NotificationCenter& center_;
    Logger log_;
    std::weak_ptr<ApplicationDelegate> delegate_;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    bool active_ = false;
    bool terminated_ = false;
    bool missingCompositorNoted_ = false;
    Observable<bool> compositing_;
    Observable<bool> blursBehind_{false};
    bool levelsDisturbed_ = false;
    bool stacksThroughManager_ = false;
    bool stackingTold_ = false;
    // What the last look with a compositor found: a compositor that comes back (or another
    // window manager's) is taken to stack as that one did until a look tells.
    bool compositedStacksThroughManager_ = false;
    int attentionRequests_ = 0;
    xcb_window_t activeWindow_ = XCB_WINDOW_NONE;
    // Which of our windows has the server's keyboard focus: a grab leaves it where it is, and the
    // window manager may name the active window only later.
    xcb_window_t focusedWindow_ = XCB_WINDOW_NONE;
    xcb_atom_t managerSelection_ = XCB_ATOM_NONE;
    xcb_window_t compositorOwner_ = XCB_WINDOW_NONE;
    // A compositor took the screen since our windows were last shown to one.
    bool compositorIsNew_ = false;
    std::map<xcb_window_t, std::weak_ptr<X11Panel>> panels_;
    std::map<xcb_window_t, std::weak_ptr<X11Panel>> needsPaint_;
    Nanoseconds paintingHeldUntil_ = 0;
    std::weak_ptr<X11Panel> keyPanel_;
    std::shared_ptr<SceneWindows> scenes_;
    std::shared_ptr<X11OpacityProbe> opacityProbe_;
    std::shared_ptr<X11StackingProbe> stackingProbe_;
    std::function<void()> onTerminate_;
    std::function<void()> onWindowsChange_;
};

}  // namespace talvori::x11
