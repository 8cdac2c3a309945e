#include "X11ProgramProcess.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace talvori::bench {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

long fieldOf(const fs::path& status, const std::string& field) {
    std::ifstream lines(status);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

// User and system time from /proc/PID/stat, past the command's parentheses.
double tickedSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto end = text.rfind(')');
    if (end == std::string::npos) return 0;
    std::istringstream fields(text.substr(end + 2));
    std::string skipped;
    // state ppid pgrp session tty_nr tpgid flags minflt cminflt majflt cmajflt, then utime stime
    for (int index = 0; index < 11; ++index) fields >> skipped;
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Where callgrind and its control meet, whatever folders the session gives its programs.
std::string vgdbPrefix() {
    return (fs::temp_directory_path() / ("talvori-bench-vgdb-" + std::to_string(::getpid())))
        .string();
}

}  // namespace

X11ProgramProcess::Cost X11ProgramProcess::Cost::operator-(const Cost& before) const {
    return {cpuSeconds - before.cpuSeconds, tickedSeconds - before.tickedSeconds,
            wakeups - before.wakeups,       preemptions - before.preemptions,
            syscalls - before.syscalls,     instructions - before.instructions};
}

X11ProgramProcess::X11ProgramProcess(testing::X11TestSession& session)
    : session_(session),
      folder_(fs::temp_directory_path() / ("talvori-bench-" + std::to_string(::getpid()))) {
    if (!session.isReady()) return;
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "talvori");
    std::ofstream(folder_ / "talvori" / "defaults.json") << R"({"hasCompletedOnboarding": true})";
    const auto previousConfig = environment("XDG_CONFIG_HOME");
    const auto previousBus = environment("DBUS_SESSION_BUS_ADDRESS");
    ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    // Not the user's own session bus: the item docks in this desktop's tray.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    const auto other = environment("TALVORI_BENCH_PROGRAM");
    const std::string program = other ? *other : std::string(TALVORI_PROGRAM);
    if (countsInstructions()) {
        pid_ = session.spawn({"valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null",
                              "--log-file=/dev/null", "--vgdb-prefix=" + vgdbPrefix(), program});
    } else {
        pid_ = session.spawn({program});
    }
    restore("XDG_CONFIG_HOME", previousConfig);
    restore("DBUS_SESSION_BUS_ADDRESS", previousBus);
}

X11ProgramProcess::~X11ProgramProcess() {
    if (pid_ > 0) session_.end(pid_);
    fs::remove_all(folder_);
}

std::string X11ProgramProcess::error() const {
    if (!session_.isReady()) return session_.error();
    if (pid_ <= 0) return "the program does not start";
    return {};
}

X11ProgramProcess::Cost X11ProgramProcess::cost() const {
    const fs::path process = "/proc/" + std::to_string(pid_);
    Cost cost{.tickedSeconds = tickedSeconds(pid_),
              .syscalls = fieldOf(process / "io", "syscr") + fieldOf(process / "io", "syscw")};
    if (countsInstructions()) cost.instructions = instructions();
    std::error_code failed;
    for (const auto& task : fs::directory_iterator(process / "task", failed)) {
        std::ifstream schedule(task.path() / "schedstat");
        double nanoseconds = 0;
        schedule >> nanoseconds;
        cost.cpuSeconds += nanoseconds * 1e-9;
        cost.wakeups += fieldOf(task.path() / "status", "voluntary_ctxt_switches");
        cost.preemptions += fieldOf(task.path() / "status", "nonvoluntary_ctxt_switches");
    }
    return cost;
}

bool X11ProgramProcess::countsInstructions() {
    return environment("TALVORI_BENCH_INSTRUCTIONS").has_value();
}

// The instructions callgrind counted so far, all threads together.
double X11ProgramProcess::instructions() const {
    const std::string command = "callgrind_control --vgdb-prefix=" + vgdbPrefix() + " -e " +
                                std::to_string(pid_) + " 2>/dev/null";
    FILE* output = ::popen(command.c_str(), "r");
    if (!output) return 0;
    double total = 0;
    char line[256];
    while (std::fgets(line, sizeof line, output)) {
        std::istringstream fields(line);
        std::string thread, number, count;
        if (!(fields >> thread >> number >> count) || thread != "Th") continue;
        std::erase(count, ',');
        total += std::strtod(count.c_str(), nullptr);
    }
    ::pclose(output);
    return total;
}

long X11ProgramProcess::statusField(const std::string& field) const {
    return fieldOf("/proc/" + std::to_string(pid_) + "/status", field);
}

xcb_window_t X11ProgramProcess::turnFocusOn(testing::X11TestDriver& driver,
                                            const RunUntil& runUntil) {
    // Slowed down to count its instructions, it answers slowly.
    const double patience = countsInstructions() ? 8 : 3;
    xcb_window_t panel = XCB_WINDOW_NONE;
    const auto shown = [&] { return (panel = focusPanel(driver)) != XCB_WINDOW_NONE; };
    // It takes the shortcut a while after it starts (asking the server whether it holds it would
    // race with its own grab): pressed again until the panel shows.
    for (int tries = 0; tries < 40; ++tries) {
        driver.tap(testing::X11TestDriver::kF,
                   {testing::X11TestDriver::kLeftShift, testing::X11TestDriver::kLeftSuper});
        if (runUntil(shown, patience)) return panel;
    }
    return XCB_WINDOW_NONE;
}

bool X11ProgramProcess::isOurs(testing::X11TestDriver& driver, xcb_window_t window) {
    return driver.windowClass(window).rfind(std::string("talvori\0Talvori", 15), 0) == 0;
}

std::vector<std::vector<int>> X11ProgramProcess::shownPanels(testing::X11TestDriver& driver) {
    std::vector<std::vector<int>> panels;
    for (const xcb_window_t window : driver.stacking()) {
        if (driver.isViewable(window) && isOurs(driver, window)) {
            panels.push_back(driver.rootGeometry(window));
        }
    }
    return panels;
}

xcb_window_t X11ProgramProcess::focusPanel(testing::X11TestDriver& driver) {
    const auto setup = xcb_setup_roots_iterator(xcb_get_setup(driver.connection())).data;
    for (const xcb_window_t window : driver.stacking()) {
        const auto geometry = driver.rootGeometry(window);
        if (!driver.isViewable(window) || geometry.size() != 4 ||
            geometry[2] < setup->width_in_pixels || geometry[3] < setup->height_in_pixels) {
            continue;
        }
        // Stacked by the window manager, the panel stands in a frame of its own.
        if (isOurs(driver, window)) return window;
        for (const xcb_window_t inner : driver.children(window)) {
            if (isOurs(driver, inner)) return window;
        }
    }
    return XCB_WINDOW_NONE;
}

}  // namespace talvori::bench
