#pragma once

#include <memory>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/sim/ScreenPicture.hpp"

namespace talvori::sim {

class SimAccessibility;
class SimAlerts;
class SimAnnouncer;
class SimApplication;
class SimColorSampler;
class SimHotKeyService;
class SimInput;
class SimKeyboardLayout;
class SimLoginItem;
class SimPasteboard;
class SimScreens;
class SimSound;
class SimStatusBar;
class SimWindowList;
class SimWorkspace;
class SimWorld;

// How a simulated desktop starts.
struct SimDesktopConfiguration {
    // Each screen's frame; the first one's bottom-left corner is the origin.
    std::vector<Rect> screens{Rect(0, 0, 1440, 900)};
    // The menu bar and the desktop picture of each screen, as system windows.
    bool systemWindows = true;
};

// The simulated desktop: a world of processes, windows and screens, and every desktop service of
// the platform over it. Install it into a virtual platform; tests then drive the world and the
// input and read what the services and the screen picture show.
class SimDesktop {
  public:
    using Configuration = SimDesktopConfiguration;

    // Makes a simulated desktop over `platform`'s loop and notification center and installs its
    // services into it; the platform keeps it alive.
    static std::shared_ptr<SimDesktop> install(Platform& platform, Configuration configuration);
    static std::shared_ptr<SimDesktop> install(Platform& platform) {
        return install(platform, Configuration{});
    }
    // A virtual platform with a simulated desktop installed.
    static std::unique_ptr<Platform> makePlatform(Configuration configuration = Configuration{});

    SimWorld& world() const { return *world_; }
    SimInput& input() const { return *input_; }
    SimApplication& application() const { return *application_; }
    SimScreens& screens() const { return *screens_; }
    SimWindowList& windowList() const { return *windowList_; }
    SimWorkspace& workspace() const { return *workspace_; }
    SimAccessibility& accessibility() const { return *accessibility_; }
    SimStatusBar& statusBar() const { return *statusBar_; }
    SimAnnouncer& announcer() const { return *announcer_; }
    SimColorSampler& colorSampler() const { return *colorSampler_; }
    SimLoginItem& loginItem() const { return *loginItem_; }
    SimHotKeyService& hotKeys() const { return *hotKeys_; }
    SimKeyboardLayout& keyboardLayout() const { return *keyboardLayout_; }
    SimAlerts& alerts() const { return *alerts_; }
    SimPasteboard& pasteboard() const { return *pasteboard_; }
    SimSound& sound() const { return *sound_; }

    // What the screen shows now.
    ScreenPicture picture() const;

  private:
    SimDesktop(Platform& platform, const Configuration& configuration);

    std::shared_ptr<SimWorld> world_;
    std::shared_ptr<SimInput> input_;
    std::shared_ptr<SimApplication> application_;
    std::shared_ptr<SimScreens> screens_;
    std::shared_ptr<SimWindowList> windowList_;
    std::shared_ptr<SimWorkspace> workspace_;
    std::shared_ptr<SimAccessibility> accessibility_;
    std::shared_ptr<SimStatusBar> statusBar_;
    std::shared_ptr<SimAnnouncer> announcer_;
    std::shared_ptr<SimColorSampler> colorSampler_;
    std::shared_ptr<SimLoginItem> loginItem_;
    std::shared_ptr<SimHotKeyService> hotKeys_;
    std::shared_ptr<SimKeyboardLayout> keyboardLayout_;
    std::shared_ptr<SimAlerts> alerts_;
    std::shared_ptr<SimPasteboard> pasteboard_;
    std::shared_ptr<SimSound> sound_;
    // Typed keys that are registered combinations become hot-key events.
    Registration hotKeyInterceptor_;
};

}  // namespace talvori::sim
