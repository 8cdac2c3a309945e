#pragma once

#include <csignal>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace talvori {

class FileWatch;
class RunLoop;

// Signals from outside (the session ending, Ctrl-C, another start of the program) handled on the
// run loop like any other event: a signal handler may do almost nothing safely, so it only wakes
// the loop. The signals' earlier handling comes back when the watch ends.
class SignalWatch {
  public:
    enum class Delivery {
        // Every signal reaches the handler.
        always,
        // The first signal reaches the handler. A later one (Ctrl-C pressed again, a session
        // that sends SIGHUP after SIGTERM) must not cut short the quit under way before its last
        // write of the settings, nor be ignored when the quit then waits on another program: it
        // ends the process with status 0 once `letLaterSignalsEnd()` was called.
        once,
    };

    SignalWatch(RunLoop& loop, std::initializer_list<int> signals, Delivery delivery,
                std::function<void(int signal)> handler);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // For a watch `once`, while quitting: what the quit had to keep is on disk, so any signal but
    // the one that started the quit ends the process with status 0, at once, or now when it came
    // already (also after a quit that no signal started).
    void letLaterSignalsEnd();

    // What the signal handler reads, wherever it runs.
    struct Shared;

  private:
    struct Previous {
        int signal;
        struct sigaction action;
    };

    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::unique_ptr<Shared> shared_;
    // Whether a signal reached the handler.
    std::shared_ptr<bool> delivered_ = std::make_shared<bool>(false);
    std::vector<Previous> previous_;
    std::shared_ptr<FileWatch> watch_;
};

}  // namespace talvori
