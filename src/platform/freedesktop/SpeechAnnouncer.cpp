#include "platform/freedesktop/SpeechAnnouncer.hpp"

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/freedesktop/AccessibilityStatus.hpp"
#include "platform/freedesktop/SpeechChannel.hpp"

namespace talvori::freedesktop {

namespace {

// An announcement heard later than this is about something else already.
constexpr Nanoseconds kTakeWithin = 300'000'000;
// A service that stopped answering is not asked again before this.
constexpr Nanoseconds kQuietAfterSilence = 60'000'000'000;

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
    handed_.push_back({*ticket, now + kTakeWithin});
    if (handed_.size() == 1) scheduleCheck();
}

void SpeechAnnouncer::scheduleCheck() {
    if (handed_.empty()) {
        check_.clear();
        return;
    }
    const Nanoseconds delay =
        std::max<Nanoseconds>(0, handed_.front().due - platform().runLoop().now());
    check_.replace(Timer::scheduledTimer(platform().runLoop(), secondsFromNanoseconds(delay), false,
                                         weakly(weak_from_this(), &SpeechAnnouncer::checkHanded),
                                         RunLoopMode::common));
}

void SpeechAnnouncer::checkHanded() {
    takeResults();
    const Nanoseconds now = platform().runLoop().now();
    if (!handed_.empty() && handed_.front().due <= now) {
        // The rest would wait behind the one the service holds.
        if (const std::size_t dropped = giveUpHanded()) stoppedAnswering(dropped);
    }
    scheduleCheck();
}

void SpeechAnnouncer::takeResults() {
    for (const auto& result : channel_->takeResults()) {
        std::erase_if(handed_,
                      [&](const Handed& handed) { return handed.ticket == result.ticket; });
        if (result.outcome == SpeechChannel::Outcome::stuck) {
            stoppedAnswering(1);
        } else if (result.outcome == SpeechChannel::Outcome::unreachable && !failureNoted_) {
            failureNoted_ = true;
            log_.error("A screen reader runs but the speech service cannot be reached");
        }
    }
}

std::size_t SpeechAnnouncer::giveUpHanded() {
    const auto withdrawn = std::count_if(handed_.begin(), handed_.end(), [&](const Handed& handed) {
        return channel_->withdraw(handed.ticket);
    });
    handed_.clear();
    check_.clear();
    return static_cast<std::size_t>(withdrawn);
}

void SpeechAnnouncer::stoppedAnswering(std::size_t dropped) {
    quietUntil_ = platform().runLoop().now() + kQuietAfterSilence;
    log_.error(
        "The speech service stopped answering: %{public}u announcement(s) dropped, and it "
        "is not asked again for a minute",
        dropped);
}

}  // namespace talvori::freedesktop
