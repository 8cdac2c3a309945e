#include "platform/sim/SimWorld.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "platform/core/weakly.hpp"
#include "platform/desktop/AXElement.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/Image.hpp"
#include "platform/desktop/Screens.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/desktop/Workspace.hpp"
#include "platform/sim/SimAXObserver.hpp"
#include "platform/sim/SimPanel.hpp"

namespace talvori::sim {

SimWorld::SimWorld(std::shared_ptr<RunLoop> loop, NotificationCenter& center)
    : loop_(std::move(loop)), center_(center) {
    SimProcess own;
    own.pid = kOwnPID;
    own.bundleIdentifier = kOwnBundleIdentifier;
    own.localizedName = "Talvori";
    own.activationPolicy = ActivationPolicy::accessory;
    processes_[kOwnPID] = own;
    launchOrder_.push_back(kOwnPID);
}

SimWorld::~SimWorld() = default;

double SimWorld::now() const {
    return secondsFromNanoseconds(loop_->now());
}

void SimWorld::log(const std::string& line) {
    if (!logEnabled_) return;
    log_.push_back(fmt::format("{:.3f} {}", now(), line));
}

void SimWorld::afterDelay(double seconds, std::function<void()> work) {
    if (seconds <= 0) {
        work();
        return;
    }
    loop_->runAfter(seconds, std::move(work));
}

// ---- Screens

void SimWorld::setScreens(const std::vector<Rect>& frames, bool notify) {
    std::vector<Screen> screens;
    std::uint32_t identifier = 1;
    for (const Rect& frame : frames) {
        Rect visible = frame;
        visible.size.height = std::max(0.0, frame.height() - kMenuBarHeight);
        screens.push_back({identifier++, frame, visible});
    }
    setScreenList(std::move(screens), notify);
}

void SimWorld::setScreenList(std::vector<Screen> screens, bool notify) {
    screens_ = std::move(screens);
    log(fmt::format("screens changed: {}", screens_.size()));
    if (onScreensChanged_) onScreensChanged_();
    windowsChanged();
    if (!notify) return;
    std::weak_ptr<SimWorld> weak = weak_from_this();
    loop_->post(weakly(weak, [](SimWorld& self) {
        self.center_.post(Screens::kDidChangeParametersNotification, nullptr);
    }));
}

double SimWorld::primaryHeight() const {
    return screens_.empty() ? 0.0 : screens_.front().frame.height();
}

std::optional<Screen> SimWorld::screenFor(const Rect& frame) const {
    std::optional<Screen> best;
    double bestArea = 0;
    for (const Screen& screen : screens_) {
        const Rect overlap = screen.frame.intersection(frame);
        const double area = overlap.isEmpty() ? 0.0 : overlap.width() * overlap.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

void SimWorld::addSystemWindows() {
    for (std::int32_t pid : {kWindowServerPID, kDockPID}) {
        if (processes_.count(pid)) continue;
        SimProcess system;
        system.pid = pid;
        system.localizedName = pid == kDockPID ? "Dock" : "Window Server";
        system.isSystem = true;
        system.activationPolicy = ActivationPolicy::prohibited;
        processes_[pid] = system;
        launchOrder_.push_back(pid);
    }
    for (const Screen& screen : screens_) {
        const Rect& frame = screen.frame;
        openWindow(kWindowServerPID, "Menubar",
                   {frame.minX(), frame.maxY() - kMenuBarHeight, frame.width(), kMenuBarHeight},
                   {WindowLevel::mainMenu, false, false, 1});
        openWindow(kDockPID, "Desktop Picture", frame, {WindowLevel::desktop, false, true, 1});
    }
}

// ---- Processes

std::int32_t SimWorld::launchApplication(std::optional<std::string> localizedName,
                                         std::optional<std::string> bundleIdentifier,
                                         ActivationPolicy policy) {
    SimProcess process;
    process.pid = nextPID_++;
    process.localizedName = std::move(localizedName);
    process.bundleIdentifier = std::move(bundleIdentifier);
    process.activationPolicy = policy;
    processes_[process.pid] = process;
    launchOrder_.push_back(process.pid);
    log(fmt::format("launch pid {} {}", process.pid, process.localizedName.value_or("?")));
    return process.pid;
}

void SimWorld::setApplicationIcon(std::int32_t pid, std::shared_ptr<const Image> icon) {
    if (SimProcess* target = process(pid)) target->icon = std::move(icon);
}

std::shared_ptr<const Image> SimWorld::sampleIcon(const Color& color) {
    return std::make_shared<const Image>(
        Image{{32, 32}, false, [color](cairo_t* cr, Size size) {
                  const double radius = size.width * 0.22;
                  cairo_new_sub_path(cr);
                  cairo_arc(cr, size.width - radius, radius, radius, -M_PI / 2, 0);
                  cairo_arc(cr, size.width - radius, size.height - radius, radius, 0, M_PI / 2);
                  cairo_arc(cr, radius, size.height - radius, radius, M_PI / 2, M_PI);
                  cairo_arc(cr, radius, radius, radius, M_PI, 3 * M_PI / 2);
                  cairo_close_path(cr);
                  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
                  cairo_fill(cr);
                  cairo_arc(cr, size.width / 2, size.height / 2, size.width * 0.18, 0, 2 * M_PI);
                  cairo_set_source_rgb(cr, 1, 1, 1);
                  cairo_fill(cr);
              }});
}

void SimWorld::quitApplication(std::int32_t pid) {
    if (pid == kOwnPID || !processes_.count(pid)) return;
    for (std::uint32_t number : windowsOf(pid)) closeWindow(number);
    processes_.erase(pid);
    std::erase(launchOrder_, pid);
    std::erase(activationHistory_, pid);
    log(fmt::format("quit pid {}", pid));
    if (accessibilityFocusedPID_ == pid) accessibilityFocusedPID_.reset();
    if (frontmostPID_ == pid) {
        frontmostPID_.reset();
        if (!activationHistory_.empty()) activateApplication(activationHistory_.back());
    }
}

SimProcess* SimWorld::process(std::int32_t pid) {
    auto found = processes_.find(pid);
    return found == processes_.end() ? nullptr : &found->second;
}

const SimProcess* SimWorld::process(std::int32_t pid) const {
    auto found = processes_.find(pid);
    return found == processes_.end() ? nullptr : &found->second;
}

std::vector<const SimProcess*> SimWorld::processes() const {
    std::vector<const SimProcess*> result;
    for (std::int32_t pid : launchOrder_) result.push_back(&processes_.at(pid));
    return result;
}

// ---- Windows

std::uint32_t SimWorld::addWindow(SimWindow window) {
    window.number = nextWindowNumber_++;
    const std::uint32_t number = window.number;
    windows_[number] = std::move(window);
    return number;
}

std::uint32_t SimWorld::openWindow(std::int32_t pid, std::string title, const Rect& frame,
                                   WindowOptions options) {
    SimProcess* owner = process(pid);
    if (!owner || pid == kOwnPID) return 0;
    SimWindow window;
    window.ownerPID = pid;
    window.title = std::move(title);
    window.frame = frame;
    window.level = options.level;
    window.alpha = options.alpha;
    window.isDesktopElement = options.isDesktopElement;
    window.isOnScreen = true;
    const std::uint32_t number = addWindow(std::move(window));
    if (options.behind) {
        insertBackOfLevel(number);
    } else {
        insertFrontOfLevel(number);
    }
    log(fmt::format("open window {} pid {}", number, pid));
    if (!owner->isSystem) {
        if (accessibilityFocusedPID() == pid && !options.behind) {
            changeFocus(pid, number, false);
        } else if (!options.behind || owner->focusedWindow == 0) {
            owner->focusedWindow = number;
        }
    }
    windowsChanged();
    return number;
}

void SimWorld::closeWindow(std::uint32_t number) {
    auto found = windows_.find(number);
    if (found == windows_.end() || found->second.panel.lock()) return;
    const std::int32_t pid = found->second.ownerPID;
    removeFromStack(number);
    windows_.erase(found);
    log(fmt::format("close window {}", number));
    emitAccessibility(pid, AXNotification::elementDestroyed, number);
    SimProcess* owner = process(pid);
    if (owner && owner->focusedWindow == number) {
        owner->focusedWindow = frontWindowOf(pid);
        if (owner->focusedWindow != 0 && accessibilityFocusedPID() == pid) {
            emitAccessibility(pid, AXNotification::focusedWindowChanged, owner->focusedWindow);
            emitAccessibility(pid, AXNotification::mainWindowChanged, owner->focusedWindow);
        }
    }
    windowsChanged();
}

void SimWorld::moveWindow(std::uint32_t number, const Point& origin) {
    SimWindow* target = window(number);
    if (!target || target->panel.lock() || target->frame.origin == origin) return;
    target->frame.origin = origin;
    log(fmt::format("move window {} to {},{}", number, origin.x, origin.y));
    emitAccessibility(target->ownerPID, AXNotification::moved, number);
    windowsChanged();
}

void SimWorld::resizeWindow(std::uint32_t number, const Size& size) {
    SimWindow* target = window(number);
    if (!target || target->panel.lock() || target->frame.size == size) return;
    target->frame.size = size;
    log(fmt::format("resize window {} to {}x{}", number, size.width, size.height));
    emitAccessibility(target->ownerPID, AXNotification::resized, number);
    windowsChanged();
}

void SimWorld::setWindowOnScreen(std::uint32_t number, bool onScreen) {
    SimWindow* target = window(number);
    if (!target || target->panel.lock() || target->isOnScreen == onScreen) return;
    target->isOnScreen = onScreen;
    if (onScreen) {
        insertFrontOfLevel(number);
    } else {
        removeFromStack(number);
        SimProcess* owner = process(target->ownerPID);
        if (owner && owner->focusedWindow == number)
            owner->focusedWindow = frontWindowOf(owner->pid);
    }
    windowsChanged();
}

SimWindow* SimWorld::window(std::uint32_t number) {
    auto found = windows_.find(number);
    return found == windows_.end() ? nullptr : &found->second;
}

const SimWindow* SimWorld::window(std::uint32_t number) const {
    auto found = windows_.find(number);
    return found == windows_.end() ? nullptr : &found->second;
}

std::vector<std::uint32_t> SimWorld::windowsOf(std::int32_t pid) const {
    std::vector<std::uint32_t> result;
    for (std::uint32_t number : stack_) {
        if (windows_.at(number).ownerPID == pid) result.push_back(number);
    }
    for (const auto& [number, window] : windows_) {
        if (window.ownerPID == pid && !window.isOnScreen) result.push_back(number);
    }
    return result;
}

std::uint32_t SimWorld::frontWindowOf(std::int32_t pid) const {
    for (std::uint32_t number : stack_) {
        const SimWindow& candidate = windows_.at(number);
        if (candidate.ownerPID == pid && !candidate.isStatusItem) return number;
    }
    return 0;
}

// ---- Focus and activation

void SimWorld::focusWindow(std::uint32_t number) {
    const SimWindow* target = window(number);
    if (!target || !target->isOnScreen) return;
    const SimProcess* owner = process(target->ownerPID);
    if (!owner || owner->isSystem || target->panel.lock() || target->isStatusItem) return;
    changeFocus(owner->pid, number, frontmostPID_ != owner->pid);
}

void SimWorld::activateApplication(std::int32_t pid) {
    SimProcess* target = process(pid);
    if (!target || target->isSystem) return;
    std::uint32_t focused = pid == kOwnPID ? keyWindow_ : target->focusedWindow;
    if (focused == 0 && pid != kOwnPID) focused = frontWindowOf(pid);
    changeFocus(pid, focused, true);
}

std::optional<std::int32_t> SimWorld::accessibilityFocusedPID() const {
    if (accessibilityOverride_) return accessibilityOverride_;
    return accessibilityFocusedPID_;
}

void SimWorld::overrideAccessibilityFocusedPID(std::optional<std::int32_t> pid) {
    accessibilityOverride_ = pid;
}

void SimWorld::changeFocus(std::int32_t pid, std::uint32_t focused, bool activating) {
    SimProcess* target = process(pid);
    if (!target) return;
    const bool focusMoved = accessibilityFocusedPID_ != pid || target->focusedWindow != focused;
    target->focusedWindow = focused;
    accessibilityFocusedPID_ = pid;
    log(fmt::format("focus pid {} window {}", pid, focused));
    if (pid != kOwnPID) setKeyWindow(0);
    if (focused != 0 && focusMoved) {
        emitAccessibility(pid, AXNotification::focusedWindowChanged, focused);
        emitAccessibility(pid, AXNotification::mainWindowChanged, focused);
    }
    std::weak_ptr<SimWorld> weak = weak_from_this();
    afterDelay(timing_.windowListReorderDelay,
               weakly(weak, [pid, focused, activating](SimWorld& self) {
                   self.raiseApplication(pid, focused, activating);
               }));
    if (activating || frontmostPID_ != pid) {
        afterDelay(timing_.activationNotificationDelay,
                   weakly(weak, [pid](SimWorld& self) { self.makeFrontmost(pid); }));
    }
}

void SimWorld::raiseApplication(std::int32_t pid, std::uint32_t focused, bool activating) {
    if (!process(pid)) return;
    if (activating) {
        // Back to front, so that the application's windows keep their order among themselves.
        auto own = windowsOf(pid);
        for (auto it = own.rbegin(); it != own.rend(); ++it) {
            if (risesOnActivation(*it)) insertFrontOfLevel(*it);
        }
    }
    if (risesOnActivation(focused)) insertFrontOfLevel(focused);
    log(fmt::format("raise pid {} window {}", pid, focused));
    windowsChanged();
}

void SimWorld::hidePanelsOnDeactivation() {
    const auto onScreen = stack_;
    for (std::uint32_t number : onScreen) {
        auto panel = windows_.at(number).panel.lock();
        if (!panel || !panel->hidesOnDeactivate()) continue;
        hiddenOnDeactivation_.push_back(panel);
        orderOut(number);
    }
}

void SimWorld::showPanelsHiddenOnDeactivation() {
    auto hidden = std::move(hiddenOnDeactivation_);
    hiddenOnDeactivation_.clear();
    // Back to front, so that they keep their order.
    for (auto it = hidden.rbegin(); it != hidden.rend(); ++it) {
        if (auto panel = it->lock(); panel && !panel->isClosed()) panel->orderFront();
    }
}

bool SimWorld::risesOnActivation(std::uint32_t number) const {
    const SimWindow* candidate = window(number);
    if (!candidate || !candidate->isOnScreen || candidate->isStatusItem) return false;
    // Activating us raises our titled windows, not our panels.
    auto panel = candidate->panel.lock();
    return !panel || (panel->styleMask() & StyleMask::titled) != 0;
}

void SimWorld::makeFrontmost(std::int32_t pid) {
    if (!process(pid) || frontmostPID_ == pid) return;
    const bool wasOurs = frontmostPID_ == kOwnPID;
    frontmostPID_ = pid;
    std::erase(activationHistory_, pid);
    activationHistory_.push_back(pid);
    log(fmt::format("frontmost pid {}", pid));
    if (wasOurs) hidePanelsOnDeactivation();
    if (pid == kOwnPID) showPanelsHiddenOnDeactivation();
    if (pid == kOwnPID && keyWindow_ == 0) {
        // Our titled window in front takes key status when we come to the front.
        for (std::uint32_t number : stack_) {
            auto panel = windows_.at(number).panel.lock();
            if (panel && (panel->styleMask() & StyleMask::titled) != 0 && panel->canBecomeKey()) {
                setKeyWindow(number);
                break;
            }
        }
    }
    const RunningApplication application = process(pid)->runningApplication();
    std::weak_ptr<SimWorld> weak = weak_from_this();
    loop_->post(weakly(weak, [application, wasOurs, pid](SimWorld& self) {
        if (wasOurs) self.center_.post(Application::kDidResignActiveNotification);
        if (pid == kOwnPID) self.center_.post(Application::kDidBecomeActiveNotification);
        self.center_.post(Workspace::kDidActivateApplicationNotification, nullptr,
                          {{Workspace::kApplicationKey, application}});
    }));
}

// ---- Stacking

int SimWorld::levelOf(std::uint32_t number) const {
    return windows_.at(number).level;
}

std::vector<std::uint32_t> SimWorld::offScreenWindows() const {
    std::vector<std::uint32_t> result;
    for (const auto& [number, window] : windows_) {
        if (!window.isOnScreen) result.push_back(number);
    }
    return result;
}

int SimWorld::stackIndex(std::uint32_t number) const {
    auto found = std::find(stack_.begin(), stack_.end(), number);
    return found == stack_.end() ? -1 : static_cast<int>(found - stack_.begin());
}

void SimWorld::removeFromStack(std::uint32_t number) {
    std::erase(stack_, number);
}

void SimWorld::insertFrontOfLevel(std::uint32_t number) {
    removeFromStack(number);
    const int level = levelOf(number);
    auto at = std::find_if(stack_.begin(), stack_.end(),
                           [&](std::uint32_t other) { return levelOf(other) <= level; });
    stack_.insert(at, number);
}

void SimWorld::insertBackOfLevel(std::uint32_t number) {
    removeFromStack(number);
    const int level = levelOf(number);
    auto at = std::find_if(stack_.begin(), stack_.end(),
                           [&](std::uint32_t other) { return levelOf(other) < level; });
    stack_.insert(at, number);
}

std::int32_t SimWorld::ownerPID(std::uint32_t number) const {
    const SimWindow* found = window(number);
    return found ? found->ownerPID : 0;
}

std::shared_ptr<SimPanel> SimWorld::panelOf(const SimWindow& window) const {
    return window.panel.lock();
}

Rect SimWorld::frameOf(const SimWindow& window) const {
    if (auto panel = window.panel.lock()) return panel->frame();
    return window.frame;
}

double SimWorld::alphaOf(const SimWindow& window) const {
    if (auto panel = window.panel.lock()) return panel->alphaValue();
    return window.alpha;
}

std::string SimWorld::titleOf(const SimWindow& window) const {
    if (auto panel = window.panel.lock()) return panel->title();
    return window.title;
}

std::uint32_t SimWorld::windowAt(const Point& point) const {
    for (std::uint32_t number : stack_) {
        const SimWindow& candidate = windows_.at(number);
        if (!frameOf(candidate).contains(point)) continue;
        if (auto panel = candidate.panel.lock(); panel && panel->ignoresMouseEvents()) continue;
        return number;
    }
    return 0;
}

// ---- Our windows

std::uint32_t SimWorld::registerPanel(const std::weak_ptr<SimPanel>& panel, int level) {
    SimWindow window;
    window.ownerPID = kOwnPID;
    window.level = level;
    window.panel = panel;
    return addWindow(std::move(window));
}

std::uint32_t SimWorld::registerStatusItemWindow(const Rect& frame) {
    SimWindow window;
    window.ownerPID = kOwnPID;
    window.level = WindowLevel::status;
    window.frame = frame;
    window.isStatusItem = true;
    window.isOnScreen = true;
    const std::uint32_t number = addWindow(std::move(window));
    insertFrontOfLevel(number);
    windowsChanged();
    return number;
}

void SimWorld::unregisterWindow(std::uint32_t number) {
    if (keyWindow_ == number) keyWindow_ = 0;
    removeFromStack(number);
    windows_.erase(number);
    windowsChanged();
}

void SimWorld::orderFront(std::uint32_t number) {
    SimWindow* target = window(number);
    if (!target) return;
    target->isOnScreen = true;
    insertFrontOfLevel(number);
    windowsChanged();
    if (auto panel = target->panel.lock()) panel->orderingChanged();
}

void SimWorld::orderOut(std::uint32_t number) {
    SimWindow* target = window(number);
    if (!target || !target->isOnScreen) return;
    target->isOnScreen = false;
    removeFromStack(number);
    if (keyWindow_ == number) setKeyWindow(0);
    windowsChanged();
    if (auto panel = target->panel.lock()) panel->orderingChanged();
}

bool SimWorld::orderRelative(std::uint32_t number, int mode, std::uint32_t other) {
    SimWindow* target = window(number);
    if (!target || other == 0 || other == number || stackIndex(other) < 0) return false;
    target->isOnScreen = true;
    removeFromStack(number);
    const int level = target->level;
    const int otherLevel = levelOf(other);
    if (otherLevel > level) {
        insertFrontOfLevel(number);
    } else if (otherLevel < level) {
        insertBackOfLevel(number);
    } else {
        auto at = std::find(stack_.begin(), stack_.end(), other);
        if (mode < 0) ++at;
        stack_.insert(at, number);
    }
    windowsChanged();
    if (auto panel = target->panel.lock()) panel->orderingChanged();
    return true;
}

void SimWorld::levelChanged(std::uint32_t number, int level) {
    SimWindow* target = window(number);
    if (!target) return;
    target->level = level;
    if (target->isOnScreen) insertFrontOfLevel(number);
    windowsChanged();
}

void SimWorld::ourWindowChanged() {
    windowsChanged();
}

std::shared_ptr<SimPanel> SimWorld::keyPanel() const {
    const SimWindow* key = window(keyWindow_);
    return key ? key->panel.lock() : nullptr;
}

void SimWorld::setKeyWindow(std::uint32_t number) {
    if (keyWindow_ == number) return;
    auto old = keyPanel();
    keyWindow_ = number;
    if (old) old->keyStatusChanged(false);
    if (auto now = keyPanel()) now->keyStatusChanged(true);
}

// ---- Accessibility observers

void SimWorld::addObserver(const std::shared_ptr<SimAXObserver>& observer) {
    std::erase_if(observers_, [](const auto& weak) { return weak.expired(); });
    observers_.push_back(observer);
}

void SimWorld::emitAccessibility(std::int32_t pid, const char* notification, std::uint32_t window) {
    const AXElement about{AXElement::Kind::window, pid, window};
    const std::string name = notification;
    const bool isFocusChange =
        name == AXNotification::focusedWindowChanged || name == AXNotification::mainWindowChanged;
    const AXElement element =
        isFocusChange && focusNotificationElement_ == FocusNotificationElement::application
            ? AXElement{AXElement::Kind::application, pid, 0}
            : about;
    for (const auto& weak : observers_) {
        auto observer = weak.lock();
        if (!observer || observer->pid() != pid || !observer->wants(about, name)) continue;
        std::weak_ptr<SimAXObserver> target = observer;
        std::weak_ptr<SimWorld> world = weak_from_this();
        const Nanoseconds due = addSaturating(
            loop_->now(), nanosecondsFromSeconds(timing_.accessibilityNotificationDelay));
        loop_->schedule(
            due, RunLoopMode::common, weakly(world, [target, about, element, name](SimWorld& self) {
                withOwner(target, [&](SimAXObserver& observer) {
                    self.log(
                        fmt::format("ax {} window {} pid {}", name, about.identifier, about.pid));
                    observer.deliver(element, name);
                });
            }));
    }
}

// ---- Change tracking

void SimWorld::windowsChanged() {
    if (windowsChangePending_ || !onWindowsChanged_) return;
    windowsChangePending_ = true;
    std::weak_ptr<SimWorld> weak = weak_from_this();
    loop_->post(weakly(weak, [](SimWorld& self) {
        self.windowsChangePending_ = false;
        if (self.onWindowsChanged_) self.onWindowsChanged_();
    }));
}

}  // namespace talvori::sim
