#include "app/TalvoriApp.hpp"

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "app/AppDelegate.hpp"
#include "app/FirstRunWindowContent.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/SceneRouter.hpp"
#include "app/WindowManager.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "reminder/UpdateReminder.hpp"
#include "session/ShortcutNames.hpp"
#include "settings/SettingsView.hpp"
#include "settings/TalvoriUserDriver.hpp"
#include "settings/UpdateStartup.hpp"
#include "ui/IconCatalog.hpp"
#include "ui/PanelHost.hpp"
#include "ui/PangoTextMeasurer.hpp"
#include "updates/Updater.hpp"

namespace talvori {

namespace {

// The four Focus shortcuts follow Focus mode while the runtime runs, and stay off before.
void applyFocusShortcutRule(const std::weak_ptr<RuntimeCoordinator>& weakRuntime) {
    platform().runLoop().assertMainThread();
    const auto runtime = weakRuntime.lock();
    if (const auto manager = runtime ? runtime->windowManager.peek() : nullptr) {
        manager->syncFocusShortcuts();
    } else {
        GlobalShortcuts::disable(ShortcutNames::focusShortcutNames());
    }
}

// Lays out and draws a line in each weight the panels use, and one icon: the first use of each font
// opens its file and reads its shaping tables, and the first icon starts the vector renderer.
void warmDrawing() {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 32, 32);
    cairo_t* cr = cairo_create(surface);
    auto& measurer = platform().service<ui::PangoTextMeasurer>();
    for (const auto weight : {ui::FontWeight::regular, ui::FontWeight::medium,
                              ui::FontWeight::semibold, ui::FontWeight::bold}) {
        measurer->layout("Focus 0123", {.font = ui::Font::system(13, weight)}, std::nullopt)
            ->draw(cr, ui::TextRendering::glyphs);
    }
    platform().service<ui::IconCatalog>()->draw(cr, "arrow.uturn.backward", Rect{{0, 0}, {16, 16}});
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

}  // namespace

std::shared_ptr<TalvoriApp> TalvoriApp::start() {
    auto app = std::make_shared<TalvoriApp>();
    auto& application = platform().application();
    application.setDelegate(app->appDelegate());
    for (auto& scene : app->body()) application.registerScene(std::move(scene));
    application.finishLaunching();
    app->armDrawingWarmUp();
    return app;
}

void TalvoriApp::armDrawingWarmUp() {
    auto& loop = platform().runLoop();
    drawingWarmUp_ = loop.addBeforeWaitHook([this, &loop] {
        if (!runtime_ || runtime_->isStartupDecisionPending()) return;
        drawingWarmUp_.reset();
        loop.post(warmDrawing);
    });
}

TalvoriApp::TalvoriApp()
    : dismissWindow([](const std::string& id) { platform().application().dismissWindow(id); }),
      openWindow([](const std::string& id) { platform().application().openWindow(id); }),
      appDelegate_(std::make_shared<AppDelegate>()) {
    platform().runLoop().assertMainThread();
    // The reminder, the driver and the updater, started, and the launch recorded; an updater
    // that cannot start is logged and the application goes on without it.
    auto updates = UpdateStartup::start();
    userDriver_ = std::move(updates.driver);
    updater_ = std::move(updates.updater);
}

const std::shared_ptr<RuntimeCoordinator>& TalvoriApp::runtime() {
    if (!runtime_) runtime_ = RuntimeCoordinator::create();
    return runtime_;
}

std::vector<SceneDescription> TalvoriApp::body() {
    const auto& coordinator = runtime();
    const std::weak_ptr<RuntimeCoordinator> weak = coordinator;
    appDelegate_->isRuntimeRunning = weakly(
        weak, [](RuntimeCoordinator& runtime) { return runtime.windowManager() != nullptr; });
    appDelegate_->isStartupDecisionPending =
        weakly(weak, &RuntimeCoordinator::isStartupDecisionPending);
    // Started again: the panel opens as a click on the status item opens it; during the first
    // run, its window comes forward.
    appDelegate_->showRunningApplication =
        weakly(weak, [open = openWindow](RuntimeCoordinator& runtime) {
            if (runtime.isStartupDecisionPending()) return;
            if (auto manager = runtime.runningWindowManager()) {
                manager->showMenuBarPanel();
            } else {
                open(kFirstRunSceneID);
            }
        });
    coordinator->sceneRouter = std::make_shared<SceneRouter>(dismissWindow, openWindow);
    // The drive holds the runtime: the decision must run even if nothing else refers to it.
    appDelegate_->startupDriverLatch.arm([coordinator] {
        (void)Task::start(platform().runLoop(), [coordinator]() -> Async {
            coordinator->decideStartup();
            co_return;
        });
    });
    return {firstRunScene(), settingsScene()};
}

SceneDescription TalvoriApp::firstRunScene() {
    SceneDescription scene;
    scene.identifier = kFirstRunSceneID;
    scene.title = "Talvori";
    scene.makeContent = weakly(
        std::weak_ptr<RuntimeCoordinator>(runtime()),
        [dismiss = dismissWindow](RuntimeCoordinator& runtime) -> std::shared_ptr<HostedContent> {
            return ui::FirstRunWindowContent::makeHostedContent(
                runtime.shared_from_this(), [dismiss] { dismiss(kFirstRunSceneID); });
        });
    scene.sizedToContent = true;
    scene.hidesTitleBar = true;
    // The first-run pages are drawn dark; a light frame around them would look out of place.
    scene.appearance = Appearance::dark;
    return scene;
}

SceneDescription TalvoriApp::settingsScene() {
    SceneDescription scene;
    scene.identifier = kSettingsSceneID;
    scene.title = "Settings";
    scene.makeContent = [weak = std::weak_ptr<RuntimeCoordinator>(runtime())] {
        // The reminder knows the one updater the application started.
        return ui::SettingsView::makeHostedContent(UpdateReminder::shared()->updater.lock(),
                                                   [weak] { applyFocusShortcutRule(weak); });
    };
    scene.sizedToContent = true;
    scene.closesFromKeyboard = true;
    scene.appearance = Appearance::dark;
    return scene;
}

}  // namespace talvori
