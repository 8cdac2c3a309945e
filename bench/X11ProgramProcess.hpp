#pragma once

// The real program started on a private desktop, as a user who went through the first run starts
// it, and what it costs: all its threads together, as the system counts them.
// TALVORI_BENCH_PROGRAM names another build's program to start instead of this build's, so that
// one bench measures two builds side by side. With TALVORI_BENCH_INSTRUCTIONS set, it runs under
// callgrind, which counts the instructions it runs: a measure the machine's load does not change
// where no hardware counter can be read (the program runs many times slower, and its timers fire
// fewer times a switch).

#include <sys/types.h>
#include <xcb/xcb.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/x11/harness/X11TestDriver.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::bench {

class X11ProgramProcess {
  public:
    struct Cost {
        // Its scheduler's own count, of the threads running now.
        double cpuSeconds = 0;
        // User and system time in clock ticks (/proc/PID/stat), ended threads included.
        double tickedSeconds = 0;
        // Voluntary context switches: the times it slept and woke again.
        long wakeups = 0;
        // Involuntary ones: the times others took its core, which grow with the machine's load.
        long preemptions = 0;
        // Read and write system calls, ended threads included: unlike time, they do not grow
        // with the machine's load.
        long syscalls = 0;
        // Instructions run, when counted (TALVORI_BENCH_INSTRUCTIONS).
        double instructions = 0;
        Cost operator-(const Cost& before) const;
    };

    explicit X11ProgramProcess(testing::X11TestSession& session);
    ~X11ProgramProcess();
    X11ProgramProcess(const X11ProgramProcess&) = delete;
    X11ProgramProcess& operator=(const X11ProgramProcess&) = delete;

    pid_t pid() const { return pid_; }
    // What stopped it from starting; empty when it runs.
    std::string error() const;
    Cost cost() const;
    long statusField(const std::string& field) const;
    static bool countsInstructions();

    using RunUntil = std::function<bool(const std::function<bool()>& condition, double seconds)>;
    // Turns Focus on with its shortcut (Shift+Super+F), `runUntil` running the bench's own loop
    // meanwhile; Focus's panel, none when it did not come.
    static xcb_window_t turnFocusOn(testing::X11TestDriver& driver, const RunUntil& runUntil);
    static bool isOurs(testing::X11TestDriver& driver, xcb_window_t window);
    // The program's windows that are root children on screen, with their root rectangles.
    static std::vector<std::vector<int>> shownPanels(testing::X11TestDriver& driver);
    // Its full-screen panel on screen (Focus's), none when Focus is off.
    static xcb_window_t focusPanel(testing::X11TestDriver& driver);

  private:
    double instructions() const;

    testing::X11TestSession& session_;
    std::filesystem::path folder_;
    pid_t pid_ = 0;
};

}  // namespace talvori::bench
