#include <limits>

#include "app/LayoutsTest.hpp"
#include "covers/AttachmentTarget.hpp"
#include "covers/PermissionManager.hpp"

namespace talvori::testing {
namespace {

class LayoutOperationsTest : public LayoutsTest {
  protected:
    PresetModel layoutOf(std::vector<std::string> coverNames) {
        PresetModel preset;
        preset.name = "Stored";
        double x = 50;
        for (auto& name : coverNames) {
            OverlayModel record;
            record.name = std::move(name);
            record.frame = CodableRect{x, 100, 200, 100};
            x += 30;
            preset.overlays.push_back(record);
        }
        return preset;
    }
    // Puts `preset` in the store and the running manager, as a start with it stored would.
    UUID store(const PresetModel& preset) {
        manager()->presets.modify([&](auto& list) { list.push_back(preset); });
        manager()->presetManager().save(manager()->presets.peek());
        return preset.id;
    }
};

TEST_F(LayoutOperationsTest, EachOperationWritesTheStoreExactlyWhenItShould) {
    start();
    auto& wm = *manager();
    auto& defaults = platform().userDefaults();
    const auto writes = [&] { return defaults.data(PresetManager::standardKey); };
    cover("A", 10.25);
    cover("B", 33.125);
    wm.saveCurrentAsPreset("Layout 1");
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].overlays[1].frame.x, 33.125);
    EXPECT_EQ(stored()[0].overlays[0].id, wm.overlays.peek()[0]->id()) << "ids kept";
    EXPECT_FALSE(wm.activePresetId.peek()) << "saving does not activate";
    const UUID id = wm.presets.peek()[0].id;

    auto before = writes();
    wm.applyPreset(id);
    wm.togglePreset(wm.presets.peek()[0]);
    EXPECT_TRUE(wm.overlays.peek().empty()) << "toggling the active layout closes it";
    wm.applyPreset(id);
    EXPECT_EQ(writes(), before) << "apply and toggle store nothing";
    EXPECT_FALSE(wm.activePresetHasChanges()) << "exact doubles survive the round trip";

    wm.overlays.peek()[0]->model.modify([](OverlayModel& model) { model.frame.y += 0.5; });
    EXPECT_TRUE(wm.activePresetHasChanges());
    EXPECT_FALSE(wm.activePresetChanges().empty());
    wm.updateActivePreset();
    EXPECT_FALSE(wm.activePresetHasChanges());
    EXPECT_EQ(stored()[0].overlays[0].frame.y, wm.overlays.peek()[0]->model.peek().frame.y);

    wm.renamePreset(id, "  Spaced ");
    EXPECT_EQ(stored()[0].name, "  Spaced ") << "the manager stores names exactly";
    before = writes();
    wm.renamePreset(UUID::random(), "Nobody");
    EXPECT_EQ(writes(), before);

    // Deleting the active layout keeps its covers and reports no changes.
    wm.deletePreset(id);
    EXPECT_TRUE(stored().empty());
    EXPECT_EQ(wm.overlays.peek().size(), 2u);
    EXPECT_FALSE(wm.activePresetHasChanges());
    wm.updateActivePreset();
    EXPECT_TRUE(stored().empty());
}

// Another writer of the settings file (a second instance, a hand edit) stores a layout: the list
// shows it at once, and the next "Save as layout" keeps it.
TEST_F(LayoutOperationsTest, ALayoutStoredByAnotherWriterShowsAndSurvivesTheNextSave) {
    start();
    auto& wm = *manager();
    const auto other = layoutOf({"X"});
    PresetManager(PresetManager::standardKey, platform().userDefaults().shared_from_this())
        .save({other});
    EXPECT_EQ(wm.presets.peek(), std::vector<PresetModel>{other});
    cover("A", 10);
    wm.saveCurrentAsPreset("Mine");
    ASSERT_EQ(stored().size(), 2u);
    EXPECT_EQ(stored()[0], other);
    EXPECT_EQ(stored()[1].name, "Mine");
}

TEST_F(LayoutOperationsTest, ApplyingNumbersEmptyNamesPastEveryDefaultNumberWithoutOverflow) {
    start();
    auto& wm = *manager();
    wm.nextOverlayNumber.set(3);
    const UUID id = store(layoutOf({"Overlay 7", "", "Overlay 12", "Overlay 7b", "overlay 40",
                                    "Overlay  50", "Overlay ", "Overlay +20", "Overlay -5",
                                    "Overlay +-9", "Overlay 99999999999999999999"}));
    cover("Open before");
    wm.closeAll();
    advance(1);
    ASSERT_TRUE(wm.undoableModels.peek());
    wm.applyPreset(id);
    EXPECT_FALSE(wm.undoableModels.peek()) << "applying ends the undo offer";
    EXPECT_EQ(names()[1], "Overlay 21");
    EXPECT_EQ(wm.nextOverlayNumber.peek(), 22);
    EXPECT_TRUE(wm.activePresetHasChanges()) << "a name was given";
    EXPECT_EQ(coverWindowsOnScreen(), 11u);

    const auto largest = std::numeric_limits<std::int64_t>::max();
    const UUID edge = store(layoutOf({"Overlay " + std::to_string(largest), ""}));
    wm.applyPreset(edge);
    EXPECT_EQ(wm.nextOverlayNumber.peek(), largest);
    EXPECT_EQ(names()[1], "Overlay " + std::to_string(largest));
    wm.createCover();
    EXPECT_EQ(wm.nextOverlayNumber.peek(), largest) << "the counter stays at its limit";
    wm.applyPreset(UUID::random());
    EXPECT_EQ(names().size(), 3u) << "an unknown layout changes nothing";
}

TEST_F(LayoutOperationsTest, AStoredLayoutWithADuplicateIdOpensEveryCoverWithItsOwnWindow) {
    start();
    auto& wm = *manager();
    auto preset = layoutOf({"First", "Second"});
    preset.overlays[1].id = preset.overlays[0].id;
    wm.applyPreset(store(preset));
    ASSERT_EQ(wm.overlays.peek().size(), 2u);
    EXPECT_NE(wm.overlays.peek()[0]->id(), wm.overlays.peek()[1]->id());
    EXPECT_EQ(coverWindowsOnScreen(), 2u);
    wm.closeCover(wm.overlays.peek()[0]->id());
    EXPECT_EQ(names(), std::vector<std::string>{"Second"});
    EXPECT_EQ(coverWindowsOnScreen(), 1u);
}

TEST_F(LayoutOperationsTest, ALayoutOfAttachedCoversAsksForTrustOnceAndAllFollowOnceGranted) {
    const std::int32_t editor = world().launchApplication("Editor", "org.example.Editor");
    world().openWindow(editor, "Draft", Rect(300, 300, 600, 400));
    start();
    auto preset = layoutOf({"One", "Two"});
    for (auto& record : preset.overlays) {
        record.attachmentInfo = AttachmentInfo{editor + 1000, "org.example.Editor", "Editor"};
    }
    world().setAccessibilityTrusted(false);
    manager()->applyPreset(store(preset));
    runUntilIdle();
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1);
    world().setAccessibilityTrusted(true);
    advance(PermissionManager::pollInterval);
    for (const auto& cover : manager()->overlays.peek()) {
        ASSERT_TRUE(cover->model.peek().attachmentInfo);
        EXPECT_EQ(cover->model.peek().attachmentInfo->targetPID, editor) << "the running process";
    }
    EXPECT_TRUE(manager()->activePresetHasChanges()) << "the process id changed";
}

TEST_F(LayoutOperationsTest, AnAttachedCoverIsSavedAndBroughtBackWhereItsWindowTookIt) {
    const std::int32_t editor = world().launchApplication("Editor", "org.example.Editor");
    const std::uint32_t draft = world().openWindow(editor, "Draft", Rect(300, 300, 600, 400));
    start();
    auto& wm = *manager();
    const auto follows = manager()->createCover();
    wm.attachCover(follows->id(), RunningApplication{editor, "org.example.Editor", "Editor"});
    runUntilIdle();
    const auto panel = wm.windowControllers.peek().at(follows->id())->panel();
    const Rect placed = panel->frame();
    const OverlayModel record = follows->model.peek();
    const auto moveDraft = [&](double x, double y) {
        world().moveWindow(draft, {x, y});
        advance(0.1);
    };
    moveDraft(340, 290);
    ASSERT_EQ(panel->frame(),
              Rect(placed.minX() + 40, placed.minY() - 10, placed.width(), placed.height()));
    EXPECT_EQ(follows->model.peek(), record) << "following leaves the record alone";

    wm.saveCurrentAsPreset("Work");
    EXPECT_EQ(stored().back().overlays.front().frame.rect(), panel->frame());
    wm.activePresetId.set(wm.presets.peek().back().id);
    EXPECT_FALSE(wm.activePresetHasChanges());
    moveDraft(360, 290);
    wm.updateActivePreset();
    EXPECT_EQ(stored().back().overlays.front().frame.rect(), panel->frame());

    moveDraft(380, 270);
    const Rect shown = panel->frame();
    wm.closeAll();
    advance(1);
    wm.undoCloseAll();
    runUntilIdle();
    ASSERT_EQ(wm.overlays.peek().size(), 1u);
    EXPECT_EQ(wm.overlays.peek().front()->model.peek().frame.rect(), shown);
    EXPECT_EQ(wm.windowControllers.peek().at(follows->id())->panel()->frame(), shown);
}

TEST_F(LayoutOperationsTest, ALayoutFindsTheWindowsItsCoversFollowedAndReportsNoChanges) {
    simWindowList().setScreenRecordingGranted(true);
    const auto first = world().launchApplication("Terminal", "org.example.terminal");
    world().openWindow(first, "notes", Rect(300, 300, 600, 400));
    const auto second = world().launchApplication("Terminal", "org.example.terminal");
    world().openWindow(second, "build", Rect(340, 260, 600, 400));
    start();
    auto& wm = *manager();
    const auto cover = wm.createCover();
    const auto targets = AttachmentTarget::windowsOf(platform().workspace().runningApplications());
    const auto picked = std::find_if(targets.begin(), targets.end(), [](const auto& target) {
        return target.windowTitle == "build";
    });
    ASSERT_NE(picked, targets.end());
    wm.attachCover(cover->id(), *picked);
    runUntilIdle();
    wm.saveCurrentAsPreset("Work");
    const UUID layout = wm.presets.peek().back().id;

    wm.closeActiveLayout();
    wm.applyPreset(layout);
    runUntilIdle();
    const auto& following = *wm.windowControllers.peek().begin()->second->attachmentService();
    EXPECT_EQ(following.targetPID(), second) << "the same window, not the first of its kind";
    EXPECT_FALSE(wm.activePresetHasChanges());

    // Its program started again: the window with that title, in its new process.
    world().quitApplication(second);
    const auto again = world().launchApplication("Terminal", "org.example.terminal");
    world().openWindow(again, "build", Rect(340, 260, 600, 400));
    wm.applyPreset(layout);
    runUntilIdle();
    EXPECT_EQ(wm.windowControllers.peek().begin()->second->attachmentService()->targetPID(), again);
}

TEST_F(LayoutOperationsTest, TheSummaryGroupsByCoverAboveEightLines) {
    start();
    auto& wm = *manager();
    std::vector<std::string> coverNames;
    for (int index = 0; index < 15; ++index) coverNames.push_back("C" + std::to_string(index));
    const UUID id = store(layoutOf(coverNames));
    wm.applyPreset(id);
    auto change = [&](std::size_t covers, bool twice) {
        wm.applyPreset(id);
        for (std::size_t index = 0; index < covers; ++index) {
            wm.overlays.peek()[index]->setOpacity(0.3);
            if (twice) wm.overlays.peek()[index]->setBlurRadius(3);
        }
        return wm.activePresetChangeSummary();
    };
    auto summary = change(8, false);
    EXPECT_EQ(summary.lines.size(), 8u);
    EXPECT_EQ(summary.hiddenCount, 0u);
    summary = change(5, true);
    EXPECT_EQ(summary.lines.size(), 5u) << "ten lines, the first of each cover";
    EXPECT_EQ(summary.hiddenCount, 5u);
    EXPECT_EQ(summary.lines[1].overlayName, "C1");
    summary = change(12, false);
    EXPECT_EQ(summary.lines.size(), 8u);
    EXPECT_EQ(summary.hiddenCount, 4u);
    wm.activePresetId.set(std::nullopt);
    EXPECT_EQ(wm.activePresetChangeSummary(), PresetChangeSummary{});
}

}  // namespace
}  // namespace talvori::testing
