#include <limits>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "app/AppTest.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/PermissionManager.hpp"
#include "covers/PresetManager.hpp"
#include "focus/SpotlightController.hpp"
#include "focus/SpotlightPanelManager.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "session/GlobalShortcutsHandler.hpp"

namespace talvori::testing {
namespace {

// A window manager made on its own, as the runtime coordinator makes it, on a desktop with a
// primary screen and a second one to its right.
class WindowManagerTest : public AppTest {
  protected:
    WindowManagerTest()
        : AppTest(sim::SimDesktop::Configuration{{Rect(0, 0, 1440, 900), Rect(1440, 0, 1920, 1080)},
                                                 true}) {
        world().setAccessibilityTrusted(true);
    }
    ~WindowManagerTest() override {
        if (wm) wm->spotlightController().deactivate();
        wm.reset();
    }

    void make() {
        auto defaults = platform().userDefaults().shared_from_this();
        wm = WindowManager::create(
            std::make_shared<PresetManager>(PresetManager::standardKey, defaults),
            SpotlightController::create(SpotlightPanelManager::create(),
                                        PermissionManager::shared(), defaults));
        runUntilIdle();
    }
    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (const auto& overlay : wm->overlays.peek()) list.push_back(overlay->name());
        return list;
    }
    // Cover windows on screen now.
    std::size_t coverWindowsOnScreen() const {
        std::size_t count = 0;
        for (const auto& window : platform().application().windows()) {
            if (window->isVisible() && window->level() == WindowLevel::floating) ++count;
        }
        return count;
    }
    std::shared_ptr<Panel> coverWindow(const UUID& id) const {
        const auto& controllers = wm->windowControllers.peek();
        const auto found = controllers.find(id);
        return found == controllers.end() ? nullptr : found->second->panel()->sharedWindow();
    }

    std::shared_ptr<WindowManager> wm;
};

TEST_F(WindowManagerTest, ConstructionWiresTheRuntimeAndShutdownUndoesItOnce) {
    PresetModel layout{UUID::random(), "Reading", {OverlayModel{}}};
    PresetManager(PresetManager::standardKey, defaults().shared_from_this()).save({layout});
    onboard();
    make();
    EXPECT_EQ(wm->presets.peek(), std::vector{layout});
    EXPECT_EQ(simStatusBar().items().size(), 1u);
    EXPECT_EQ(globalOn(), 3);
    EXPECT_EQ(focusOn(), 0);
    wm->createCover();
    wm->createCover();
    wm->spotlightController().activate();
    EXPECT_EQ(focusOn(), 4);

    wm->shutdown();
    EXPECT_TRUE(wm->overlays.peek().empty());
    EXPECT_TRUE(wm->windowControllers.peek().empty());
    EXPECT_EQ(coverWindowsOnScreen(), 0u);
    EXPECT_TRUE(simStatusBar().items().empty());
    EXPECT_FALSE(wm->spotlightController().isActive());
    EXPECT_EQ(globalOn() + focusOn(), 0);
    // Even switched back on, the names reach no handler any more.
    GlobalShortcuts::enable(ShortcutNames::globalShortcutNames());
    press(ShortcutNames::newCover());
    EXPECT_TRUE(wm->overlays.peek().empty());
    GlobalShortcuts::disable(ShortcutNames::globalShortcutNames());
    wm->shutdown();
    EXPECT_TRUE(wm->isShutdown.peek());
    EXPECT_EQ(globalOn() + focusOn(), 0);
}

TEST_F(WindowManagerTest, DefaultNamesOnlyGrowAndTheCounterStopsAtItsLimit) {
    make();
    auto first = wm->createCover();
    EXPECT_EQ(first->name(), "Overlay 1");
    wm->closeCover(first->id());
    EXPECT_EQ(wm->createCover()->name(), "Overlay 2");
    wm->nextOverlayNumber.set(std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(wm->createCover()->name(), "Overlay 9223372036854775807");
    EXPECT_EQ(wm->createCover()->name(), "Overlay 9223372036854775807");
    EXPECT_EQ(wm->nextOverlayNumber.peek(), std::numeric_limits<std::int64_t>::max());
}

TEST_F(WindowManagerTest, NewCoversOpenOnTheMainScreenNotThePrimaryOne) {
    make();
    // A key window on the second screen makes it the main screen.
    auto window = platform().application().makePanel(Rect(2000, 300, 400, 300), StyleMask::titled);
    window->makeKeyAndOrderFront();
    const Rect visible = platform().screens().mainScreen()->visibleFrame;
    ASSERT_EQ(visible.minX(), 1440);
    EXPECT_EQ(wm->createCover()->model.peek().frame.rect(),
              Rect(visible.midX() - 150, visible.midY() - 100, 300, 200));
    world().setScreens({});
    EXPECT_EQ(wm->createCover()->model.peek().frame.rect(), Rect(100, 100, 300, 200));
}

TEST_F(WindowManagerTest, DuplicateCopiesTheCoverBesideItUnderTheNextNameAndKeepsTheUndoOffer) {
    make();
    auto source = wm->createCover();
    source->rename("Notes");
    source->setColor(CodableColor{1, 0, 0, 1});
    source->model.modify([](OverlayModel& model) {
        model.attachmentInfo = AttachmentInfo{42, "org.example.Notes", "Notes"};
    });
    source->isLocked.set(true);
    wm->undoableModels.set(std::vector<OverlayModel>{});
    advance(1);

    wm->duplicateCover(source->id());
    ASSERT_EQ(wm->overlays.peek().size(), 2u);
    const auto copy = wm->overlays.peek().back();
    const OverlayModel& model = copy->model.peek();
    EXPECT_NE(model.id, source->id());
    EXPECT_EQ(model.name, "Overlay 2");
    EXPECT_EQ(model.frame.x, source->model.peek().frame.x + 20);
    EXPECT_EQ(model.frame.y, source->model.peek().frame.y - 20);
    EXPECT_EQ(model.color, source->color());
    EXPECT_EQ(model.attachmentInfo, source->model.peek().attachmentInfo) << "kept, not followed";
    EXPECT_FALSE(copy->isLocked.peek());
    EXPECT_TRUE(wm->undoableModels.peek()) << "duplicating keeps the offer";
    advance(1);
    EXPECT_FALSE(copy->showBorderFlash.peek());
    wm->createCover();
    EXPECT_FALSE(wm->undoableModels.peek()) << "a new cover ends it";
    wm->duplicateCover(UUID::random());
    EXPECT_EQ(wm->overlays.peek().size(), 3u);
}

TEST_F(WindowManagerTest, ARecordWhoseIdIsAlreadyOpenOpensUnderAFreshId) {
    make();
    OverlayModel record;
    record.frame = CodableRect{200, 200, 300, 200};
    const auto first = wm->openCover(record);
    const auto second = wm->openCover(record);
    EXPECT_EQ(first->id(), record.id);
    EXPECT_NE(second->id(), record.id);
    EXPECT_EQ(wm->windowControllers.peek().size(), 2u);
    EXPECT_EQ(coverWindowsOnScreen(), 2u);
    wm->closeCover(record.id);
    EXPECT_EQ(wm->overlays.peek(), std::vector{second});
    EXPECT_EQ(coverWindowsOnScreen(), 1u);
}

TEST_F(WindowManagerTest, ResettingAnInterruptedCascadeClosesTheWindowsOfTheCoversItDrops) {
    make();
    wm->createCover();
    wm->activePresetId.set(UUID::random());
    // A close-all runs while a cover is created: that cover still has its window.
    wm->isClosingAll.set(true);
    wm->createCover();
    wm->closeActiveLayout();
    EXPECT_TRUE(wm->overlays.peek().empty());
    EXPECT_TRUE(wm->windowControllers.peek().empty());
    EXPECT_EQ(coverWindowsOnScreen(), 0u);
    EXPECT_FALSE(wm->isClosingAll.peek());
    EXPECT_FALSE(wm->activePresetId.peek());
}

TEST_F(WindowManagerTest, ControlPanelCallbacksReachOnlyTheirCoverAndNothingOnceTheManagerIsGone) {
    make();
    auto cover = wm->createCover();
    auto& panel = wm->controlPanelController();
    EXPECT_EQ(panel.viewModelProvider(cover->id()), cover);
    EXPECT_EQ(panel.viewModelProvider(UUID::random()), nullptr);
    cover->setClickThroughEnabled(true);
    panel.onClickThroughChange(cover->id());
    EXPECT_TRUE(coverWindow(cover->id())->ignoresMouseEvents());
    panel.onLockChange(UUID::random());
    panel.onDuplicate(cover->id());
    EXPECT_EQ(wm->overlays.peek().size(), 2u);
    panel.onClose(cover->id());
    EXPECT_EQ(wm->overlays.peek().size(), 1u);
    EXPECT_FALSE(wm->viewModel(cover->id()));

    auto onDuplicate = panel.onDuplicate;
    auto provider = panel.viewModelProvider;
    const UUID remaining = wm->overlays.peek().front()->id();
    wm.reset();
    onDuplicate(remaining);
    EXPECT_EQ(provider(remaining), nullptr);
}

TEST_F(WindowManagerTest, CoversAttachedWithoutTrustAskOnceAndAllFollowWhenItComes) {
    world().setAccessibilityTrusted(false);
    const std::int32_t pid = world().launchApplication("Editor", "org.example.Editor");
    world().openWindow(pid, "Draft", Rect(300, 300, 600, 400));
    make();
    // A Focus wait is already running.
    wm->spotlightController().requestAccessibilityAndActivate();
    runUntilIdle();
    const auto first = wm->createCover();
    const auto second = wm->createCover();
    const RunningApplication editor{pid, "org.example.Editor", "Editor"};
    wm->attachCover(first->id(), editor);
    wm->attachCover(second->id(), editor);
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1);
    EXPECT_TRUE(wm->spotlightController().isWaitingForAccessibility());
    world().setAccessibilityTrusted(true);
    advance(PermissionManager::pollInterval);
    EXPECT_TRUE(first->model.peek().attachmentInfo);
    EXPECT_TRUE(second->model.peek().attachmentInfo);
    EXPECT_TRUE(wm->spotlightController().isActive());
}

TEST_F(WindowManagerTest, TheGlobalThreeAskForOnboardingAtThePressTheAdjustersDoNot) {
    make();
    press(ShortcutNames::newCover());
    EXPECT_TRUE(wm->overlays.peek().empty());
    onboard();
    press(ShortcutNames::newCover());
    EXPECT_EQ(wm->overlays.peek().size(), 1u);

    defaults().set("hasCompletedOnboarding", false);
    wm->spotlightController().activate();
    const double before = wm->spotlightController().dimOpacity();
    press(ShortcutNames::strongerFocus());
    EXPECT_GT(wm->spotlightController().dimOpacity(), before);
    press(ShortcutNames::toggleFocus());
    EXPECT_TRUE(wm->spotlightController().isActive()) << "the toggle waits for onboarding";
}

TEST_F(WindowManagerTest, ToggleFocusWithoutTrustAsksOnceAndTurnsFocusOnWhenGranted) {
    onboard();
    world().setAccessibilityTrusted(false);
    make();
    press(ShortcutNames::toggleFocus());
    runUntilIdle();
    EXPECT_FALSE(wm->spotlightController().isActive());
    EXPECT_TRUE(wm->spotlightController().isWaitingForAccessibility());
    press(ShortcutNames::toggleFocus());
    runUntilIdle();
    EXPECT_TRUE(wm->spotlightController().isWaitingForAccessibility());
    world().setAccessibilityTrusted(true);
    advance(PermissionManager::pollInterval);
    EXPECT_TRUE(wm->spotlightController().isActive());
    EXPECT_EQ(focusOn(), 4);
}

TEST_F(WindowManagerTest, RestoringTheDefaultShortcutsWhileFocusIsOffKeepsTheAdjustersOff) {
    onboard();
    make();
    auto names = ShortcutNames::globalShortcutNames();
    for (const auto& name : ShortcutNames::focusShortcutNames()) names.push_back(name);
    GlobalShortcuts::reset(names);
    wm->syncFocusShortcuts();
    EXPECT_EQ(globalOn(), 3);
    EXPECT_EQ(focusOn(), 0);
}

}  // namespace
}  // namespace talvori::testing
