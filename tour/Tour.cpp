#include "tour/Tour.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

extern char** environ;

namespace talvori::tour {

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t interrupted = 0;

bool isInterrupted() {
    return interrupted != 0;
}
using Driver = testing::X11TestDriver;

// A screen's worth of windows for Focus to dim and covers to hide.
constexpr std::uint32_t kNotesColor = 0xf4f1e8;
constexpr std::uint32_t kBrowserColor = 0x3b6ea5;

bool isTalvoriClass(const std::string& value) {
    return value == std::string("talvori\0Talvori\0", 16) || value == "talvori\0Talvori";
}

}  // namespace

Tour::Tour(Options options) : options_(std::move(options)) {
    // Stopped from outside, the tour still ends what it started: the waits give up and the
    // destructor runs.
    struct sigaction action {};
    action.sa_handler = [](int) { interrupted = 1; };
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

Tour::~Tour() {
    if (talvori_ > 0) {
        ::kill(talvori_, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (::waitpid(talvori_, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                ::kill(talvori_, SIGKILL);
                ::waitpid(talvori_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The desktop's programs end with the session, the server last.
    driver_.reset();
    session_.reset();
}

bool Tour::run() {
    std::filesystem::create_directories(options_.folder);
    for (const auto step : {&Tour::startDesktop, &Tour::startTalvori, &Tour::firstRun,
                            &Tour::focusOn, &Tour::coverDragged, &Tour::panelFromTray}) {
        if (!(this->*step)() || failed_) return false;
        if (isInterrupted()) return fail("interrupted");
        if (shots_ >= options_.steps) return true;
    }
    return true;
}

bool Tour::fail(const std::string& what) {
    std::fprintf(stderr, "tour: %s\n", what.c_str());
    failed_ = true;
    // What the screen showed when the step gave up says more than the message.
    if (driver_)
        driver_->screenshot((std::filesystem::path(options_.folder) / "failed.png").string());
    return false;
}

bool Tour::waitFor(const std::function<bool()>& condition, double seconds) const {
    // A wait ends as soon as what it waits for happens: a loaded machine may need all of it.
    const auto deadline =
        Clock::now() + std::chrono::duration<double>(seconds * std::max(1.0, options_.patience));
    while (!condition()) {
        if (Clock::now() >= deadline || isInterrupted()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void Tour::pause(double seconds) const {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds * options_.patience));
}

bool Tour::shoot(const std::string& name) {
    if (shots_ >= options_.steps) return false;
    char file[64];
    std::snprintf(file, sizeof file, "%02d-%s.png", ++shots_, name.c_str());
    const std::string path = (std::filesystem::path(options_.folder) / file).string();
    if (!driver_->screenshot(path)) return fail("cannot write " + path);
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    return shots_ < options_.steps;
}

// ---- The desktop and the program

bool Tour::startDesktop() {
    session_ =
        std::make_unique<testing::X11TestSession>(testing::X11TestSession::Options{.tray = true});
    if (!session_->isReady())
        return fail("the headless desktop did not start: " + session_->error());
    driver_ = std::make_unique<Driver>(session_->display());
    const auto notes = session_->openClient("Notes", 60, 110, 560, 400, kNotesColor);
    const auto browser = session_->openClient("Browser", 560, 280, 620, 440, kBrowserColor);
    notes_ = notes.window;
    browser_ = browser.window;
    const bool managed = waitFor(
        [&] {
            const auto clients = driver_->clientList();
            return std::count(clients.begin(), clients.end(), notes.window) +
                       std::count(clients.begin(), clients.end(), browser.window) ==
                   2;
        },
        5);
    if (!managed) return fail("the window manager did not take the other programs' windows");
    // Where their contents are, for whoever reads the screenshots: the frames are the window
    // manager's, and only the contents show the programs' own colours.
    for (const auto& [name, window] :
         {std::pair{"notes", notes_}, std::pair{"browser", browser_}}) {
        const auto frame = driver_->rootGeometry(window);
        std::printf("%s at %d %d %d %d\n", name, frame[0], frame[1], frame[2], frame[3]);
    }
    return true;
}

bool Tour::startTalvori() {
    // A fresh account: no settings, so the first-run window opens.
    const auto configuration = std::filesystem::path(options_.folder) / "config";
    std::filesystem::remove_all(configuration);
    std::filesystem::create_directories(configuration);
    // Its own runtime folder: without a session bus the one-instance lock lives there, and a
    // Talvori the user runs beside the tour must not take the tour's start for a second one.
    const auto runtime = std::filesystem::path(options_.folder) / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text = *entry;
        if (text.starts_with("DISPLAY=") || text.starts_with("XDG_CONFIG_HOME=") ||
            text.starts_with("XDG_RUNTIME_DIR=") || text.starts_with("DBUS_SESSION_BUS_ADDRESS=")) {
            continue;
        }
        environment.emplace_back(text);
    }
    environment.push_back("DISPLAY=" + session_->display());
    environment.push_back("XDG_CONFIG_HOME=" + configuration.string());
    environment.push_back("XDG_RUNTIME_DIR=" + runtime.string());
    // Not the user's own session bus: the item docks in this desktop's tray, not in theirs.
    environment.push_back("DBUS_SESSION_BUS_ADDRESS=disabled:");
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = options_.program;
    char* argv[] = {program.data(), nullptr};
    const std::string log = (std::filesystem::path(options_.folder) / "talvori.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int failed =
        ::posix_spawn(&talvori_, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        talvori_ = 0;
        return fail("cannot start " + program + ": " + std::strerror(failed));
    }
    return true;
}

// ---- Steps

bool Tour::firstRun() {
    if (!waitFor([&] { return firstRunWindow().has_value(); }, 15)) {
        return fail("the first-run window did not open (see talvori.log)");
    }
    // Each page is taken as a person sees it once its entrance has ended.
    auto settled = [&] {
        const auto window = firstRunWindow();
        if (!window || !settle(window->frame)) fail("the first-run page did not come to rest");
        return !failed_;
    };
    if (!settled()) return false;
    if (!shoot("first-run")) return true;
    // Each page's button is the orange one: Continue, Grant Accessibility (already granted
    // here: the page moves on by itself), Start using Talvori.
    auto button = [&]() -> std::optional<std::pair<int, int>> {
        const auto window = firstRunWindow();
        return window ? findButton(window->frame) : std::nullopt;
    };
    for (int page = 2; page <= 6; ++page) {
        std::optional<std::pair<int, int>> target;
        if (!waitFor([&] { return (target = button()).has_value(); }, 3)) {
            return fail("the first-run page shows no button to press");
        }
        const auto [x, y] = *target;
        driver_->click(x, y);
        if (waitFor([&] { return !firstRunWindow(); }, 0.5)) break;
        // The next page slides in, then shows its button.
        if (!waitFor([&] { return button().has_value(); }, 3)) continue;
        if (!settled()) return false;
        if (!shoot("first-run-" + std::to_string(page))) return true;
    }
    if (!waitFor([&] { return !firstRunWindow(); }, 3)) {
        return fail("the first-run window stayed open after its last page");
    }
    // The coach mark points at the status item a moment after the window closes.
    if (!waitFor([&] { return !talvoriPanels().empty(); }, 3)) {
        return fail("nothing pointed at the status item after the first run");
    }
    pause(0.4);
    return shoot("coach-mark");
}

bool Tour::focusOn() {
    const auto inNotes = driver_->middleOf(notes_);
    driver_->click(inNotes.x, inNotes.y);
    if (!waitFor([&] { return driver_->activeWindow() == notes_; }, 3)) {
        return fail("the Notes window did not become active");
    }
    const auto inBrowser = driver_->middleOf(browser_);
    const auto before = driver_->pixel(inBrowser);
    driver_->tap(Driver::kF, {Driver::kLeftShift, Driver::kLeftSuper});
    const bool dimmed = waitFor(
        [&] { return driver_->pixel(inBrowser).brightness() < before.brightness() * 0.8; }, 5);
    if (!dimmed) return fail("Shift-Super-F did not dim the windows behind the active one");
    pause(0.4);
    return shoot("focus");
}

bool Tour::settled(xcb_window_t window) const {
    if (!driver_->isViewable(window)) return false;
    const auto first = driver_->rootGeometry(window);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return !first.empty() && driver_->rootGeometry(window) == first;
}

void Tour::dragBy(int x, int y, int dx, int dy) {
    // A hand moves in time: the program sees each step.
    constexpr int kSteps = 8;
    driver_->moveMouse(x, y);
    pause(0.05);
    driver_->buttonDown();
    for (int step = 1; step <= kSteps; ++step) {
        pause(0.03);
        driver_->moveMouse(x + step * dx / kSteps, y + step * dy / kSteps);
    }
    pause(0.05);
    driver_->buttonUp();
}

bool Tour::coverDragged() {
    auto covers = [&] {
        std::vector<Window> found;
        for (const auto& panel : talvoriPanels()) {
            // The dimming panel covers the whole screen.
            if (panel.frame[2] < 1280 && panel.frame[3] < 800) found.push_back(panel);
        }
        return found;
    };
    // The new cover is the panel that was not there before: on a loaded machine the coach mark
    // may come late and still stand above it.
    std::vector<xcb_window_t> before;
    for (const auto& panel : covers()) before.push_back(panel.window);
    Window cover;
    const auto made = [&] {
        for (const auto& panel : covers()) {
            if (std::find(before.begin(), before.end(), panel.window) != before.end()) continue;
            cover = panel;
            return true;
        }
        return false;
    };
    driver_->tap(Driver::kN, {Driver::kLeftAlt, Driver::kLeftSuper});
    if (!waitFor(made, 5)) return fail("Alt-Super-N made no cover");
    // The press must find the cover on screen and settled, or it lands on the window below.
    if (!waitFor([&] { return settled(cover.window); }, 5)) {
        return fail("the new cover did not settle on screen");
    }
    const auto start = driver_->rootGeometry(cover.window);
    auto followed = [&] {
        const auto frame = driver_->rootGeometry(cover.window);
        return frame.size() == 4 && frame[0] == start[0] - 200 && frame[1] == start[1] + 120;
    };
    dragBy(start[0] + start[2] / 2, start[1] + start[3] / 2, -200, 120);
    bool moved = waitFor(followed, 3);
    // A loaded machine can deliver the press before the cover takes pointer input; a person
    // would simply try again.
    if (!moved && driver_->rootGeometry(cover.window) == start) {
        dragBy(start[0] + start[2] / 2, start[1] + start[3] / 2, -200, 120);
        moved = waitFor(followed, 3);
    }
    if (!moved) {
        return fail("the cover did not follow the drag: " + describe(cover.window, start) +
                    "; Talvori's panels: " + describePanels());
    }
    const auto frame = driver_->rootGeometry(cover.window);
    std::printf("cover at %d %d %d %d\n", frame[0], frame[1], frame[2], frame[3]);
    // Resting on the cover brings its control panel beside it.
    pause(0.8);
    return shoot("cover");
}

bool Tour::panelFromTray() {
    std::optional<Window> icon;
    if (!waitFor([&] { return (icon = trayIcon()).has_value(); }, 3)) {
        return fail("the status item is not in the tray");
    }
    const auto& frame = icon->frame;
    driver_->click(frame[0] + frame[2] / 2, frame[1] + frame[3] / 2);
    const bool shown = waitFor(
        [&] {
            for (const auto& panel : talvoriPanels()) {
                if (panel.frame[1] >= frame[1] + frame[3] && panel.frame[1] < 80 &&
                    panel.frame[2] > 200 && panel.frame[2] < 500) {
                    return true;
                }
            }
            return false;
        },
        3);
    if (!shown) return fail("a click on the status item did not open the panel below it");
    // The cover's control panel goes a moment after the pointer left the cover.
    pause(0.7);
    shoot("menu-bar-panel");
    return true;
}

// ---- Finding Talvori's windows

std::vector<std::uint32_t> Tour::capture(const std::vector<int>& frame) const {
    if (frame.size() != 4) return {};
    xcb_connection_t* connection = driver_->connection();
    auto* image = xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, driver_->root(),
                      static_cast<std::int16_t>(frame[0]), static_cast<std::int16_t>(frame[1]),
                      static_cast<std::uint16_t>(frame[2]), static_cast<std::uint16_t>(frame[3]),
                      ~std::uint32_t{0}),
        nullptr);
    if (!image) return {};
    const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
    std::vector<std::uint32_t> pixels(data, data + xcb_get_image_data_length(image) / 4);
    std::free(image);
    return pixels;
}

bool Tour::settle(const std::vector<int>& frame) const {
    // Longer than the pause before an entrance animation starts (the finish page's picture waits
    // 0.3 s), so that a page that has not begun to move is not taken for one that has ended.
    constexpr auto kStill = std::chrono::milliseconds(450);
    const auto deadline =
        Clock::now() + std::chrono::duration<double>(4 * std::max(1.0, options_.patience));
    auto last = capture(frame);
    auto stillSince = Clock::now();
    while (Clock::now() - stillSince < kStill) {
        if (Clock::now() >= deadline || isInterrupted()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        auto now = capture(frame);
        if (now != last) {
            last = std::move(now);
            stillSince = Clock::now();
        }
    }
    return true;
}

std::optional<std::pair<int, int>> Tour::findButton(const std::vector<int>& frame) const {
    const auto pixels = capture(frame);
    if (pixels.empty()) return std::nullopt;
    const int count = static_cast<int>(pixels.size());
    // The button is a filled block: rows where the orange runs unbroken for a while (the orange
    // link's letters never do).
    int left = frame[2], right = -1, top = frame[3], bottom = -1;
    for (int y = 0; y < frame[3]; y += 2) {
        int runStart = -1;
        for (int x = 0; x <= frame[2]; ++x) {
            bool orange = false;
            if (x < frame[2] && y * frame[2] + x < count) {
                const std::uint32_t pixel = pixels[y * frame[2] + x];
                const int red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF;
                const int blue = pixel & 0xFF;
                orange = red >= 220 && green >= 120 && green <= 190 && blue <= 110;
            }
            if (orange && runStart < 0) runStart = x;
            if (!orange && runStart >= 0) {
                if (x - runStart >= 60) {
                    left = std::min(left, runStart);
                    right = std::max(right, x - 1);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
                runStart = -1;
            }
        }
    }
    if (right < 0 || right - left < 20 || bottom - top < 10) return std::nullopt;
    return std::make_pair(frame[0] + (left + right) / 2, frame[1] + (top + bottom) / 2);
}

bool Tour::isTalvori(xcb_window_t window) const {
    return isTalvoriClass(driver_->windowClass(window));
}

std::string Tour::describe(xcb_window_t window, const std::vector<int>& was) const {
    auto frame = [](const std::vector<int>& values) {
        std::string text;
        for (const int value : values) text += (text.empty() ? "" : " ") + std::to_string(value);
        return text.empty() ? std::string("none") : text;
    };
    return "window " + std::to_string(window) + " from " + frame(was) + " to " +
           frame(driver_->rootGeometry(window));
}

std::string Tour::describePanels() const {
    std::string text;
    for (const auto& panel : talvoriPanels()) {
        text += (text.empty() ? "" : ", ") + describe(panel.window, panel.frame);
    }
    return text;
}

std::vector<Tour::Window> Tour::talvoriPanels() const {
    std::vector<Window> panels;
    for (const xcb_window_t window : driver_->stacking()) {
        if (!driver_->isViewable(window) || !isTalvori(window)) continue;
        panels.push_back({window, driver_->rootGeometry(window)});
    }
    return panels;
}

std::optional<Tour::Window> Tour::firstRunWindow() const {
    for (const xcb_window_t client : driver_->clientList()) {
        if (isTalvori(client) && driver_->isViewable(client)) {
            return Window{client, driver_->rootGeometry(client)};
        }
    }
    return std::nullopt;
}

std::optional<Tour::Window> Tour::trayIcon() const {
    const xcb_window_t icon =
        driver_->findDocked([&](xcb_window_t window) { return isTalvori(window); });
    if (icon == XCB_WINDOW_NONE) return std::nullopt;
    return Window{icon, driver_->rootGeometry(icon)};
}

}  // namespace talvori::tour
