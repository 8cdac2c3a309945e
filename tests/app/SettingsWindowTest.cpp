#include <algorithm>
#include <cstdlib>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/Key.hpp"
#include "app/AppTest.hpp"
#include "focus/SpotlightController.hpp"
#include "platform/desktop/TitleBar.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "reminder/UpdateReminder.hpp"
#include "settings/GeneralSettingsTab.hpp"
#include "settings/SettingsView.hpp"
#include "settings/ShortcutsSettingsTab.hpp"
#include "support/HangingTransport.hpp"
#include "updates/RecordingUserDriver.hpp"
#include "updates/Updater.hpp"

namespace talvori::testing {
namespace {

using GlobalShortcuts::Key;
using GlobalShortcuts::Shortcut;
using ui::GeneralSettingsTab;
using ui::ShortcutsSettingsTab;

constexpr const char* kLaunchAtLogin = GeneralSettingsTab::kLaunchAtLoginSwitch;
constexpr const char* kAutomaticChecks = GeneralSettingsTab::kAutomaticChecksSwitch;
constexpr std::uint64_t kControlOptionCommand =
    ModifierFlags::control | ModifierFlags::option | ModifierFlags::command;

// The settings window of the running application, opened and driven as a user does: the pointer
// and keyboard of the simulated desktop on what the window shows.
class SettingsWindowTest : public AppTest {
  protected:
    void start() {
        onboard();
        world().setAccessibilityTrusted(true);
        startApp();
    }
    void open() {
        platform().application().activate();
        simApplication().openWindow("settings");
        settle();
    }
    void settle() {
        runUntilIdle();
        advance(1);
    }
    std::shared_ptr<Panel> window() const { return simApplication().sceneWindow("settings"); }
    ui::Host& views() const { return viewsOf(*window()); }
    ui::NodeRef labelled(const std::string& label) const {
        return views().find(ui::Query::byLabel(label));
    }
    Point onScreen(const ui::NodeRef& node) const {
        const Rect frame = node.frameOnScreen().value_or(Rect());
        return {frame.midX(), frame.midY()};
    }
    void click(const ui::NodeRef& node) {
        input().click(onScreen(node));
        settle();
    }
    ui::NodeRef identified(const std::string& identifier) const {
        return views().find(ui::Query::byIdentifier(identifier));
    }
    void clickLabelled(const std::string& label) { click(labelled(label)); }
    void flip(const std::string& identifier) { click(identified(identifier)); }
    sim::KeyDelivery key(Key key, std::uint64_t flags = 0) {
        const auto code = static_cast<std::uint16_t>(key.rawValue);
        const auto delivery = input().typeKey(
            sim::KeyStroke::key(code, simKeyboardLayout().characters(code).value_or(""), flags));
        settle();
        return delivery;
    }
    std::optional<bool> storedLaunchAtLogin() const {
        return defaults().boolValue(GeneralSettingsTab::kLaunchAtLoginKey);
    }
    bool switchIsOn(const std::string& identifier) const {
        return identified(identifier).accessibilityElement()->value == "On";
    }
    // An updater whose checks never finish, known to the reminder as the application's.
    std::shared_ptr<updates::Updater> useUpdater(bool started = true) {
        auto updater =
            updates::Updater::make({"Talvori", "1", "1.0", "https://talvori.org/appcast.xml",
                                    "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=", ""},
                                   driver, UpdateReminder::shared(), transport);
        if (started) {
            EXPECT_TRUE(updater->start());
        }
        UpdateReminder::shared()->updater = updater;
        return updater;
    }
    void picture(const std::string& name) const {
        if (const char* folder = std::getenv("TALVORI_PICTURES")) {
            sim::ScreenPicture::render(world(), &simStatusBar())
                .writePNG(std::string(folder) + "/" + name + ".png");
            views().writePNG(std::string(folder) + "/" + name + "-content.png", 2);
        }
    }

    std::shared_ptr<RecordingUserDriver> driver = std::make_shared<RecordingUserDriver>();
    std::shared_ptr<HangingTransport> transport = std::make_shared<HangingTransport>();
};

TEST_F(SettingsWindowTest, GearOpensGeneralAndTheWindowFollowsTheTabs) {
    defaults().set(GeneralSettingsTab::kLaunchAtLoginKey, true);
    start();
    manager()->showMenuBarPanel();
    runUntilIdle();
    click(viewsOf(*menuPanel()).find(ui::Query::byLabel("Settings")));
    ASSERT_TRUE(window());
    EXPECT_EQ(window()->title(), "Settings");
    const auto pane = [this] { return identified(ui::SettingsView::kPaneIdentifier).frame(); };
    EXPECT_EQ(pane().size, (Size{540, 284}));
    // The tab bar stands above the tab, as a toolbar, clear of the window's title bar.
    const double bar = window()->frame().height() - 284;
    EXPECT_GE(labelled("General").frame().minY(), TitleBar::kHeight);
    EXPECT_EQ(window()->frame().size, (Size{540, bar + 284}));
    EXPECT_TRUE(identified(kLaunchAtLogin));
    EXPECT_TRUE(switchIsOn(kLaunchAtLogin)) << "the stored value";
    EXPECT_EQ(simLoginItem().registerCount() + simLoginItem().unregisterCount(), 0)
        << "showing the switch changes nothing";
    picture("settings-general");

    const double top = window()->frame().maxY();
    clickLabelled("Shortcuts");
    EXPECT_EQ(pane().size, (Size{540, 558}));
    EXPECT_EQ(window()->frame().size, (Size{540, bar + 558}));
    // It grows downwards, rising only as far as its bottom needs to stay on the screen.
    const Rect visible = world().screens().front().visibleFrame;
    EXPECT_EQ(window()->frame().minY(), std::max(visible.minY(), top - bar - 558));
    EXPECT_TRUE(top - bar - 558 < visible.minY()) << "the General window stands that low";
    EXPECT_FALSE(identified(kLaunchAtLogin));
    for (const char* subtitle :
         {"Open the Talvori panel from anywhere.", "Turn Focus Mode on or off from anywhere.",
          "Create a cover from anywhere."}) {
        EXPECT_TRUE(labelled(subtitle)) << subtitle;
    }
    picture("settings-shortcuts");
    clickLabelled("General");
    EXPECT_EQ(window()->frame().size, (Size{540, bar + 284}));

    // Closed and opened again with Command-comma in the panel, the window starts on General.
    clickLabelled("Shortcuts");
    simApplication().userClosesWindow("settings");
    settle();
    manager()->showMenuBarPanel();
    runUntilIdle();
    input().typeKey(sim::KeyStroke::key(43, ",", ModifierFlags::command));
    settle();
    ASSERT_TRUE(window());
    EXPECT_EQ(pane().size, (Size{540, 284}));
}

TEST_F(SettingsWindowTest, OpenedFromTheKeyboardTheWindowStartsAtItsFirstControl) {
    start();
    manager()->showMenuBarPanel();
    runUntilIdle();
    click(viewsOf(*menuPanel()).find(ui::Query::byLabel("Settings")));
    EXPECT_EQ(focusedIn(views().accessibilityElements()), "") << "a click shows no ring";
    window()->close();
    settle();
    manager()->showMenuBarPanel();
    runUntilIdle();
    key(Key::comma, ModifierFlags::command);
    ASSERT_TRUE(window());
    EXPECT_EQ(focusedIn(views().accessibilityElements()), "General");
}

TEST_F(SettingsWindowTest, LaunchAtLoginAsksTheLoginItemAndFallsBackToItsStateSilently) {
    start();
    open();
    EXPECT_FALSE(switchIsOn(kLaunchAtLogin)) << "off without a stored value";
    flip(kLaunchAtLogin);
    EXPECT_EQ(simLoginItem().registerCount(), 1);
    EXPECT_EQ(simLoginItem().status(), LoginItem::Status::enabled);
    EXPECT_EQ(storedLaunchAtLogin(), true);
    flip(kLaunchAtLogin);
    EXPECT_EQ(simLoginItem().unregisterCount(), 1);
    EXPECT_EQ(storedLaunchAtLogin(), false);

    // A refused registration: the switch goes back off, the contrary call follows once.
    simLoginItem().setFailure("refused");
    flip(kLaunchAtLogin);
    EXPECT_EQ(simLoginItem().registerCount(), 2);
    EXPECT_EQ(simLoginItem().unregisterCount(), 2);
    EXPECT_EQ(storedLaunchAtLogin(), false);
    EXPECT_FALSE(switchIsOn(kLaunchAtLogin));
    EXPECT_TRUE(simAlerts().records().empty());

    // A refused unregistration of an enabled item turns the switch back on and registers again.
    simLoginItem().setFailure(std::nullopt);
    flip(kLaunchAtLogin);
    simLoginItem().setFailure("refused");
    flip(kLaunchAtLogin);
    EXPECT_EQ(simLoginItem().unregisterCount(), 3);
    EXPECT_EQ(simLoginItem().registerCount(), 4);
    EXPECT_EQ(storedLaunchAtLogin(), true);
    EXPECT_TRUE(switchIsOn(kLaunchAtLogin));
}

TEST_F(SettingsWindowTest, UpdateControlsFollowTheUpdater) {
    start();
    auto updater = useUpdater(false);
    open();
    const auto check = [this] { return labelled(GeneralSettingsTab::kCheckForUpdatesTitle); };
    EXPECT_FALSE(check().isEnabled()) << "no check may start before the updater does";
    ASSERT_TRUE(updater->start());
    settle();
    EXPECT_TRUE(check().isEnabled());

    // The tests' store starts with automatic checks off.
    EXPECT_FALSE(switchIsOn(kAutomaticChecks));
    flip(kAutomaticChecks);
    EXPECT_TRUE(updater->automaticallyChecksForUpdates());
    EXPECT_TRUE(switchIsOn(kAutomaticChecks));
    flip(kAutomaticChecks);
    EXPECT_FALSE(updater->automaticallyChecksForUpdates());

    click(check());
    EXPECT_TRUE(updater->sessionInProgress().peek());
    EXPECT_EQ(transport->requests, std::vector<std::string>{"https://talvori.org/appcast.xml"});
    EXPECT_FALSE(check().isEnabled()) << "disabled while the session runs";
    click(check());
    EXPECT_EQ(transport->requests.size(), 1u);
    driver->cancel();
    settle();
    EXPECT_TRUE(check().isEnabled());
}

// Such a build comes from a distribution or from source: its texts name both.
TEST_F(SettingsWindowTest, ABuildWithoutAnUpdateKeyLeavesUpdatesToWhatInstalledIt) {
    Bundle bundle = platform().mainBundle();
    bundle.setValue(Bundle::kPublicKeyKey, std::string(""));
    platform().setMainBundle(bundle);
    // An update that a build of ours with a key found earlier.
    const auto offered = UpdateReminder::encode({"99.0", "990000", std::nullopt});
    defaults().set(UpdateReminder::kPendingUpdateKey, Data(offered->begin(), offered->end()));
    start();
    std::vector<LogRecord> lines;
    for (const auto& record : logs().records()) {
        if (record.category == "Updates") lines.push_back(record);
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines.front().level, LogLevel::info);
    EXPECT_NE(lines.front().message.find("package manager, or a newer build"), std::string::npos);
    EXPECT_FALSE(app->updater());
    // Neither the panel's row nor its callout can offer an update this build cannot install.
    EXPECT_FALSE(UpdateReminder::shared()->pendingUpdate().peek());
    EXPECT_FALSE(UpdateReminder::shared()->shouldShowCallout());

    open();
    EXPECT_TRUE(labelled("Updated Where You Installed It"));
    EXPECT_TRUE(
        labelled("New versions come from where you installed Talvori: your package manager, "
                 "or a newer build of your own."));
    EXPECT_FALSE(identified(kAutomaticChecks));
    EXPECT_FALSE(labelled(GeneralSettingsTab::kCheckForUpdatesTitle));
    picture("settings-general-package-manager");
}

TEST_F(SettingsWindowTest, VersionLineNamesVersionAndBuildAndCopies) {
    Bundle bundle;
    bundle.setValue(Bundle::kShortVersionKey, std::string("1.2.4"));
    bundle.setValue(Bundle::kVersionKey, std::string("10204"));
    EXPECT_EQ(GeneralSettingsTab::versionLine(bundle), "Talvori 1.2.4 (10204)");
    bundle.setValue(Bundle::kVersionKey, std::nullopt);
    EXPECT_EQ(GeneralSettingsTab::versionLine(bundle), "Talvori 1.2.4 (?)");
    bundle.setValue(Bundle::kShortVersionKey, std::int64_t{3});
    EXPECT_EQ(GeneralSettingsTab::versionLine(bundle), "Talvori ? (?)");
    EXPECT_EQ(GeneralSettingsTab::versionLine(Bundle()), "Talvori ? (?)");

    bundle.setValue(Bundle::kShortVersionKey, std::string("1.2.4"));
    bundle.setValue(Bundle::kVersionKey, std::string("7"));
    platform().setMainBundle(bundle);
    start();
    open();
    const auto line = views().find(ui::Query::byText("Talvori 1.2.4 (7)"));
    ASSERT_TRUE(line);
    click(line);
    key(Key::a, ModifierFlags::command);
    key(Key::c, ModifierFlags::command);
    EXPECT_EQ(simPasteboard().string(), "Talvori 1.2.4 (7)");
}

TEST_F(SettingsWindowTest, EachFieldRecordsAndEveryChangeReappliesTheFocusRule) {
    start();
    open();
    clickLabelled("Shortcuts");
    const auto restore = [this] { return labelled(ShortcutsSettingsTab::kRestoreDefaultsTitle); };
    EXPECT_EQ(restore().opacity(), 0);
    EXPECT_FALSE(restore().isEnabled());
    EXPECT_EQ(views().accessibilityDump().find("Restore Defaults"), std::string::npos);

    // On screen, the rows stand in their own order.
    const std::vector<std::pair<std::string, GlobalShortcuts::Name>> rows{
        {"Show Talvori Panel", ShortcutNames::showPanel()},
        {"Toggle Focus Mode", ShortcutNames::toggleFocus()},
        {"New Cover", ShortcutNames::newCover()},
        {"Stronger Focus", ShortcutNames::strongerFocus()},
        {"Softer Focus", ShortcutNames::weakerFocus()},
        {"More Blur", ShortcutNames::moreBlur()},
        {"Less Blur", ShortcutNames::lessBlur()}};
    const std::vector<Key> digits{Key::one,  Key::two, Key::three, Key::four,
                                  Key::five, Key::six, Key::seven};
    double previousTop = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto field = labelled(rows[i].first + " shortcut");
        ASSERT_TRUE(field) << rows[i].first;
        EXPECT_GT(field.frame().minY(), previousTop);
        previousTop = field.frame().minY();
        click(field);
        EXPECT_EQ(key(digits[i], kControlOptionCommand), sim::KeyDelivery::swallowed);
        key(Key::escape);
        EXPECT_EQ(rows[i].second.shortcut(), Shortcut(digits[i], kControlOptionCommand))
            << rows[i].first;
        EXPECT_EQ(focusOn(), 0) << "Focus is off: its shortcuts stay off after " << rows[i].first;
    }
    EXPECT_EQ(globalOn(), 3);
    EXPECT_EQ(restore().opacity(), 1);
    EXPECT_TRUE(restore().isEnabled());

    // With Focus on, restoring the defaults leaves all seven active.
    manager()->spotlightController().activate();
    ASSERT_EQ(focusOn(), 4);
    click(restore());
    EXPECT_TRUE(ShortcutsSettingsTab::allShortcutsAreDefaults());
    EXPECT_EQ(globalOn(), 3);
    EXPECT_EQ(focusOn(), 4);
    EXPECT_EQ(restore().opacity(), 0);
    EXPECT_FALSE(restore().isEnabled());
}

TEST_F(SettingsWindowTest, RestoreDefaultsFollowsEveryDifferenceAndKeepsFocusShortcutsOff) {
    start();
    open();
    clickLabelled("Shortcuts");
    const auto restore = [this] { return labelled(ShortcutsSettingsTab::kRestoreDefaultsTitle); };
    const Rect footnote = views().find(ui::Query::byText(ShortcutsSettingsTab::kFootnote)).frame();

    // A change made elsewhere shows, fading in; recording the default back fades it out.
    GlobalShortcuts::setShortcut(Shortcut(Key::k, kControlOptionCommand),
                                 ShortcutNames::newCover());
    runUntilIdle();
    advance(0.075);
    EXPECT_GT(restore().opacity(), 0.2);
    EXPECT_LT(restore().opacity(), 1);
    settle();
    EXPECT_EQ(restore().opacity(), 1);
    EXPECT_EQ(views().find(ui::Query::byText(ShortcutsSettingsTab::kFootnote)).frame(), footnote)
        << "the footnote never moves";
    picture("settings-shortcuts-restore");
    GlobalShortcuts::setShortcut(ShortcutNames::newCover().initialShortcut,
                                 ShortcutNames::newCover());
    settle();
    EXPECT_EQ(restore().opacity(), 0);

    // Clearing a shortcut that has a default is a difference too.
    GlobalShortcuts::setShortcut(std::nullopt, ShortcutNames::lessBlur());
    settle();
    EXPECT_FALSE(ShortcutsSettingsTab::allShortcutsAreDefaults());
    EXPECT_EQ(restore().opacity(), 1);
    click(restore());
    EXPECT_EQ(ShortcutNames::lessBlur().shortcut(), ShortcutNames::lessBlur().initialShortcut);
    EXPECT_EQ(focusOn(), 0) << "Focus is off";
    EXPECT_EQ(globalOn(), 3);
}

TEST_F(SettingsWindowTest, BeforeTheRuntimeRestoringKeepsTheFocusShortcutsOff) {
    startApp();
    ASSERT_FALSE(manager());
    open();
    clickLabelled("Shortcuts");
    GlobalShortcuts::setShortcut(Shortcut(Key::k, kControlOptionCommand),
                                 ShortcutNames::strongerFocus());
    GlobalShortcuts::enable(ShortcutNames::focusShortcutNames());
    settle();
    click(labelled(ShortcutsSettingsTab::kRestoreDefaultsTitle));
    EXPECT_TRUE(ShortcutsSettingsTab::allShortcutsAreDefaults());
    EXPECT_EQ(focusOn(), 0);
}

TEST_F(SettingsWindowTest, ClickBesideTheFieldsEndsTheirFocus) {
    start();
    open();
    clickLabelled("Shortcuts");
    const auto field = [this] { return labelled("New Cover shortcut"); };
    views().requestFocus(*field().node());
    settle();
    ASSERT_TRUE(field().isFocused());
    const Rect frame = window()->frame();
    input().click({frame.minX() + 200, frame.minY() + 10});
    settle();
    EXPECT_FALSE(field().isFocused());
}

}  // namespace
}  // namespace talvori::testing
