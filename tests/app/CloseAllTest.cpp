#include "app/LayoutsTest.hpp"

namespace talvori::testing {
namespace {

class CloseAllTest : public LayoutsTest {
  protected:
    bool closing(const std::shared_ptr<OverlayViewModel>& cover) const {
        return manager()->closingOverlayIds.peek().contains(cover->id());
    }
};

TEST_F(CloseAllTest, TheCascadeFollowsItsTimelineWithOrWithoutReduceMotion) {
    start();
    for (const bool reduceMotion : {false, true}) {
        SCOPED_TRACE(reduceMotion);
        simWorkspace().setReduceMotion(reduceMotion);
        const auto a = cover("A"), b = cover("B"), c = cover("C");
        runUntilIdle();
        auto& wm = *manager();
        wm.closeAll();
        EXPECT_EQ(coverWindowsOnScreen(), 0u) << "every window closes at once";
        EXPECT_TRUE(wm.isClosingAll.peek());
        runUntilIdle();
        EXPECT_TRUE(closing(c));
        EXPECT_FALSE(closing(b));
        advance(0.119);
        EXPECT_FALSE(closing(b));
        advance(0.002);
        EXPECT_TRUE(closing(b));
        EXPECT_FALSE(closing(a));
        advance(0.12);
        EXPECT_TRUE(closing(a));
        EXPECT_FALSE(wm.isCardFading.peek());
        advance(0.12);
        EXPECT_TRUE(wm.isCardFading.peek());
        EXPECT_EQ(wm.overlays.peek().size(), 3u) << "the count stays until the card empties";
        advance(0.345);
        EXPECT_FALSE(wm.undoableModels.peek());
        advance(0.01);
        EXPECT_TRUE(wm.overlays.peek().empty());
        EXPECT_FALSE(wm.isClosingAll.peek());
        EXPECT_FALSE(wm.isCardFading.peek());
        EXPECT_TRUE(wm.closingOverlayIds.peek().empty());
        ASSERT_TRUE(wm.undoableModels.peek());
        // The offer lives eight seconds from the end of the cascade, not from the press.
        advance(7.99);
        EXPECT_TRUE(wm.undoableModels.peek());
        advance(0.02);
        EXPECT_FALSE(wm.undoableModels.peek());
        wm.undoCloseAll();
        EXPECT_TRUE(wm.overlays.peek().empty()) << "no offer, nothing comes back";
    }
}

TEST_F(CloseAllTest, UndoRestoresEveryFieldTheOrderTheAttachmentsAndTheActiveLayout) {
    const std::int32_t editor = world().launchApplication("Editor", "org.example.Editor");
    world().openWindow(editor, "Draft", Rect(300, 300, 600, 400));
    const std::int32_t viewer = world().launchApplication("Viewer", "org.example.Viewer");
    world().openWindow(viewer, "Photo", Rect(500, 200, 400, 300));
    start();
    auto& wm = *manager();
    const auto follows = cover("Follows", 120), gone = cover("Gone", 240),
               kept = cover("Kept", 360);
    follows->setOpacity(0.6);
    follows->setBlurRadius(12.5);
    follows->setColor({0.1, 0.2, 0.3, 0.4});
    wm.attachCover(follows->id(), RunningApplication{editor, "org.example.Editor", "Editor"});
    wm.attachCover(gone->id(), RunningApplication{viewer, "org.example.Viewer", "Viewer"});
    kept->model.modify([](OverlayModel& model) {
        model.attachmentInfo = AttachmentInfo{7, {}, "X"};
    });
    runUntilIdle();
    ASSERT_TRUE(follows->model.peek().attachmentInfo);
    ASSERT_TRUE(gone->model.peek().attachmentInfo);
    wm.saveCurrentAsPreset("Work");
    const UUID layout = wm.presets.peek().back().id;
    wm.activePresetId.set(layout);
    std::vector<OverlayModel> before;
    for (const auto& overlay : wm.overlays.peek()) before.push_back(overlay->model.peek());

    wm.closeAll();
    advance(1);
    world().quitApplication(viewer);
    runUntilIdle();
    wm.undoCloseAll();
    runUntilIdle();
    ASSERT_EQ(wm.overlays.peek().size(), 3u);
    EXPECT_EQ(names(), (std::vector<std::string>{"Follows", "Gone", "Kept"}));
    EXPECT_EQ(wm.overlays.peek()[0]->model.peek(), before[0]) << "re-attached, as before";
    EXPECT_EQ(wm.windowControllers.peek().at(follows->id())->attachmentService()->targetPID(),
              editor);
    OverlayModel dropped = before[1];
    dropped.attachmentInfo.reset();
    EXPECT_EQ(wm.overlays.peek()[1]->model.peek(), dropped) << "its application quit";
    EXPECT_EQ(wm.overlays.peek()[2]->model.peek(), before[2]) << "no bundle id: kept, unattached";
    EXPECT_EQ(wm.activePresetId.peek(), layout);
    for (const auto& [id, controller] : wm.windowControllers.peek()) {
        EXPECT_TRUE(controller->panel()->sharedWindow()->isVisible());
    }
    // The card stays invisible a moment, then fades in.
    EXPECT_TRUE(wm.isCardAppearing.peek());
    advance(0.31);
    EXPECT_FALSE(wm.isCardAppearing.peek());
    EXPECT_FALSE(wm.undoableModels.peek());
    EXPECT_EQ(stored().front().overlays, wm.presets.peek().front().overlays) << "nothing stored";
}

TEST_F(CloseAllTest, TheOfferEndsWithANewCoverAndSurvivesAnEmptyCloseAll) {
    start();
    auto& wm = *manager();
    cover("A");
    wm.closeAll();
    advance(1);
    ASSERT_TRUE(wm.undoableModels.peek());
    wm.closeAll();
    EXPECT_TRUE(wm.undoableModels.peek()) << "no covers: nothing changes";
    EXPECT_FALSE(wm.isClosingAll.peek());
    wm.createCover();
    EXPECT_FALSE(wm.undoableModels.peek());
}

TEST_F(CloseAllTest, ALayoutAppliedMidCascadeDropsItsCoversWithoutOfferButKeepsNoneOnScreen) {
    start();
    auto& wm = *manager();
    cover("Saved");
    wm.saveCurrentAsPreset("One");
    wm.closeAll();
    advance(1);
    cover("A");
    cover("B");
    wm.closeAll();
    advance(0.05);
    // A cover made during the cascade survives its end...
    const auto late = wm.createCover();
    advance(1);
    EXPECT_EQ(names(), std::vector<std::string>{late->name()});
    EXPECT_TRUE(wm.undoableModels.peek());

    // ...and one made before a layout interrupts the cascade leaves no window behind.
    wm.closeAll();
    advance(0.05);
    wm.createCover();
    wm.applyPreset(wm.presets.peek().front().id);
    advance(1);
    EXPECT_EQ(names(), std::vector<std::string>{"Saved"});
    EXPECT_EQ(coverWindowsOnScreen(), 1u);
    EXPECT_FALSE(wm.undoableModels.peek());
    EXPECT_FALSE(wm.isClosingAll.peek());
}

}  // namespace
}  // namespace talvori::testing
