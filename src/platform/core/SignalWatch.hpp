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
        // The first signal reaches the handler and later ones are swallowed: a second Ctrl-C or
        // SIGTERM while quitting must not cut short the quit under way, whose last write of the
        // settings would be lost.
        once,
    };

    SignalWatch(RunLoop& loop, std::initializer_list<int> signals, Delivery delivery,
                std::function<void(int signal)> handler);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

  private:
    struct Previous {
        int signal;
        struct sigaction action;
    };

    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::vector<Previous> previous_;
    std::shared_ptr<FileWatch> watch_;
};

}  // namespace talvori
