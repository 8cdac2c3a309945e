#include <cairo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "app/RuntimeCoordinator.hpp"
#include "app/TalvoriApp.hpp"
#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelAttachmentSection.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/AttachmentTarget.hpp"
#include "covers/CoverSamples.hpp"
#include "covers/OverlayWindowController.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/Image.hpp"
#include "platform/freedesktop/IconTheme.hpp"
#include "platform/x11/X11ApplicationIdentities.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/harness/X11ClientResources.hpp"
#include "support/TextContrast.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {
namespace {

namespace fs = std::filesystem;

// XDG data folders of the test's own, with one desktop entry and its icon in hicolor at two sizes
// (green at 16 pixels, red at 48), in place of the system's while the test runs.
class DesktopData {
  public:
    DesktopData()
        : folder_(fs::temp_directory_path() / ("talvori-data-" + std::to_string(::getpid()))) {
        fs::create_directories(folder_ / "applications");
        std::ofstream(folder_ / "applications" / "org.example.StandIn.desktop")
            << "[Desktop Entry]\nType=Application\nName=Stand-In Terminal\n"
               "Exec=env LANG=C standin --login\nIcon=standin\nStartupWMClass=StandIn\n";
        const fs::path theme = folder_ / "icons" / "hicolor";
        writeIcon(theme / "16x16" / "apps" / "standin.png", 16, 16, 0x00ff00);
        writeIcon(theme / "48x48" / "apps" / "standin.png", 48, 48, 0xff0000);
        std::ofstream(theme / "index.theme")
            << "[Icon Theme]\nName=Hicolor\nDirectories=16x16/apps,48x48/apps\n"
               "[16x16/apps]\nSize=16\n[48x48/apps]\nSize=48\n";
        for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::setenv(name, folder_.c_str(), 1);
        }
    }
    ~DesktopData() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name, value->c_str(), 1);
            } else {
                ::unsetenv(name);
            }
        }
        fs::remove_all(folder_);
    }

    const fs::path& folder() const { return folder_; }

    static void writeIcon(const fs::path& file, int width, int height, std::uint32_t rgb) {
        fs::create_directories(file.parent_path());
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* context = cairo_create(surface);
        cairo_set_source_rgb(context, ((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0,
                             (rgb & 255) / 255.0);
        cairo_paint(context);
        cairo_destroy(context);
        cairo_surface_write_to_png(surface, file.c_str());
        cairo_surface_destroy(surface);
    }

  private:
    fs::path folder_;
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// The colour in the middle of an icon drawn at 16 points, as 0xRRGGBB.
std::uint32_t middleOf(const Image& icon) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 16, 16);
    cairo_t* context = cairo_create(surface);
    icon.draw(context, {16, 16});
    cairo_destroy(context);
    cairo_surface_flush(surface);
    const auto* pixels =
        reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface));
    const std::uint32_t middle = pixels[8 * cairo_image_surface_get_stride(surface) / 4 + 8];
    cairo_surface_destroy(surface);
    return middle & 0xFFFFFF;
}

// Files anyone can put in their data folders, where a broken one must not stop the rest.
TEST(X11ApplicationIdentitiesTest, BrokenEntriesThemesAndIconsAreLeftOutWithoutBlocking) {
    const DesktopData data;
    const fs::path applications = data.folder() / "applications";
    const auto write = [](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    };
    write(applications / "odd.desktop",
          "[Desktop Entry]\nType=Application\nName=Odd\\nName\nExec=\"unterminated\n"
          "Icon=odd.png\nStartupWMClass=Odd\n");
    write(applications / "binary.desktop", std::string("\0\xff[Desktop Entry]\n\x80\0", 20));
    write(applications / "huge.desktop",
          "[Desktop Entry]\nType=Application\nName=Huge\nStartupWMClass=Huge\n#" +
              std::string(2U << 20, 'x') + "\n");
    ASSERT_EQ(::mkfifo((applications / "pipe.desktop").c_str(), 0600), 0);
    const fs::path pipeIcon = data.folder() / "pipe.png";
    ASSERT_EQ(::mkfifo(pipeIcon.c_str(), 0600), 0);
    // An entry that claims another class is not the one of a window its program started; the
    // next one running the program is.
    write(applications / "acme.desktop",
          "[Desktop Entry]\nType=Application\nName=Acme Notes\nExec=xterm\n"
          "StartupWMClass=AcmeNotes\n");
    write(applications / "term.desktop",
          "[Desktop Entry]\nType=Application\nName=Term\nExec=xterm\n");
    const freedesktop::DesktopEntries entries;
    const auto odd = entries.find("odd", "Odd", "");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->name, "Odd Name");
    EXPECT_EQ(odd->program, "");
    EXPECT_FALSE(entries.find("huge", "Huge", ""));
    EXPECT_EQ(entries.find("standin", "StandIn", "")->name, "Stand-In Terminal");
    EXPECT_EQ(entries.find("xterm", "OtherApp", "xterm")->name, "Term");

    // A theme that inherits itself, with sizes beyond any icon's, holding the icon by its stem.
    const fs::path broken = data.folder() / "icons" / "Broken";
    write(broken / "index.theme",
          "[Icon Theme]\nInherits=Broken,../hicolor\nDirectories=x\n"
          "[x]\nSize=2147483647\nThreshold=-2147483647\nType=Threshold\n");
    write(broken / "x" / "odd.png", "\x89PNG\r\n\x1a\n garbled");
    const auto found = freedesktop::IconTheme("Broken").find(odd->icon, 16);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, broken / "x" / "odd.png");
    EXPECT_FALSE(freedesktop::IconTheme("../Broken").find("odd", 16))
        << "no theme outside the roots";

    using Identities = x11::X11ApplicationIdentities;
    DesktopData::writeIcon(data.folder() / "wide.png", 4000, 1, 0xff0000);
    write(data.folder() / "claims.png",
          std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\x7f\xff\xff\xff\x7f\xff\xff\xff", 24));
    write(data.folder() / "cut.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect");
    write(data.folder() / "vast.svg",
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1e9\" height=\"1e9\" "
          "viewBox=\"0 0 1 1\"><rect width=\"1\" height=\"1\" fill=\"#00f\"/></svg>");
    for (const char* name : {"x/odd.png", "../wide.png", "../claims.png", "../cut.svg"}) {
        EXPECT_FALSE(Identities::iconFromFile(broken / name, 16)) << name;
    }
    EXPECT_FALSE(Identities::iconFromFile(pipeIcon, 16));
    EXPECT_FALSE(Identities::iconFromFile(data.folder() / "missing.png", 16));
    const auto vast = Identities::iconFromFile(data.folder() / "vast.svg", 16);
    ASSERT_TRUE(vast);
    EXPECT_EQ(middleOf(*vast), 0x0000ffU);

    // _NET_WM_ICON values that claim more than they hold, or sizes no icon has.
    EXPECT_FALSE(Identities::iconFromCardinals({0xFFFFFFFF, 0xFFFFFFFF, 0}, 16));
    EXPECT_FALSE(Identities::iconFromCardinals({2000, 2000, 1, 2, 3}, 16));
    EXPECT_FALSE(Identities::iconFromCardinals({7}, 16));
    std::vector<std::uint32_t> large{512, 512};
    large.resize(2 + 512 * 512, 0xff00ff00);
    large.insert(large.end(), {5, 5, 1});
    const auto scaled = Identities::iconFromCardinals(large, 16);
    ASSERT_TRUE(scaled) << "the whole icon before the cut one";
    EXPECT_EQ(middleOf(*scaled), 0x00ff00U);
}

class X11CoversTest : public X11DesktopTest {
  protected:
    // A cover at `frame` of the global space (y up from the bottom of the 800-point screen).
    void showCover(const Rect& frame) {
        OverlayModel model = sampleCover();
        model.opacity = 1;
        showCover(frame, std::move(model));
    }
    void showCover(const Rect& frame, OverlayModel model) {
        model.frame = CodableRect::fromRect(frame);
        viewModel = std::make_shared<OverlayViewModel>(std::move(model));
        controller = OverlayWindowController::create(viewModel);
        controller->show();
        ASSERT_TRUE(runUntil([&] { return driver().isViewable(window()); }));
    }
    xcb_window_t window() const { return controller->panel()->window().windowNumber(); }
    Rect recordFrame() const { return viewModel->model.peek().frame.rect(); }
    bool isAt(int x, int y, int width, int height) const {
        return driver().rootGeometry(window()) == std::vector<int>{x, y, width, height};
    }
    bool isAttached() const { return viewModel->model.peek().attachmentInfo.has_value(); }
    // The luminance of each pixel of a root area, row by row.
    std::vector<double> luminances(int x, int y, int width, int height) const {
        std::vector<double> values;
        for (const auto& pixel : driver().pixels(x, y, width, height)) {
            values.push_back(TextContrast::luminance(pixel.red / 255.0, pixel.green / 255.0,
                                                     pixel.blue / 255.0));
        }
        return values;
    }

    std::shared_ptr<OverlayViewModel> viewModel;
    std::shared_ptr<OverlayWindowController> controller;
};

TEST_F(X11CoversTest, ShowsAtItsFrameTakesDragsAndKeysAndLetsClicksThroughWhenAsked) {
    const auto below = openClient("Below", 100, 100, 700, 500, 0x30a050);
    const auto other = openClient("Other", 900, 100, 300, 300, 0x5030a0);
    showCover(Rect(200, 300, 300, 200));
    // Bottom-left global space to the top-left root: 800 - (300 + 200) = 300.
    EXPECT_TRUE(isAt(200, 300, 300, 200));
    EXPECT_TRUE(runUntil([&] { return driver().pixel(350, 400).red > 200; }));
    screenshot("cover");

    drag(350, 400, 390, 440);
    EXPECT_TRUE(runUntil([&] { return isAt(240, 340, 300, 200); }));
    EXPECT_EQ(recordFrame().origin, (Point{240, 260}));

    // The click made the cover the key window: arrows nudge it.
    driver().tap(X11TestDriver::kRight);
    EXPECT_TRUE(runUntil([&] { return recordFrame().origin == (Point{241, 260}); }));
    EXPECT_TRUE(runUntil([&] { return isAt(241, 340, 300, 200); }));

    activate(other.window);
    viewModel->setClickThroughEnabled(true);
    controller->syncPanelState();
    catchUp();
    driver().click(390, 440);
    EXPECT_TRUE(runUntil([&] { return driver().activeWindow() == below.window; }));
    EXPECT_TRUE(isAt(241, 340, 300, 200));
}

TEST_F(X11CoversTest, FollowsTheWindowItIsAttachedToAndLetsGoWhenItCloses) {
    const auto target = openClient("Target", 500, 200, 400, 300, 0x2060c0);
    showCover(Rect(520, 350, 200, 100));
    const auto start = driver().rootGeometry(window());
    ASSERT_EQ(start.size(), 4U);
    controller->attach(
        RunningApplication{target.pid, "Target", "Target", ActivationPolicy::regular});
    ASSERT_TRUE(runUntil([&] { return isAttached(); }));

    ASSERT_EQ(session().run({"xdotool", "windowmove", std::to_string(target.window), "560", "260"}),
              0);
    EXPECT_TRUE(runUntil([&] { return isAt(start[0] + 60, start[1] + 60, 200, 100); }));

    session().end(target.pid);
    EXPECT_TRUE(runUntil([&] { return !isAttached(); }));
    EXPECT_TRUE(driver().isViewable(window()));
}

TEST_F(X11CoversTest, AttachingToAWindowThatJustVanishedLeavesTheCoverAlone) {
    const auto target = openClient("Target", 500, 200, 400, 300, 0x2060c0);
    showCover(Rect(520, 350, 200, 100));
    // The window is gone on the server before the program has heard of it.
    driver().destroy(target.window);
    controller->attach(
        RunningApplication{target.pid, "Target", "Target", ActivationPolicy::regular});
    EXPECT_TRUE(runUntil([&] { return !isAttached(); }));
    EXPECT_TRUE(driver().isViewable(window()));
}

TEST_F(X11CoversTest, WindowsGoByTheirDesktopEntryAndTitleAndTheChosenOneIsFollowed) {
    const DesktopData data;
    X11TestSession::ClientLook standIn{"StandIn", true, std::nullopt, {}};
    const auto alpha = openClient("alpha", 100, 100, 300, 200, 0x304050, standIn);
    const auto beta = openClient("beta", 450, 150, 300, 200, 0x405060, standIn);
    standIn.iconColor = 0x0000ff;
    const auto gamma = openClient("gamma", 600, 250, 300, 200, 0x506070, standIn);
    const auto plain = openClient("Plain", 100, 450, 300, 200, 0x607080,
                                  X11TestSession::ClientLook{"Plain", true, 0x0000ff, {}});

    const auto targets =
        AttachmentTarget::windowsOf(ui::ControlPanelAttachmentSection::attachableApps());
    const auto targetOf = [&](xcb_window_t window) {
        const auto found = std::find_if(targets.begin(), targets.end(), [&](const auto& target) {
            return target.windowNumber == window;
        });
        EXPECT_NE(found, targets.end()) << window;
        return found == targets.end() ? AttachmentTarget(RunningApplication{}) : *found;
    };
    EXPECT_EQ(targetOf(alpha.window).label(), "Stand-In Terminal \u2014 alpha");
    EXPECT_EQ(targetOf(plain.window).label(), "Plain") << "no entry: its class, once";
    EXPECT_EQ(targetOf(beta.window).application.bundleIdentifier, "StandIn");
    // The entry's icon in the theme at the size nearest 16 pixels, also over the window's own;
    // without an entry, the window's.
    for (const auto& [client, rgb] :
         {std::pair{alpha, 0x00ff00U}, std::pair{gamma, 0x00ff00U}, std::pair{plain, 0x0000ffU}}) {
        const auto icon = targetOf(client.window).application.icon;
        ASSERT_TRUE(icon);
        EXPECT_EQ(middleOf(*icon), rgb);
    }

    showCover(Rect(470, 400, 200, 100));
    const auto start = driver().rootGeometry(window());
    ASSERT_EQ(start.size(), 4U);
    viewModel->model.modify([](OverlayModel& model) { model.zOrderMode = ZOrderMode::smart; });
    controller->attach(targetOf(beta.window));
    ASSERT_TRUE(runUntil([&] { return isAttached(); }));
    const AttachmentInfo info = *viewModel->model.peek().attachmentInfo;
    EXPECT_EQ(info.targetWindowTitle, "Stand-In Terminal \u2014 beta");
    // Gamma stood in front of beta, over part of the cover: attaching leaves the cover in front.
    const auto above = [&] {
        const auto order = driver().stacking();
        const auto at = [&](xcb_window_t window) {
            return std::find(order.begin(), order.end(), driver().frameOf(window)) - order.begin();
        };
        return at(window()) > at(gamma.window);
    };
    ASSERT_TRUE(windowManagerCatchesUp());
    EXPECT_TRUE(above()) << "the cover dropped behind a window in front of its target";
    ASSERT_EQ(session().run({"xdotool", "windowmove", std::to_string(alpha.window), "120", "120"}),
              0);
    ASSERT_EQ(session().run({"xdotool", "windowmove", std::to_string(beta.window), "470", "190"}),
              0);
    EXPECT_TRUE(runUntil([&] { return isAt(start[0] + 20, start[1] + 40, 200, 100); }));

    // Found again by its title, also when the stored process is another window's of the class.
    EXPECT_EQ(AttachmentTarget::find(info)->windowNumber, beta.window);
    AttachmentInfo older = info;
    older.targetPID = alpha.pid;
    EXPECT_EQ(AttachmentTarget::find(older)->windowNumber, beta.window);
}

// A reader's test: 12-pixel black text on white in another program's window, under a new glass
// cover on a compositor that blurs nothing, must lose nine tenths of its contrast, from 60 % up.
TEST_F(X11CoversTest, WithoutTheCompositorsBlurAGlassCoverHidesTheTextUnderIt) {
    ASSERT_NE(
        session().spawn({"xterm", "-geometry", "90x36+100+100", "-bg", "white", "-fg", "black",
                         "-fa", "DejaVu Sans Mono:pixelsize=12", "+cm", "-e", "sh", "-c",
                         "yes 'Quarterly figures: 4,812 units, margin 17.3 %, Oslo' | "
                         "head -n 30; exec sleep 600"}),
        0);
    // The terminal's window, once the window manager has taken it.
    xcb_window_t terminal = XCB_WINDOW_NONE;
    ASSERT_TRUE(runUntil([&] {
        for (const xcb_window_t client : driver().clientList()) {
            if (driver().windowClass(client).find("XTerm") != std::string::npos) terminal = client;
        }
        return terminal && driver().frameOf(terminal) != terminal;
    }));
    // The cover's area in root coordinates, inside the terminal's text whatever frame the window
    // manager gave it, and its frame in the global space.
    const auto corner = driver().pointIn(terminal, 100, 80);
    const int x = corner.x, y = corner.y, width = 360, height = 240;
    const Rect frame(x, 800 - y - height, width, height);
    // The page as it stands once the terminal has written it all (a busy machine can show a
    // steady unpainted window first).
    std::vector<double> page;
    ASSERT_TRUE(runUntil(
        [&] {
            return runUntilSteady<std::vector<double>>(
                       [&] { return page = luminances(x, y, width, height); }, 0.1, 1) &&
                   TextContrast(page).textPixels() > 5000 && TextContrast(page).uncovered() > 0.6;
        },
        10))
        << "the terminal's text";
    const TextContrast contrast(page);
    ASSERT_GT(contrast.uncovered(), 0.6);

    OverlayModel cover = sampleCover();
    cover.effectType = EffectType::glass;
    cover.blurRadius = 20;
    cover.opacity = 0.8;
    showCover(frame, cover);
    EXPECT_FALSE(platform().application().blursBehindWindows().get());
    const auto mean = [](const std::vector<double>& values) {
        return std::accumulate(values.begin(), values.end(), 0.0) /
               static_cast<double>(values.size());
    };
    // Drawn at each opacity once the page's brightness comes through as that opacity lets it:
    // hardly at first, a little more at 60 %.
    double brightness = 0.5;
    for (const double opacity : {0.8, 0.6}) {
        viewModel->setOpacity(opacity);
        std::vector<double> seen;
        EXPECT_TRUE(runUntil([&] {
            seen = luminances(x, y, width, height);
            return opacity > 0.7 ? mean(seen) < brightness : mean(seen) > brightness + 0.005;
        })) << opacity;
        // Read once the compositor has drawn the whole change.
        EXPECT_TRUE(runUntilSteady<std::vector<double>>(
            [&] { return seen = luminances(x, y, width, height); }));
        brightness = mean(seen);
        EXPECT_LT(contrast.of(seen), contrast.uncovered() / 10) << opacity;
        screenshot("frosted-cover-x11-" + std::to_string(static_cast<int>(opacity * 100)));
    }
}

}  // namespace
}  // namespace talvori::testing

namespace talvori::testing {
namespace {

// The whole program: covers made from its window manager, with their control panels.
class X11CoverCyclesTest : public X11DesktopTest {
  protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        platform().userDefaults().set("hasCompletedOnboarding", true);
        app = TalvoriApp::start();
        ASSERT_TRUE(runUntil([&] { return app->runtime()->windowManager.peek() != nullptr; }));
        manager = app->runtime()->windowManager.peek();
        ASSERT_TRUE(manager);
    }
    // To the middle of `frame` of the global space (y up from the bottom of the 800-point screen).
    void moveMouseTo(const Rect& frame) {
        driver().moveMouse(static_cast<int>(frame.midX()), 800 - static_cast<int>(frame.midY()));
    }
    std::uint32_t glyphSets() const {
        return X11ClientResources::of(driver(), desktop().connection().raw()).glyphSets;
    }

    std::shared_ptr<TalvoriApp> app;
    std::shared_ptr<WindowManager> manager;
};

// Each press of a labelled button scales its text for a moment; text drawn at a passing scale
// must not leave the X server holding glyph sets for it.
TEST_F(X11CoverCyclesTest, CoversClosedByTheirButtonLeaveNoGlyphSetsBehind) {
    auto& controls = manager->controlPanelController();
    const auto cycle = [&] {
        const auto cover = manager->createCover();
        cover->setEffectType(EffectType::solid);
        const auto& panel = manager->windowControllers.peek().at(cover->id())->panel()->window();
        ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel.windowNumber()); }));
        moveMouseTo(cover->model.peek().frame.rect());
        ASSERT_TRUE(runUntil([&] {
            return controls.isPanelVisible() && controls.panel()->alphaValue() == 1 &&
                   driver().isViewable(controls.panel()->windowNumber());
        }));
        const auto close = controls.hostingView()->host().find(ui::Query::byLabel("CLOSE"));
        ASSERT_TRUE(close);
        moveMouseTo(close.frameOnScreen().value_or(Rect()));
        catchUp();
        driver().buttonDown();
        catchUp();
        screenshot("cover-close-pressed");
        driver().buttonUp();
        ASSERT_TRUE(runUntil([&] { return manager->overlays.peek().empty(); }));
        driver().moveMouse(5, 5);
        catchUp();
    };
    cycle();
    const std::uint32_t atRest = glyphSets();
    EXPECT_GT(atRest, 0U) << "the panel's texts are drawn by the X server";
    for (int index = 0; index < 8 && !HasFatalFailure(); ++index) cycle();
    EXPECT_LE(glyphSets(), atRest + 1);
}

}  // namespace
}  // namespace talvori::testing
