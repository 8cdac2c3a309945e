#include "platform/core/SignalWatch.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>

#include "platform/core/RunLoop.hpp"

namespace talvori {

struct SignalWatch::Shared {
    int writeEnd = -1;
    bool once = false;
    std::atomic<int> arrivals = 0;
    std::atomic<bool> laterSignalsEnd = false;
};

namespace {

// What each signal's handler reads, by signal number; null for none.
std::array<std::atomic<SignalWatch::Shared*>, NSIG> watched;

void deliver(int signal) {
    const int savedErrno = errno;
    SignalWatch::Shared* shared = watched[static_cast<std::size_t>(signal)].load();
    if (shared) {
        // Looked at after counting, as letLaterSignalsEnd() counts after setting: one of the
        // two sees the other.
        shared->arrivals.fetch_add(1);
        if (shared->once && shared->laterSignalsEnd.load()) ::_exit(0);
        const auto byte = static_cast<unsigned char>(signal);
        // A full pipe already holds enough wake-ups.
        [[maybe_unused]] const auto written = ::write(shared->writeEnd, &byte, 1);
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
    shared_ = std::make_unique<Shared>();
    shared_->writeEnd = writeEnd_;
    shared_->once = delivery == Delivery::once;
    auto shared = std::make_shared<std::function<void(int)>>(std::move(handler));
    watch_ = loop.watch(readEnd_, POLLIN,
                        [shared, delivered = delivered_, delivery, end = readEnd_](short) {
                            // Read first, and hold what the handler needs: it may end this watch,
                            // closing the descriptor and destroying this function.
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
        watched[static_cast<std::size_t>(signal)].store(shared_.get());
        Previous previous{signal, {}};
        ::sigaction(signal, &action, &previous.action);
        previous_.push_back(previous);
    }
}

void SignalWatch::letLaterSignalsEnd() {
    if (!shared_) return;
    shared_->laterSignalsEnd.store(true);
    // Any but the one that started the quit: also one that came after a quit from elsewhere.
    if (shared_->once && shared_->arrivals.load() > (*delivered_ ? 1 : 0)) ::_exit(0);
}

SignalWatch::~SignalWatch() {
    for (const auto& previous : previous_) {
        ::sigaction(previous.signal, &previous.action, nullptr);
        watched[static_cast<std::size_t>(previous.signal)].store(nullptr);
    }
    watch_.reset();
    if (readEnd_ >= 0) ::close(readEnd_);
    if (writeEnd_ >= 0) ::close(writeEnd_);
}

}  // namespace talvori
