#include "platform/freedesktop/SpeechAnnouncer.hpp"

#include <poll.h>
#include <speech-dispatcher/libspeechd.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/core/weakly.hpp"
#include "platform/freedesktop/AccessibilityStatus.hpp"

namespace talvori::freedesktop {

namespace {

// The speech service answers in milliseconds; one that stops answering must not hold up the
// program, which waits for its answers.
constexpr timeval kAnswerTimeout{0, 300000};

SPDConnection* connection(void* speech) {
    return static_cast<SPDConnection*>(speech);
}

}  // namespace

std::shared_ptr<SpeechAnnouncer> SpeechAnnouncer::make(std::shared_ptr<AccessibilityStatus> status,
                                                       Logger log) {
    std::shared_ptr<SpeechAnnouncer> announcer(
        new SpeechAnnouncer(std::move(status), std::move(log)));
    if (announcer->status_) {
        announcer->statusObservation_ = announcer->status_->observe(
            weakly(announcer->weak_from_this(), &SpeechAnnouncer::statusChanged));
    }
    return announcer;
}

SpeechAnnouncer::SpeechAnnouncer(std::shared_ptr<AccessibilityStatus> status, Logger log)
    : status_(std::move(status)), log_(std::move(log)) {}

SpeechAnnouncer::~SpeechAnnouncer() {
    hangUp();
}

bool SpeechAnnouncer::isScreenReaderRunning() const {
    return status_ && status_->isScreenReaderEnabled();
}

void SpeechAnnouncer::statusChanged() {
    if (!isScreenReaderRunning()) hangUp();
}

// ---- Speaking

void SpeechAnnouncer::announce(const std::string& text, int priority) {
    if (text.empty()) return;
    if (accessibilityBus_ && accessibilityBus_(text, priority)) return;
    if (!isScreenReaderRunning() || stuck_) return;
    Outcome outcome = speak(text, priority);
    // A service that restarted closed our connection: once more on a fresh one.
    if (outcome == Outcome::closed) {
        hangUp();
        outcome = speak(text, priority);
    }
    if (outcome == Outcome::spoken) return;
    hangUp();
    // A service that stopped answering would hold us up at every announcement, and at the next
    // connection for good: it is not asked again.
    if (outcome == Outcome::stuck) stuck_ = true;
    if (!failureNoted_) {
        failureNoted_ = true;
        log_.error("A screen reader runs but the speech service cannot be reached");
    }
}

SpeechAnnouncer::Outcome SpeechAnnouncer::speak(const std::string& text, int priority) {
    if (!speech_) {
        char* error = nullptr;
        speech_ =
            spd_open2("talvori", "announcements", nullptr, SPD_MODE_SINGLE, nullptr, 1, &error);
        std::free(error);
        if (!speech_) return Outcome::unreachable;
        const int socket = connection(speech_)->socket;
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &kAnswerTimeout, sizeof kAnswerTimeout);
        ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &kAnswerTimeout, sizeof kAnswerTimeout);
    }
    const SPDPriority level = priority >= kHighPriority ? SPD_IMPORTANT : SPD_MESSAGE;
    if (spd_say(connection(speech_), level, text.c_str()) >= 0) return Outcome::spoken;
    pollfd state{connection(speech_)->socket, POLLIN, 0};
    char byte = 0;
    const bool closed =
        ::poll(&state, 1, 0) > 0 && ((state.revents & (POLLHUP | POLLERR)) ||
                                     ::recv(state.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0);
    return closed ? Outcome::closed : Outcome::stuck;
}

void SpeechAnnouncer::hangUp() {
    if (speech_) spd_close(connection(speech_));
    speech_ = nullptr;
}

}  // namespace talvori::freedesktop
