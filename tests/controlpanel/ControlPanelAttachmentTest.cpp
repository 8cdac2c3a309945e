#include "controlpanel/ControlPanelAttachmentSection.hpp"
#include "controlpanel/ControlPanelTest.hpp"

namespace talvori::testing {
namespace {

using Section = ui::ControlPanelAttachmentSection;

std::vector<std::string> names(const std::vector<RunningApplication>& applications) {
    std::vector<std::string> result;
    for (const auto& app : applications) result.push_back(app.localizedName.value_or("(none)"));
    return result;
}

class ControlPanelAttachmentTest : public ControlPanelTest {
  protected:
    void showPanel() {
        cover = &addCover({100, 300, 300, 200});
        showPanelFor(*cover);
        input().moveMouse(global({150, 30}));
        runUntilIdle();
    }
    OverlayViewModel* cover = nullptr;
};

TEST_F(ControlPanelAttachmentTest, OnlyOtherRegularApplicationsAreListedInScalarOrder) {
    world().launchApplication("alpha", "org.example.alpha");
    world().launchApplication("Zeta", "org.example.zeta");
    world().launchApplication(std::nullopt, "org.example.nameless");
    world().launchApplication("Menu Extra", "org.example.extra", ActivationPolicy::accessory);
    world().launchApplication("Daemon", "org.example.daemon", ActivationPolicy::prohibited);
    world().launchApplication("fig", "org.example.fig");
    world().launchApplication("\u00e9clair", "org.example.eclair");
    world().launchApplication("e\u0301tude", "org.example.etude");
    world().launchApplication("No Bundle");
    const auto own = platform().workspace().bundleIdentifier();
    EXPECT_EQ(names(Section::attachableApps()),
              (std::vector<std::string>{"(none)", "No Bundle", "Zeta", "alpha", "fig",
                                        "\u00e9clair", "e\u0301tude"}));
    for (const auto& app : Section::attachableApps()) EXPECT_NE(app.bundleIdentifier, own);
}

TEST_F(ControlPanelAttachmentTest, PickingAnApplicationAttachesAndTheCoverFollowsItsWindow) {
    const auto editor = world().launchApplication("Editor", "org.example.editor");
    const auto window = world().openWindow(editor, "Draft", {600, 300, 500, 400});
    world().launchApplication("Browser", "org.example.browser");
    controller->onAttach = [this](const UUID& id, const AttachmentTarget& target) {
        covers.at(id)->attach(target);
    };
    controller->onDetach = [this](const UUID& id) { covers.at(id)->detach(); };
    showPanel();
    EXPECT_TRUE(shows("ATTACHMENT"));
    clickText("Attach to window");
    ASSERT_TRUE(shows("Browser"));
    clickText("Editor");
    EXPECT_FALSE(shows("Browser"));
    EXPECT_TRUE(shows("ATTACHED TO"));
    EXPECT_TRUE(shows("Editor"));

    const Rect before = covers.at(cover->id())->panel()->window().frame();
    world().moveWindow(window, {650, 250});
    runUntilIdle();
    const Rect after = covers.at(cover->id())->panel()->window().frame();
    EXPECT_EQ(after.origin, (Point{before.minX() + 50, before.minY() - 50}));

    showPanelFor(*cover);
    input().moveMouse(global({150, 30}));
    click(card().find(ui::Query::byIdentifier("detach")));
    EXPECT_FALSE(cover->model.peek().attachmentInfo);
    EXPECT_TRUE(shows("Attach to window"));
}

TEST_F(ControlPanelAttachmentTest, EachWindowIsARowByNameAndTitleAndPickingOneFollowsThatWindow) {
    simWindowList().setScreenRecordingGranted(true);
    const auto terminal = world().launchApplication("Terminal", "org.example.terminal");
    const auto notes = world().openWindow(terminal, "notes", {600, 300, 500, 400});
    const auto build = world().openWindow(terminal, "build", {620, 280, 500, 400});
    world().openWindow(terminal, "terminal", {640, 260, 500, 400});
    const auto wordy = world().launchApplication(
        "A Terminal Whose Desktop Entry Gives It A Name Longer Than Any Row", "org.example.wordy");
    world().openWindow(wordy, "tail", {660, 240, 500, 400});
    controller->onAttach = [this](const UUID& id, const AttachmentTarget& target) {
        covers.at(id)->attach(target);
    };
    showPanel();
    clickText("Attach to window");
    EXPECT_EQ(card().findAll(ui::Query::byText("Terminal")).size(), 3u)
        << "a window titled as its application shows the name once";
    EXPECT_FALSE(shows("terminal"));
    EXPECT_TRUE(shows("notes"));
    const Rect tail = card().find(ui::Query::byText("tail")).frame();
    EXPECT_GT(tail.width(), 0) << "a long name is cut short before the title";
    EXPECT_LE(tail.maxX(), controller->panel()->frame().width());
    clickText("build");
    ASSERT_TRUE(cover->model.peek().attachmentInfo);
    EXPECT_EQ(cover->model.peek().attachmentInfo->targetWindowTitle, "Terminal \u2014 build");
    EXPECT_TRUE(shows("Terminal \u2014 build"));

    const Rect before = covers.at(cover->id())->panel()->window().frame();
    world().moveWindow(notes, {700, 300});
    runUntilIdle();
    EXPECT_EQ(covers.at(cover->id())->panel()->window().frame(), before) << "not the other one";
    world().moveWindow(build, {660, 260});
    runUntilIdle();
    EXPECT_EQ(covers.at(cover->id())->panel()->window().frame().origin,
              (Point{before.minX() + 40, before.minY() - 20}));
}

TEST_F(ControlPanelAttachmentTest, TheListOpensOnlyOnceAccessibilityIsGranted) {
    world().launchApplication("Editor", "org.example.editor");
    simAccessibility().setTrusted(false);
    showPanel();
    clickText("Attach to window");
    EXPECT_EQ(simAccessibility().trustPromptCount(), 1);
    EXPECT_FALSE(shows("Editor"));
    simAccessibility().setTrusted(true);
    advance(0.5);
    runUntilIdle();
    EXPECT_TRUE(shows("Editor"));

    // A grant that comes after the section went finds nothing to open.
    controller->hideNow();
    auto& other = addCover({100, 40, 300, 150}, "Other");
    simAccessibility().setTrusted(false);
    moveAway();
    showPanelFor(other);
    input().moveMouse(global({150, 30}));
    clickText("Attach to window");
    controller->hideNow();
    moveAway();
    showPanelFor(*cover);
    simAccessibility().setTrusted(true);
    advance(0.5);
    runUntilIdle();
    EXPECT_FALSE(shows("Editor"));
    EXPECT_TRUE(shows("Attach to window"));
}

TEST_F(ControlPanelAttachmentTest, AnAttachedCoverShowsTheStoredNameOrWindow) {
    showPanel();
    cover->model.modify([](OverlayModel& model) {
        model.attachmentInfo = AttachmentInfo{42, "org.example.mail", std::nullopt};
    });
    runUntilIdle();
    EXPECT_TRUE(shows("Window"));
    cover->model.modify(
        [](OverlayModel& model) { model.attachmentInfo->targetWindowTitle = "Mail"; });
    runUntilIdle();
    EXPECT_TRUE(shows("Mail"));
    click(card().find(ui::Query::byIdentifier("detach")));
    EXPECT_EQ(calls, std::vector<std::string>{"detach Overlay 1"});
}

TEST_F(ControlPanelAttachmentTest, ARowShowsTheApplicationsIconBeforeItsName) {
    const auto editor = world().launchApplication("Editor", "org.example.editor");
    const Color green = Color::rgb255(52, 199, 89);
    world().setApplicationIcon(editor, sim::SimWorld::sampleIcon(green));
    world().launchApplication("Browser", "org.example.browser");
    showPanel();
    clickText("Attach to window");
    advance(0.3);  // the list is drawn once it has faded in
    const auto withIcon = card().find(ui::Query::byText("Editor")).frameOnScreen();
    const auto without = card().find(ui::Query::byText("Browser")).frameOnScreen();
    ASSERT_TRUE(withIcon && without);
    EXPECT_DOUBLE_EQ(withIcon->minX() - without->minX(), 16 + 8);
    const Color drawn = desktop().picture().colorAt({without->minX() + 3, withIcon->midY()});
    EXPECT_NEAR(drawn.green, green.green, 0.05);
    EXPECT_NEAR(drawn.red, green.red, 0.05);
}

}  // namespace
}  // namespace talvori::testing
