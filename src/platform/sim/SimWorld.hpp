#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/NotificationCenter.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/desktop/Color.hpp"
#include "platform/desktop/Screen.hpp"
#include "platform/sim/SimProcess.hpp"
#include "platform/sim/SimTiming.hpp"
#include "platform/sim/SimWindow.hpp"

namespace talvori {
struct Image;
}

namespace talvori::sim {

class SimAXObserver;
class SimPanel;

// The simulated session: processes, their windows in one global stacking order, the screens,
// focus and activation. Tests drive it as the user and the other applications would; the services
// of the simulated desktop read it. Deterministic: no real time, no randomness, stable orders.
class SimWorld : public std::enable_shared_from_this<SimWorld> {
  public:
    static constexpr std::int32_t kOwnPID = 700;
    static constexpr std::int32_t kWindowServerPID = 88;
    static constexpr std::int32_t kDockPID = 89;
    static constexpr const char* kOwnBundleIdentifier = "org.talvori.Talvori";
    static constexpr double kMenuBarHeight = 24;

    SimWorld(std::shared_ptr<RunLoop> loop, NotificationCenter& center);
    ~SimWorld();
    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;

    RunLoop& loop() const { return *loop_; }
    const std::shared_ptr<RunLoop>& sharedLoop() const { return loop_; }
    NotificationCenter& notificationCenter() const { return center_; }
    double now() const;
    SimTiming& timing() { return timing_; }

    // ---- Screens
    // Replaces the screens (the first one's bottom-left corner is the origin); each visible frame
    // is its frame less the menu bar. Posts the screen-change notification on the next turn.
    void setScreens(const std::vector<Rect>& frames, bool notify = true);
    void setScreenList(std::vector<Screen> screens, bool notify = true);
    const std::vector<Screen>& screens() const { return screens_; }
    double primaryHeight() const;
    // The screen sharing the largest area with `frame`.
    std::optional<Screen> screenFor(const Rect& frame) const;
    // Adds the menu bar and the desktop picture of each screen as system windows.
    void addSystemWindows();

    // ---- Processes
    // A running application, in launch order, not activated.
    std::int32_t launchApplication(std::optional<std::string> localizedName,
                                   std::optional<std::string> bundleIdentifier = std::nullopt,
                                   ActivationPolicy policy = ActivationPolicy::regular);
    // Removes the application and its windows; when it was in front, the application activated
    // before it comes to the front.
    void quitApplication(std::int32_t pid);
    // Gives the application an icon (none: takes it away).
    void setApplicationIcon(std::int32_t pid, std::shared_ptr<const Image> icon);
    // An application icon for tests and pictures: a rounded square of `color` with a white dot.
    static std::shared_ptr<const Image> sampleIcon(const Color& color);
    SimProcess* process(std::int32_t pid);
    const SimProcess* process(std::int32_t pid) const;
    // In launch order, ours and the system's included.
    std::vector<const SimProcess*> processes() const;

    // ---- Other applications' windows
    struct WindowOptions {
        int level = 0;
        // Opens behind the application's other windows instead of in front of its level.
        bool behind = false;
        bool isDesktopElement = false;
        double alpha = 1;
    };
    // Opens an on-screen window (frame in the global space) that becomes its application's focused
    // window (behind: only when it has none). In the focused application that is a focus change.
    std::uint32_t openWindow(std::int32_t pid, std::string title, const Rect& frame,
                             WindowOptions options);
    std::uint32_t openWindow(std::int32_t pid, std::string title, const Rect& frame) {
        return openWindow(pid, std::move(title), frame, WindowOptions{});
    }
    void closeWindow(std::uint32_t number);
    void moveWindow(std::uint32_t number, const Point& origin);
    void resizeWindow(std::uint32_t number, const Size& size);
    // Minimise or restore: off screen keeps the window but takes it out of the stacking order.
    void setWindowOnScreen(std::uint32_t number, bool onScreen);
    SimWindow* window(std::uint32_t number);
    const SimWindow* window(std::uint32_t number) const;

    // ---- Focus and activation (see SimTiming for the order of the parts)
    // As a click on the window: it takes its application's focus and rises; its application
    // activates when it was not in front.
    void focusWindow(std::uint32_t number);
    // Activates the application: all its windows rise, its focused window on top.
    void activateApplication(std::int32_t pid);
    // The workspace's frontmost application.
    std::optional<std::int32_t> frontmostPID() const { return frontmostPID_; }
    // The Accessibility system-wide focused application; equal to the frontmost one unless a delay
    // runs or a test overrides it.
    std::optional<std::int32_t> accessibilityFocusedPID() const;
    void overrideAccessibilityFocusedPID(std::optional<std::int32_t> pid);

    // ---- Stacking
    // On-screen windows, front to back: by level, then order.
    const std::vector<std::uint32_t>& stack() const { return stack_; }
    // Windows ordered out or minimised, by number.
    std::vector<std::uint32_t> offScreenWindows() const;
    // Position in the stack, or -1 when off screen.
    int stackIndex(std::uint32_t number) const;
    std::int32_t ownerPID(std::uint32_t number) const;
    Rect frameOf(const SimWindow& window) const;
    double alphaOf(const SimWindow& window) const;
    std::string titleOf(const SimWindow& window) const;
    std::shared_ptr<SimPanel> panelOf(const SimWindow& window) const;
    // The frontmost window under `point` that takes mouse events (skipping mouse-transparent
    // panels); 0 for none.
    std::uint32_t windowAt(const Point& point) const;

    // ---- Our own windows (used by SimPanel and the services)
    std::uint32_t registerPanel(const std::weak_ptr<SimPanel>& panel, int level);
    std::uint32_t registerStatusItemWindow(const Rect& frame);
    void unregisterWindow(std::uint32_t number);
    void orderFront(std::uint32_t number);
    void orderOut(std::uint32_t number);
    bool orderRelative(std::uint32_t number, int mode, std::uint32_t other);
    void levelChanged(std::uint32_t number, int level);
    void ourWindowChanged();
    std::uint32_t keyWindowNumber() const { return keyWindow_; }
    std::shared_ptr<SimPanel> keyPanel() const;
    void setKeyWindow(std::uint32_t number);

    // Whether the window server offers background blur for our windows.
    bool isBackgroundBlurAvailable() const { return blurAvailable_.peek(); }
    void setBackgroundBlurAvailable(bool available) { blurAvailable_.set(available); }
    const Observable<bool>& backgroundBlur() const { return blurAvailable_; }
    // A desktop whose blur ignores the radius asked for (it blurs at a strength of its own).
    bool blursAtItsOwnStrength() const { return blurOfItsOwnStrength_; }
    void setBlursAtItsOwnStrength(bool own) { blurOfItsOwnStrength_ = own; }
    // Whether a compositing manager blends our translucent windows. The screen picture blends
    // them either way; the backend's answer is what the program reads.
    const Observable<bool>& compositing() const { return compositing_; }
    void setCompositing(bool compositing) { compositing_.set(compositing); }

    // ---- Accessibility observers
    // The user's trust in our process; without it every read and observer fails.
    bool isAccessibilityTrusted() const { return trusted_; }
    void setAccessibilityTrusted(bool trusted) { trusted_ = trusted; }
    void addObserver(const std::shared_ptr<SimAXObserver>& observer);
    // Tells observers of `pid` about `window`, after the Accessibility delay.
    void emitAccessibility(std::int32_t pid, const char* notification, std::uint32_t window);
    // Which element the focus notifications ("AXFocusedWindowChanged", "AXMainWindowChanged")
    // carry: the window that gained focus, or the application it belongs to. Desktops differ.
    enum class FocusNotificationElement { window, application };
    void setFocusNotificationElement(FocusNotificationElement element) {
        focusNotificationElement_ = element;
    }

    // ---- Hooks of the other services
    // Called (coalesced, on the next turn) when windows moved, appeared or vanished.
    void setOnWindowsChanged(std::function<void()> hook) { onWindowsChanged_ = std::move(hook); }
    // Called at once when the screens change.
    void setOnScreensChanged(std::function<void()> hook) { onScreensChanged_ = std::move(hook); }
    // Runs `work` after `seconds`, or at once for 0.
    void afterDelay(double seconds, std::function<void()> work);

    // ---- The event log: one line per thing that happened, stamped with the virtual time.
    void log(const std::string& line);
    const std::vector<std::string>& eventLog() const { return log_; }
    // Long runs (benchmarks) switch the log off.
    void setEventLogEnabled(bool enabled) { logEnabled_ = enabled; }

  private:
    std::uint32_t addWindow(SimWindow window);
    void raise(std::uint32_t number);
    void insertFrontOfLevel(std::uint32_t number);
    void insertBackOfLevel(std::uint32_t number);
    void removeFromStack(std::uint32_t number);
    int levelOf(std::uint32_t number) const;
    void changeFocus(std::int32_t pid, std::uint32_t window, bool activating);
    void raiseApplication(std::int32_t pid, std::uint32_t focused, bool activating);
    void makeFrontmost(std::int32_t pid);
    bool risesOnActivation(std::uint32_t number) const;
    void hidePanelsOnDeactivation();
    void showPanelsHiddenOnDeactivation();
    std::uint32_t frontWindowOf(std::int32_t pid) const;
    void windowsChanged();
    std::vector<std::uint32_t> windowsOf(std::int32_t pid) const;

    std::shared_ptr<RunLoop> loop_;
    NotificationCenter& center_;
    SimTiming timing_;
    std::vector<Screen> screens_;
    std::map<std::int32_t, SimProcess> processes_;
    std::vector<std::int32_t> launchOrder_;
    std::vector<std::int32_t> activationHistory_;
    std::int32_t nextPID_ = 1001;
    std::map<std::uint32_t, SimWindow> windows_;
    std::uint32_t nextWindowNumber_ = 1;
    std::vector<std::uint32_t> stack_;
    std::optional<std::int32_t> frontmostPID_;
    std::optional<std::int32_t> accessibilityFocusedPID_;
    std::optional<std::int32_t> accessibilityOverride_;
    std::uint32_t keyWindow_ = 0;
    Observable<bool> blurAvailable_{true};
    bool blurOfItsOwnStrength_ = false;
    Observable<bool> compositing_{true};
    bool trusted_ = true;
    std::vector<std::weak_ptr<SimAXObserver>> observers_;
    std::vector<std::weak_ptr<SimPanel>> hiddenOnDeactivation_;
    FocusNotificationElement focusNotificationElement_ = FocusNotificationElement::window;
    std::function<void()> onWindowsChanged_;
    std::function<void()> onScreensChanged_;
    bool windowsChangePending_ = false;
    std::vector<std::string> log_;
    bool logEnabled_ = true;
};

}  // namespace talvori::sim
