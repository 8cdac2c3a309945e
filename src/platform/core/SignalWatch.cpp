#include "platform/core/SignalWatch.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>

#include "platform/core/RunLoop.hpp"

namespace talvori {

namespace {

// Where each signal's handler writes, by signal number: the descriptor plus one, so that the
// zero a static starts with means none.
std::array<std::atomic<int>, NSIG> writeEnds;

void deliver(int signal) {
    const int savedErrno = errno;
    const int end = writeEnds[static_cast<std::size_t>(signal)].load(std::memory_order_relaxed) - 1;
    if (end >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        // A full pipe already holds enough wake-ups.
        [[maybe_unused]] const auto written = ::write(end, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

SignalWatch::SignalWatch(RunLoop& loop, std::initializer_list<int> signals, Delivery delivery,
                         std::function<void(int signal)> handler) {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    auto shared = std::make_shared<std::function<void(int)>>(std::move(handler));
    auto delivered = std::make_shared<bool>(false);
    watch_ = loop.watch(readEnd_, POLLIN, [shared, delivered, delivery, end = readEnd_](short) {
        // Read first, and hold what the handler needs: it may end this watch, closing the
        // descriptor and destroying this function.
        const auto call = shared;
        const auto done = delivered;
        std::vector<int> arrived;
        unsigned char byte = 0;
        while (::read(end, &byte, 1) == 1) arrived.push_back(byte);
        for (const int signal : arrived) {
            if (delivery == Delivery::once && *done) return;
            *done = true;
            (*call)(signal);
        }
    });
    struct sigaction action {};
    action.sa_handler = deliver;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : signals) {
        if (signal <= 0 || signal >= NSIG) continue;
        writeEnds[static_cast<std::size_t>(signal)].store(writeEnd_ + 1);
        Previous previous{signal, {}};
        ::sigaction(signal, &action, &previous.action);
        previous_.push_back(previous);
    }
}

SignalWatch::~SignalWatch() {
    for (const auto& previous : previous_) {
        ::sigaction(previous.signal, &previous.action, nullptr);
        writeEnds[static_cast<std::size_t>(previous.signal)].store(0);
    }
    watch_.reset();
    if (readEnd_ >= 0) ::close(readEnd_);
    if (writeEnd_ >= 0) ::close(writeEnd_);
}

}  // namespace talvori
