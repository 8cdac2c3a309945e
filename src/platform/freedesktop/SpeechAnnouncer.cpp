#include "platform/freedesktop/SpeechAnnouncer.hpp"

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/freedesktop/AccessibilityStatus.hpp"
#include "platform/freedesktop/SpeechChannel.hpp"

namespace talvori::freedesktop {

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

SpeechAnnouncer::~SpeechAnnouncer() = default;

bool SpeechAnnouncer::isScreenReaderRunning() const {
    return status_ && status_->isScreenReaderEnabled();
}

void SpeechAnnouncer::statusChanged() {
    if (isScreenReaderRunning() || !channel_) return;
    giveUpHanded();
    channel_->hangUp();
}

// ---- Speaking

void SpeechAnnouncer::announce(const std::string& text, int priority) {
    if (text.empty()) return;
    if (accessibilityBus_ && accessibilityBus_(text, priority)) return;
    if (!isScreenReaderRunning()) return;
    speak(text, priority);
}

void SpeechAnnouncer::speak(const std::string& text, int priority) {
    const Nanoseconds now = platform().runLoop().now();
    if (now < quietUntil_) return;
    if (!channel_) channel_ = std::make_unique<SpeechChannel>();
    const auto ticket = channel_->say(text, priority >= kHighPriority);
    if (!ticket) {
        log_.error("An announcement was dropped: %{public}u wait for the speech service already",
                   SpeechChannel::kCapacity);
        return;
    }
    handed_.push_back({*ticket, now});
    if (handed_.size() == 1) scheduleCheck();
}

void SpeechAnnouncer::scheduleCheck() {
    if (handed_.empty()) {
        check_.clear();
        return;
    }
    Nanoseconds due = handed_.front().due();
    for (const auto& handed : handed_) due = std::min(due, handed.due());
    const Nanoseconds delay = std::max<Nanoseconds>(0, due - platform().runLoop().now());
    check_.replace(Timer::scheduledTimer(platform().runLoop(), secondsFromNanoseconds(delay), false,
                                         weakly(weak_from_this(), &SpeechAnnouncer::checkHanded),
                                         RunLoopMode::common));
}

// What still waits after its time is stale; what the thread has begun on is taken for stuck only
// when its own time is up.
void SpeechAnnouncer::checkHanded() {
    takeResults();
    const Nanoseconds now = platform().runLoop().now();
    for (auto handed = handed_.begin(); handed != handed_.end();) {
        if (handed->due() > now) {
            ++handed;
        } else if (!handed->begun && channel_->withdraw(handed->ticket)) {
            handed = handed_.erase(handed);
        } else if (!handed->begun) {
            handed->begun = true;
        } else {
            // The rest would wait behind the one the service holds.
            return stoppedAnswering(giveUpHanded() + 1);
        }
    }
    scheduleCheck();
}

void SpeechAnnouncer::takeResults() {
    for (const auto& result : channel_->takeResults()) {
        std::erase_if(handed_,
                      [&](const Handed& handed) { return handed.ticket == result.ticket; });
        if (result.outcome == SpeechChannel::Outcome::spoken) {
            quiet_ = 0;
        } else if (result.outcome == SpeechChannel::Outcome::stuck) {
            stoppedAnswering(1);
        } else {
            leaveAlone();
            if (!failureNoted_) {
                failureNoted_ = true;
                log_.error("A screen reader runs but the speech service cannot be reached");
            }
        }
    }
}

// The one the thread holds is not among them: the thread is done with it on its own.
std::size_t SpeechAnnouncer::giveUpHanded() {
    const auto withdrawn = std::count_if(handed_.begin(), handed_.end(), [&](const Handed& handed) {
        return channel_->withdraw(handed.ticket);
    });
    handed_.clear();
    check_.clear();
    return static_cast<std::size_t>(withdrawn);
}

Nanoseconds SpeechAnnouncer::leaveAlone() {
    quiet_ = std::clamp<Nanoseconds>(quiet_ * 2, kFirstQuiet, kLongestQuiet);
    quietUntil_ = platform().runLoop().now() + quiet_;
    return quiet_;
}

void SpeechAnnouncer::stoppedAnswering(std::size_t dropped) {
    const Nanoseconds quiet = leaveAlone();
    log_.error(
        "The speech service stopped answering: %{public}u announcement(s) dropped, and it is "
        "asked again in %{public}lld s at the earliest",
        dropped, static_cast<long long>(quiet / 1'000'000'000));
}

}  // namespace talvori::freedesktop
