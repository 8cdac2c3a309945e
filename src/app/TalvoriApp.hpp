#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/SceneDescription.hpp"

namespace talvori {

class AppDelegate;
class BeforeWaitHook;
class RuntimeCoordinator;
class TalvoriUserDriver;

namespace updates {
class Updater;
}

// The application: its delegate, its two window scenes (the first-run window and the settings
// window, neither of which opens by itself), the one RuntimeCoordinator, the update objects, and
// the start-up decision, taken once after both the body's first evaluation and the end of
// launching.
class TalvoriApp : public std::enable_shared_from_this<TalvoriApp> {
  public:
    static constexpr const char* kFirstRunSceneID = "firstRun";
    static constexpr const char* kSettingsSceneID = "settings";
    using WindowAction = std::function<void(const std::string& id)>;

    // The application as the program runs it on the installed platform: made, installed as the
    // application object's delegate, its body evaluated and its scenes declared, and launching
    // finished. The caller then runs the run loop.
    static std::shared_ptr<TalvoriApp> start();

    TalvoriApp();
    TalvoriApp(const TalvoriApp&) = delete;
    TalvoriApp& operator=(const TalvoriApp&) = delete;

    const std::shared_ptr<AppDelegate>& appDelegate() const { return appDelegate_; }
    // Made on first use and kept for the life of the application.
    const std::shared_ptr<RuntimeCoordinator>& runtime();
    const WindowAction dismissWindow;
    const WindowAction openWindow;
    const std::shared_ptr<TalvoriUserDriver>& userDriver() const { return userDriver_; }
    const std::shared_ptr<updates::Updater>& updater() const { return updater_; }

    // One evaluation of the application's body: wires the delegate to the runtime, gives the
    // runtime a scene router, arms the start-up latch, and returns the scenes.
    std::vector<SceneDescription> body();

  private:
    SceneDescription firstRunScene();
    SceneDescription settingsScene();
    // Once start-up has decided, the loop's next idle moment loads the interface fonts and the
    // icon renderer: the first panel the user opens would otherwise wait for them.
    void armDrawingWarmUp();

    std::shared_ptr<BeforeWaitHook> drawingWarmUp_;

    std::shared_ptr<AppDelegate> appDelegate_;
    std::shared_ptr<RuntimeCoordinator> runtime_;
    std::shared_ptr<TalvoriUserDriver> userDriver_;
    std::shared_ptr<updates::Updater> updater_;
};

}  // namespace talvori
