#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/atspi/harness/AtspiTestBus.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/harness/X11TestBus.hpp"
#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The program's output and exit status for one command line (the shell runs it).
struct Outcome {
    int status = -1;
    std::string output;
};

Outcome runProgram(const std::string& environment, const std::string& arguments) {
    const std::string command =
        environment + " " + TALVORI_PROGRAM + " " + arguments + " 2>&1 </dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {};
    Outcome outcome;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) outcome.output += buffer;
    const int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

bool waitFor(const std::function<bool()>& condition, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

TEST(X11ProgramCommandLineTest, HelpVersionUnknownOptionsAndNoDisplaySayWhatTheyShould) {
    const auto help = runProgram("XDG_CONFIG_HOME=/tmp/talvori-help", "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Usage: talvori"), std::string::npos) << help.output;
    EXPECT_NE(help.output.find("Dims or blurs"), std::string::npos) << "both of Focus's effects";
    EXPECT_NE(help.output.find("/tmp/talvori-help/talvori/defaults.json"), std::string::npos);
    EXPECT_NE(help.output.find("journalctl"), std::string::npos);

    const auto version = runProgram("", "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("Talvori 0.", 0), 0u) << version.output;

    const auto unknown = runProgram("", "--frobnicate");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.output.find("--frobnicate"), std::string::npos);
    EXPECT_NE(unknown.output.find("Usage: talvori"), std::string::npos);

    const auto headless = runProgram("env -u DISPLAY", "");
    EXPECT_EQ(headless.status, 1);
    EXPECT_NE(headless.output.find("DISPLAY"), std::string::npos) << headless.output;
    EXPECT_NE(headless.output.find("scripts/run"), std::string::npos);
}

// The program as a user runs it, on a desktop with a tray, already past its first run, with its
// own settings and runtime folders.
class X11ProgramTest : public ::testing::Test {
  protected:
    X11ProgramTest()
        : session_({.tray = true}),
          folder_(fs::temp_directory_path() / ("talvori-program-" + std::to_string(::getpid()))) {
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "config" / "talvori");
        fs::create_directories(folder_ / "runtime");
        fs::permissions(folder_ / "runtime", fs::perms::owner_all);
        std::ofstream(settingsPath()) << "{\"hasCompletedOnboarding\": true}\n";
        setVariable("XDG_CONFIG_HOME", (folder_ / "config").string());
        setVariable("XDG_RUNTIME_DIR", (folder_ / "runtime").string());
        setVariable("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    }
    ~X11ProgramTest() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        fs::remove_all(folder_);
        driver_.reset();
        expectNothingLeft(session_);
    }
    void SetUp() override {
        ASSERT_TRUE(session_.isReady()) << session_.error();
        driver_ = std::make_unique<X11TestDriver>(session_.display());
    }

    void setVariable(const std::string& name, const std::string& value) {
        if (!saved_.count(name)) {
            const char* previous = std::getenv(name.c_str());
            saved_[name] = previous ? std::optional<std::string>(previous) : std::nullopt;
        }
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    fs::path settingsPath() const { return folder_ / "config" / "talvori" / "defaults.json"; }
    std::string settings() const {
        std::ifstream file(settingsPath());
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Starts the program and waits until its status icon is in the tray.
    pid_t start() {
        const pid_t pid = session_.spawn({TALVORI_PROGRAM});
        EXPECT_GT(pid, 0);
        EXPECT_TRUE(waitFor([&] { return trayIcon().has_value(); }, 20))
            << "the status icon did not dock";
        return pid;
    }
    // Runs the program again: its exit status, or -1 when it had not ended after a while.
    int startAgain() { return quit(session_.spawn({TALVORI_PROGRAM}), 0); }
    // Sends `signal` (none with 0) and waits for the end: the exit status, or -1.
    int quit(pid_t pid, int signal) {
        const int status = session_.end(pid, signal, 10);
        return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    using Frame = std::vector<int>;
    bool isTalvori(xcb_window_t window) const {
        return driver_->windowClass(window).rfind(std::string("talvori\0Talvori", 15), 0) == 0;
    }
    // The status icon docked in the tray.
    std::optional<Frame> trayIcon() const {
        const xcb_window_t icon =
            driver_->findDocked([&](xcb_window_t window) { return isTalvori(window); });
        if (icon == XCB_WINDOW_NONE) return std::nullopt;
        return driver_->rootGeometry(icon);
    }
    // The menu-bar panel: ours, under the tray at the top right, panel-wide.
    std::optional<Frame> menuPanel() const {
        for (const xcb_window_t window : driver_->stacking()) {
            if (!driver_->isViewable(window) || !isTalvori(window)) continue;
            const auto frame = driver_->rootGeometry(window);
            if (frame.size() == 4 && frame[1] < 80 && frame[0] > 600 && frame[2] > 200 &&
                frame[2] < 500) {
                return frame;
            }
        }
        return std::nullopt;
    }

    // The middle of the amber text in the bottom left of `frame` (the covers card's "Save as
    // layout" when the menu-bar panel shows open covers).
    std::optional<std::pair<int, int>> amberTextAtBottomLeft(const Frame& frame) const {
        xcb_connection_t* connection = driver_->connection();
        const int width = frame[2] / 2, height = 60;
        const int top = frame[1] + frame[3] - height;
        auto* image = xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, driver_->root(),
                          static_cast<std::int16_t>(frame[0]), static_cast<std::int16_t>(top),
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                          ~std::uint32_t{0}),
            nullptr);
        if (!image) return std::nullopt;
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
        int left = width, right = -1, upper = height, lower = -1;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t pixel = pixels[y * width + x];
                const int red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF;
                if (red > 200 && green > 120 && green < 190 && (pixel & 0xFF) < 100) {
                    left = std::min(left, x), right = std::max(right, x);
                    upper = std::min(upper, y), lower = std::max(lower, y);
                }
            }
        }
        std::free(image);
        if (right - left < 30) return std::nullopt;
        return std::make_pair(frame[0] + (left + right) / 2, top + (upper + lower) / 2);
    }

    X11TestSession session_;
    std::unique_ptr<X11TestDriver> driver_;
    fs::path folder_;
    std::map<std::string, std::optional<std::string>> saved_;
};

bool hasOwner(const X11TestBus& bus, const char* name) {
    sd_bus* connection = bus.connect();
    if (!connection) return false;
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (sd_bus_call_method(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                           name) >= 0) {
        sd_bus_message_read(reply, "b", &owned);
    }
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(connection);
    return owned != 0;
}

// Started while it runs, the program hands over and ends: the running one opens its panel. With a
// session bus the two meet on it; without one, through the lock in the runtime folder.
class X11SingleInstanceTest : public X11ProgramTest, public ::testing::WithParamInterface<bool> {};

TEST_P(X11SingleInstanceTest, ASecondStartOpensTheRunningOnesPanelAndEnds) {
    std::unique_ptr<X11TestBus> bus;
    if (GetParam()) {
        bus = std::make_unique<X11TestBus>(session_);
        ASSERT_TRUE(bus->isReady()) << bus->error();
    }
    const pid_t first = start();
    ASSERT_FALSE(menuPanel());
    if (bus) {
        // A bus that went away and came back at its address is the meeting place again.
        bus->stop();
        ASSERT_TRUE(bus->restart()) << bus->error();
        EXPECT_TRUE(waitFor([&] { return hasOwner(*bus, "org.talvori.Talvori"); }, 15));
    }
    EXPECT_EQ(startAgain(), 0);
    EXPECT_TRUE(waitFor([&] { return menuPanel().has_value(); }, 5));
    EXPECT_EQ(::kill(first, 0), 0) << "the first one still runs";
    // Started again with the panel open, it stays open.
    EXPECT_EQ(startAgain(), 0);
    EXPECT_TRUE(waitFor([&] { return menuPanel().has_value(); }, 1));
    EXPECT_EQ(quit(first, SIGTERM), 0);
}

// The session ending (SIGTERM), Ctrl-C (SIGINT) and a closed terminal (SIGHUP) quit as the
// panel's Quit does, and a layout saved just before the end is in the settings file although
// writes otherwise wait a moment.
TEST_F(X11ProgramTest, SignalsQuitCleanlyAndALayoutSavedJustBeforeIsKept) {
    const pid_t pid = start();
    driver_->tap(X11TestDriver::kN, {X11TestDriver::kLeftAlt, X11TestDriver::kLeftSuper});
    const auto icon = trayIcon();
    ASSERT_TRUE(icon);
    // A click before the icon takes clicks is lost; one while the panel opens would close it.
    for (int click = 0; click < 5 && !menuPanel(); ++click) {
        driver_->click((*icon)[0] + (*icon)[2] / 2, (*icon)[1] + 4);
        waitFor([&] { return menuPanel().has_value(); }, 2);
    }
    std::optional<std::pair<int, int>> save;
    const bool shown = waitFor(
        [&] {
            const auto panel = menuPanel();
            return panel && (save = amberTextAtBottomLeft(*panel)).has_value();
        },
        10);
    ASSERT_TRUE(shown) << "no panel with \"Save as layout\"";
    const int height = (*menuPanel())[3];
    driver_->click(save->first, save->second);
    // The layouts card comes in below.
    ASSERT_TRUE(waitFor([&] { return menuPanel() && (*menuPanel())[3] > height; }, 5));
    EXPECT_EQ(quit(pid, SIGTERM), 0);
    EXPECT_NE(settings().find("\"tarnel.presets\""), std::string::npos) << settings();

    for (const int signal : {SIGINT, SIGHUP}) {
        EXPECT_EQ(quit(start(), signal), 0) << strsignal(signal);
    }
    EXPECT_NE(settings().find("\"tarnel.presets\""), std::string::npos) << settings();
}

// A service that takes connections and never answers: a speech service whose sound output hangs,
// a bus whose daemon is stopped.
class SilentService {
  public:
    explicit SilentService(const fs::path& path) : path_(path.string()) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        // Connections wait in the backlog: accepted by the system, never answered.
        listening_ = ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::listen(socket_, 16) == 0;
    }
    ~SilentService() { ::close(socket_); }
    bool isListening() const { return listening_; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    int socket_ = -1;
    bool listening_ = false;
};

// The desktop says a screen reader runs, none listens for announcements on the accessibility bus,
// and the speech service never answers (`true`) or is not there and cannot be started: Focus and
// the panel work as ever, and the program quits at once, leaking nothing (a sanitized build ends
// with an error otherwise).
class X11SpeechServiceTest : public X11ProgramTest, public ::testing::WithParamInterface<bool> {};

TEST_P(X11SpeechServiceTest, ASpeechServiceThatNeverAnswersOrIsMissingHoldsNothingUp) {
    X11TestBus bus(session_);
    ASSERT_TRUE(bus.isReady()) << bus.error();
    const AtspiTestBus accessibility(session_, bus);
    ASSERT_TRUE(accessibility.isReady()) << accessibility.error();
    sd_bus* connection = bus.connect();
    ASSERT_TRUE(connection);
    EXPECT_GE(sd_bus_set_property(connection, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status",
                                  "ScreenReaderEnabled", nullptr, "b", 1),
              0);
    sd_bus_flush_close_unref(connection);
    std::optional<SilentService> speech;
    if (GetParam()) {
        speech.emplace(folder_ / "runtime" / "speech.sock");
        ASSERT_TRUE(speech->isListening());
    }
    setVariable("SPEECHD_ADDRESS", "unix_socket:" + (folder_ / "runtime" / "speech.sock").string());
    setVariable("SPEECHD_CMD", "/bin/false");
    const pid_t pid = start();

    const auto dimmed = [&] {
        const auto windows = driver_->stacking();
        return std::any_of(windows.begin(), windows.end(), [&](xcb_window_t window) {
            return driver_->isViewable(window) && isTalvori(window) &&
                   driver_->rootGeometry(window) == Frame{0, 0, 1280, 800};
        });
    };
    ASSERT_FALSE(dimmed());
    const auto pressed = Clock::now();
    driver_->tap(X11TestDriver::kF, {X11TestDriver::kLeftShift, X11TestDriver::kLeftSuper});
    // Usually within half a second, as without a reader.
    EXPECT_TRUE(waitFor(dimmed, 5)) << "Focus did not dim in time";
    const auto dimming = Clock::now() - pressed;
    // Shift-Super-D shows the panel.
    constexpr std::uint8_t kD = 32;
    driver_->tap(kD, {X11TestDriver::kLeftShift, X11TestDriver::kLeftSuper});
    EXPECT_TRUE(waitFor([&] { return menuPanel().has_value(); }, 5)) << "no panel";

    const auto ending = Clock::now();
    EXPECT_EQ(quit(pid, SIGTERM), 0);
    const auto quitting = Clock::now() - ending;
    EXPECT_LT(quitting, std::chrono::seconds(3));
    const auto milliseconds = [](Clock::duration time) {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(time).count());
    };
    RecordProperty("dimmedMs", milliseconds(dimming));
    RecordProperty("quitMs", milliseconds(quitting));
}

// A session bus that takes the connection and never answers, from the start: the status icon,
// the shortcuts and the panel work within 3 s (whether another Talvori runs is asked for a moment
// only, then this one runs as the only one and says so), and SIGTERM ends it at once.
TEST_F(X11ProgramTest, ASessionBusThatNeverAnswersHoldsNothingUp) {
    const SilentService bus(folder_ / "runtime" / "bus.sock");
    ASSERT_TRUE(bus.isListening());
    setVariable("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus.path());
    int output = -1;
    const auto started = Clock::now();
    const pid_t pid = session_.spawn(
        {"/bin/sh", "-c", std::string("exec '") + TALVORI_PROGRAM + "' 2>&1"}, &output);
    ASSERT_GT(pid, 0);
    ::fcntl(output, F_SETFL, O_NONBLOCK);
    EXPECT_TRUE(waitFor([&] { return trayIcon().has_value(); }, 10)) << "no status icon";
    const double untilDocked = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_LT(untilDocked, 3.0);
    constexpr std::uint8_t kD = 32;
    const bool shown = waitFor(
        [&] {
            driver_->tap(kD, {X11TestDriver::kLeftShift, X11TestDriver::kLeftSuper});
            return waitFor([&] { return menuPanel().has_value(); }, 0.5);
        },
        15);
    const double untilShown = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_TRUE(shown) << "Shift-Super-D showed no panel";
    EXPECT_LT(untilShown, 3.0);
    const auto ending = Clock::now();
    EXPECT_EQ(quit(pid, SIGTERM), 0);
    const double quitting = std::chrono::duration<double>(Clock::now() - ending).count();
    EXPECT_LT(quitting, 2.0);
    std::string log;
    char buffer[4096];
    for (ssize_t got; (got = ::read(output, buffer, sizeof buffer)) > 0;) {
        log.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(output);
    EXPECT_NE(log.find("Talvori runs as the only instance"), std::string::npos) << log;
    // A start still asking the bus ends on SIGTERM too.
    const pid_t again = session_.spawn({TALVORI_PROGRAM});
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto asking = Clock::now();
    EXPECT_EQ(quit(again, SIGTERM), 0);
    const double whileAsking = std::chrono::duration<double>(Clock::now() - asking).count();
    EXPECT_LT(whileAsking, 2.0);
    std::printf(
        "icon %.2f s and panel %.2f s after the start, ended %.3f s after SIGTERM (%.3f s while "
        "asking)\n",
        untilDocked, untilShown, quitting, whileAsking);
}

// The accessibility bus's launcher on the session bus, served on a thread of its own: a screen
// reader runs, and the accessibility bus is at `address`.
class StandInLauncher {
  public:
    StandInLauncher(const X11TestBus& bus, std::string address)
        : bus_(bus.connect()), address_(std::move(address)) {
        if (!bus_) return;
        sd_bus_add_object_vtable(bus_, nullptr, "/org/a11y/bus", "org.a11y.Status", kStatus, this);
        sd_bus_add_object_vtable(bus_, nullptr, "/org/a11y/bus", "org.a11y.Bus", kLauncher, this);
        sd_bus_request_name(bus_, "org.a11y.Bus", 0);
        thread_ = std::thread([this] {
            while (!stop_) {
                if (sd_bus_process(bus_, nullptr) == 0) sd_bus_wait(bus_, 50'000);
            }
        });
    }
    ~StandInLauncher() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        sd_bus_flush_close_unref(bus_);
    }

  private:
    static int reading(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                       sd_bus_error*) {
        return sd_bus_message_append(reply, "b", 1);
    }
    static int address(sd_bus_message* call, void* self, sd_bus_error*) {
        return sd_bus_reply_method_return(call, "s",
                                          static_cast<StandInLauncher*>(self)->address_.c_str());
    }
    static constexpr sd_bus_vtable kStatus[] = {
        SD_BUS_VTABLE_START(0), SD_BUS_PROPERTY("ScreenReaderEnabled", "b", reading, 0, 0),
        SD_BUS_PROPERTY("IsEnabled", "b", reading, 0, 0), SD_BUS_VTABLE_END};
    static constexpr sd_bus_vtable kLauncher[] = {SD_BUS_VTABLE_START(0),
                                                  SD_BUS_METHOD("GetAddress", "", "s", address, 0),
                                                  SD_BUS_VTABLE_END};

    sd_bus* bus_;
    std::string address_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// An accessibility bus that takes the connection and never answers holds up neither the program
// nor its quit (before, the quit waited for the bus's greeting: over a minute).
TEST_F(X11ProgramTest, AnAccessibilityBusThatNeverAnswersHoldsUpNeitherTheProgramNorItsQuit) {
    X11TestBus bus(session_);
    ASSERT_TRUE(bus.isReady()) << bus.error();
    const SilentService accessibility(folder_ / "runtime" / "accessibility.sock");
    ASSERT_TRUE(accessibility.isListening());
    const StandInLauncher launcher(bus, "unix:path=" + accessibility.path());
    setVariable("SPEECHD_CMD", "/bin/false");
    const pid_t pid = start();
    constexpr std::uint8_t kD = 32;
    driver_->tap(kD, {X11TestDriver::kLeftShift, X11TestDriver::kLeftSuper});
    EXPECT_TRUE(waitFor([&] { return menuPanel().has_value(); }, 5)) << "no panel";
    const auto ending = Clock::now();
    EXPECT_EQ(quit(pid, SIGTERM), 0);
    const double quitting = std::chrono::duration<double>(Clock::now() - ending).count();
    EXPECT_LT(quitting, 2.0);
    std::printf("ended %.3f s after SIGTERM\n", quitting);
}

INSTANTIATE_TEST_SUITE_P(SessionBusOrLock, X11SingleInstanceTest, ::testing::Bool());
INSTANTIATE_TEST_SUITE_P(SilentOrMissing, X11SpeechServiceTest, ::testing::Bool());

struct SignalPair {
    const char* name;
    int first;
    int second;
};

// A second signal 2 ms after the first (Ctrl-C pressed twice, a session that sends SIGHUP after
// SIGTERM) changes nothing: the quit under way writes the change made just before, leaves no
// temporary copy of the settings file and ends with 0.
class X11SecondSignalTest : public X11ProgramTest,
                            public ::testing::WithParamInterface<SignalPair> {
  protected:
    // The brightness of the backdrop's content, right of and below the window in front, further
    // than that one's frame reaches; taken where the window manager has put the backdrop now.
    int backdropBrightness() const {
        return driver_->pixel(driver_->pointIn(backdrop, 900, 580)).brightness();
    }
    // The backdrop's brightness once it stops changing.
    int steadyBrightness() const {
        int seen = -1;
        for (int turn = 0; turn < 50; ++turn) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const int now = backdropBrightness();
            if (now == seen) return now;
            seen = now;
        }
        return seen;
    }
    bool hasTemporaryCopy() const {
        for (const auto& entry : fs::directory_iterator(settingsPath().parent_path())) {
            if (entry.path().filename().string().find(".tmp-") != std::string::npos) return true;
        }
        return false;
    }

    xcb_window_t backdrop = XCB_WINDOW_NONE;
};

TEST_P(X11SecondSignalTest, TheQuitUnderWayWritesTheLastChangeAndEndsWithZero) {
    const pid_t pid = start();
    backdrop = session_.openClient("Backdrop", 0, 0, 1280, 800, 0xc0c0c0).window;
    session_.openClient("Editor", 100, 120, 400, 300, 0x2080e0);
    const int lit = steadyBrightness();
    driver_->tap(X11TestDriver::kF, {X11TestDriver::kLeftShift, X11TestDriver::kLeftSuper});
    ASSERT_TRUE(waitFor([&] { return backdropBrightness() < lit * 9 / 10; }, 5))
        << "Focus did not dim";
    const int dimmed = steadyBrightness();
    ASSERT_EQ(settings().find("spotlight.settings"), std::string::npos) << settings();
    // Stronger Focus: a change of a setting, seen as soon as the tint starts to darken.
    driver_->tap(X11TestDriver::kUp, {X11TestDriver::kLeftAlt, X11TestDriver::kLeftSuper});
    ASSERT_TRUE(waitFor([&] { return backdropBrightness() < dimmed - 3; }, 5))
        << "Focus did not get stronger";
    const auto sent = Clock::now();
    ASSERT_EQ(::kill(pid, GetParam().first), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(quit(pid, GetParam().second), 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - sent).count();
    std::printf("%s: ended %.3f s after the first signal\n", GetParam().name, seconds);
    EXPECT_NE(settings().find("spotlight.settings"), std::string::npos) << settings();
    EXPECT_FALSE(hasTemporaryCopy());
}

INSTANTIATE_TEST_SUITE_P(Pairs, X11SecondSignalTest,
                         ::testing::Values(SignalPair{"termTerm", SIGTERM, SIGTERM},
                                           SignalPair{"intInt", SIGINT, SIGINT},
                                           SignalPair{"termHup", SIGTERM, SIGHUP}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvori::testing
