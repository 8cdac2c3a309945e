#include "platform/freedesktop/SpeechChannel.hpp"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <speech-dispatcher/libspeechd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/core/SpawnAttributes.hpp"

namespace talvori::freedesktop {

namespace {

// Once connected, an answer later than this is taken for a stuck service: a slow one answers
// each exchange well within it.
constexpr timeval kAnswerTimeout{1, 0};

}  // namespace

// What the owner and the thread share, kept alive by both: the thread may outlive the owner.
struct SpeechChannel::Shared {
    struct Text {
        Ticket ticket = 0;
        std::string text;
        bool important = false;
    };

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Text> waiting;
    // The text the thread is sending.
    std::optional<Ticket> inHand;
    std::vector<Result> results;
    Ticket nextTicket = 1;
    bool hangUp = false;
    // The thread is in a call to the speech service.
    bool calling = false;
    bool stopping = false;
};

// The thread's side: it alone touches the connection.
class SpeechChannel::Worker {
  public:
    explicit Worker(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    ~Worker() { close(); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void run() {
        std::unique_lock lock(shared_->mutex);
        for (;;) {
            shared_->changed.wait(lock, [this] {
                return shared_->stopping || !shared_->waiting.empty() || shared_->hangUp;
            });
            if (shared_->stopping) return;
            if (shared_->waiting.empty()) {
                shared_->hangUp = false;
                close();
                continue;
            }
            Shared::Text text = std::move(shared_->waiting.front());
            shared_->waiting.pop_front();
            shared_->inHand = text.ticket;
            shared_->calling = true;
            lock.unlock();
            const auto outcome = speak(text);
            lock.lock();
            shared_->calling = false;
            if (outcome && shared_->inHand == text.ticket) {
                shared_->results.push_back({text.ticket, *outcome});
            }
            shared_->inHand.reset();
        }
    }

  private:
    enum class Attempt { spoken, unreachable, closed, stuck, givenUp };

    // None when the owner gave the text up meanwhile.
    std::optional<Outcome> speak(const Shared::Text& text) {
        Attempt attempt = sayOnce(text);
        // A service that restarted closed our connection: once more on a fresh one.
        if (attempt == Attempt::closed) {
            close();
            attempt = sayOnce(text);
        }
        if (attempt == Attempt::spoken) return Outcome::spoken;
        if (attempt == Attempt::givenUp) return std::nullopt;
        close();
        return attempt == Attempt::unreachable ? Outcome::unreachable : Outcome::stuck;
    }

    Attempt sayOnce(const Shared::Text& text) {
        if (!connection_ && !open()) return Attempt::unreachable;
        // Making the connection may have taken long enough for the owner to give the text up.
        if (!stillWanted(text)) return Attempt::givenUp;
        const SPDPriority level = text.important ? SPD_IMPORTANT : SPD_MESSAGE;
        if (spd_say(connection_, level, text.text.c_str()) >= 0) return Attempt::spoken;
        pollfd state{connection_->socket, POLLIN, 0};
        char byte = 0;
        const bool closed =
            ::poll(&state, 1, 0) > 0 && ((state.revents & (POLLHUP | POLLERR)) ||
                                         ::recv(state.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0);
        return closed ? Attempt::closed : Attempt::stuck;
    }

    // Starts the service when it does not run (its address is the desktop's, or
    // SPEECHD_ADDRESS). The library would start it too, but its failed connections leak, and the
    // service would take this thread's blocked signals.
    bool open() {
        char* error = nullptr;
        SPDConnectionAddress* address = spd_get_default_address(&error);
        std::free(std::exchange(error, nullptr));
        if (!address) return false;
        const bool reachable =
            address->method != SPD_METHOD_UNIX_SOCKET || listens(address->unix_socket_name) ||
            (startService(address->unix_socket_name) && listens(address->unix_socket_name));
        if (reachable) {
            connection_ =
                spd_open2("talvori", "announcements", nullptr, SPD_MODE_SINGLE, address, 0, &error);
            std::free(error);
        }
        SPDConnectionAddress__free(address);
        if (!connection_) return false;
        const int socket = connection_->socket;
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &kAnswerTimeout, sizeof kAnswerTimeout);
        ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &kAnswerTimeout, sizeof kAnswerTimeout);
        return true;
    }

    // Whether the service's socket is there: a probe connection would count as a client.
    static bool listens(const char* path) {
        struct stat status {};
        return path && ::stat(path, &status) == 0 && S_ISSOCK(status.st_mode);
    }

    // As the speech library would (SPEECHD_CMD names another program): the service's first
    // process ends once the service listens. Started with no signal blocked or ignored.
    static bool startService(const char* path) {
        const char* command = std::getenv("SPEECHD_CMD");
        std::string program = command && *command ? command : "/usr/bin/speech-dispatcher";
        std::string spawn = "--spawn", method = "--communication-method", unix = "unix_socket",
                    socket = "--socket-path", where = path;
        char* arguments[] = {program.data(), spawn.data(), method.data(), unix.data(),
                             socket.data(),  where.data(), nullptr};
        const SpawnAttributes attributes;
        pid_t pid = 0;
        const int failed =
            ::posix_spawnp(&pid, program.c_str(), nullptr, attributes.get(), arguments, environ);
        if (failed) return false;
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    void close() {
        if (connection_) spd_close(connection_);
        connection_ = nullptr;
    }

    bool stillWanted(const Shared::Text& text) {
        std::lock_guard lock(shared_->mutex);
        return shared_->inHand == text.ticket && !shared_->stopping;
    }

    std::shared_ptr<Shared> shared_;
    SPDConnection* connection_ = nullptr;
};

SpeechChannel::SpeechChannel() : shared_(std::make_shared<Shared>()) {
    // Signals are the main thread's to take, and one taken here would cut short a call to the
    // service: the thread starts with them all blocked (the service it starts does not inherit
    // that).
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    thread_ = std::thread([shared = shared_] { Worker(shared).run(); });
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

SpeechChannel::~SpeechChannel() {
    bool calling = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        shared_->waiting.clear();
        calling = shared_->calling;
    }
    shared_->changed.notify_all();
    // Out of a call, the thread ends at once; in one, it ends when the call does, or with the
    // process. It holds nothing of ours but the shared state.
    if (calling) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

std::optional<SpeechChannel::Ticket> SpeechChannel::say(std::string text, bool important) {
    std::optional<Ticket> ticket;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->waiting.size() >= kCapacity) return std::nullopt;
        ticket = shared_->nextTicket++;
        shared_->waiting.push_back({*ticket, std::move(text), important});
    }
    shared_->changed.notify_all();
    return ticket;
}

bool SpeechChannel::withdraw(Ticket ticket) {
    std::lock_guard lock(shared_->mutex);
    return std::erase_if(shared_->waiting,
                         [ticket](const Shared::Text& text) { return text.ticket == ticket; }) > 0;
}

std::vector<SpeechChannel::Result> SpeechChannel::takeResults() {
    std::lock_guard lock(shared_->mutex);
    return std::exchange(shared_->results, {});
}

void SpeechChannel::hangUp() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->hangUp = true;
    }
    shared_->changed.notify_all();
}

}  // namespace talvori::freedesktop
