#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/OverlayViewModel.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/atspi/X11AtspiDesktopTest.hpp"
#include "platform/atspi/harness/AtspiTestBus.hpp"
#include "platform/atspi/harness/AtspiTestSettings.hpp"
#include "platform/atspi/harness/OrcaTestReader.hpp"
#include "platform/freedesktop/AtspiBridge.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/harness/X11TestBus.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {
namespace {

// The Linux input code of the comma key.
constexpr std::uint8_t kComma = 51;
constexpr std::uint8_t kReturn = 28;

// A window opened from the keyboard (a cover's control panel by a click on it), and the names Orca
// says: first as the window opens, then one after each Tab.
struct SpokenWalk {
    std::string window;
    std::vector<std::string> said;
};

void PrintTo(const SpokenWalk& walk, std::ostream* out) {
    *out << walk.window;
}

class X11OrcaFixture : public X11AtspiDesktopTest {
  protected:
    void SetUp() override {
        X11AtspiDesktopTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(accessibility->setEnabled(true));
        orca = std::make_unique<OrcaTestReader>(session(), accessibility->address());
        ASSERT_TRUE(orca->isReady()) << orca->error();
        ASSERT_TRUE(runUntil([&] { return desktop().accessibilityBridge().isRegistered(); }));
    }
    void beforeRuntimeStarts() override { registerSettingsScene(); }
    void open(const std::string& window) {
        auto& panel = manager->menuBarPanelController();
        if (window == "controlPanel") return openControlPanel();
        // As its shortcut opens it.
        panel.showPanel(true);
        ASSERT_TRUE(runUntil([&] { return panel.isPanelVisible(); }));
        if (window != "settings") return;
        driver().tap(kComma, {X11TestDriver::kLeftSuper});
    }
    // Where the pointer rests on a cover, clicked on its heading, which presses nothing.
    void openControlPanel() {
        auto* const shown = restPointerOnNewCover();
        ASSERT_TRUE(shown) << "the control panel";
        auto& controls = *shown;
        const auto heading = controls.hostingView()->host().find(ui::Query::byText("APPEARANCE"));
        const Rect box = heading.frameOnScreen().value_or(Rect());
        driver().click(static_cast<int>(box.midX()), 800 - static_cast<int>(box.midY()));
        ASSERT_TRUE(runUntil([&] { return controls.panel()->isKeyWindow(); }));
    }
    // Waits until Orca says `name` after what it said before; false after five seconds.
    bool says(const std::string& name) {
        const bool said =
            runUntil([&] { return orca->speech().find(name, heard) != std::string::npos; });
        if (said) heard = orca->speech().find(name, heard) + name.size();
        return said;
    }

    // How often Orca said `text` since `from`.
    std::size_t timesSaid(const std::string& text, std::size_t from) const {
        std::size_t count = 0;
        const std::string speech = orca->speech();
        for (auto at = speech.find(text, from); at != std::string::npos;
             at = speech.find(text, at + text.size())) {
            ++count;
        }
        return count;
    }

    std::unique_ptr<OrcaTestReader> orca;
    std::size_t heard = 0;
};

class X11OrcaTest : public X11OrcaFixture, public ::testing::WithParamInterface<SpokenWalk> {};
using X11OrcaKeysTest = X11OrcaFixture;

TEST_P(X11OrcaTest, TabThroughTheWindowSpeaksEachControlsName) {
    const auto& walk = GetParam();
    heard = orca->speech().size();
    open(walk.window);
    for (std::size_t index = 0; index < walk.said.size(); ++index) {
        if (index > 0) driver().tap(X11TestDriver::kTab);
        ASSERT_TRUE(says(walk.said[index])) << walk.said[index] << " is not said; Orca said:\n"
                                            << orca->speech();
    }
}

// Control+Tab takes the focus to the new page's tab, whose name Orca says.
TEST_F(X11OrcaKeysTest, ControlTabInSettingsSaysTheNewPage) {
    heard = orca->speech().size();
    open("settings");
    ASSERT_TRUE(says("General")) << orca->speech();
    driver().tap(X11TestDriver::kTab, {X11TestDriver::kLeftControl});
    EXPECT_TRUE(says("Shortcuts")) << orca->speech();
}

// The Focus Mode switch is said once with its new state, however many controls it brings.
TEST_F(X11OrcaKeysTest, TheFocusModeSwitchIsSaidOnceWithItsNewState) {
    heard = orca->speech().size();
    open("panel");
    for (const char* name : {"Settings", "Quit Talvori", "Focus Mode"}) {
        if (std::string(name) != "Settings") driver().tap(X11TestDriver::kTab);
        ASSERT_TRUE(says(name)) << name << " is not said; Orca said:\n" << orca->speech();
    }
    // Orca says the key first.
    driver().tap(X11TestDriver::kSpace);
    ASSERT_TRUE(says("space")) << orca->speech();
    const std::size_t before = heard;
    ASSERT_TRUE(says("pressed")) << orca->speech();
    // Long enough for the controls Focus Mode brings to have been read.
    runUntil([] { return false; }, 1.0);
    EXPECT_EQ(timesSaid("pressed", before), 1U) << orca->speech().substr(before);
}

// Each first-run page is read as it shows, its heading and text and then the button with the
// focus, as Orca reads an assistant's pages: as the window opens, after Continue (Return) and
// after "Skip for now" (Tab, Space).
TEST_F(X11OrcaKeysTest, EachFirstRunPageIsReadAsItShows) {
    heard = orca->speech().size();
    ASSERT_TRUE(openFirstRun());
    const std::vector<std::vector<std::uint8_t>> keys{
        {}, {kReturn}, {X11TestDriver::kTab, X11TestDriver::kSpace}};
    const std::vector<std::vector<std::string>> pages{
        {"Clear what matters", "Dim or blur everything", "Continue"},
        {"Talvori is almost ready", "Focus needs Accessibility", "Grant Accessibility"},
        {"You're set", "Start using Talvori"}};
    for (std::size_t page = 0; page < pages.size(); ++page) {
        for (const auto key : keys[page]) driver().tap(key);
        for (const auto& said : pages[page])
            ASSERT_TRUE(says(said)) << said << " is not said; Orca said:\n" << orca->speech();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, X11OrcaTest,
    ::testing::Values(SpokenWalk{"panel", {"Settings", "Quit Talvori", "Focus Mode"}},
                      SpokenWalk{"settings", {"General", "Shortcuts", "Launch at Login"}},
                      SpokenWalk{"controlPanel",
                                 {"Overlay 1 settings", "Overlay 1", "Rename cover", "Glass"}}),
    [](const auto& info) { return info.param.window; });

}  // namespace
}  // namespace talvori::testing
