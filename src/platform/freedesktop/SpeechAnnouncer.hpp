#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Time.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/desktop/Announcer.hpp"

namespace talvori::freedesktop {

class AccessibilityStatus;
class SpeechChannel;

// Announcements for the desktop's screen reader, and only while the desktop says one runs: a user
// who does not use one never hears a word. A reader that takes announcements over the
// accessibility bus gets them there; otherwise they are spoken through the speech service screen
// readers speak through. Never both. The speech service is only ever waited for on a thread of
// its own: an announcement still waiting for it after 300 ms is about something else already and
// dropped; one it has begun on is given time. A service that stopped answering, or cannot be
// reached, is left alone for a while, longer each time, up to a minute.
class SpeechAnnouncer final : public Announcer,
                              public std::enable_shared_from_this<SpeechAnnouncer> {
  public:
    // `status` says whether a screen reader runs; null: nothing is ever said.
    static std::shared_ptr<SpeechAnnouncer> make(std::shared_ptr<AccessibilityStatus> status,
                                                 Logger log);
    ~SpeechAnnouncer() override;
    SpeechAnnouncer(const SpeechAnnouncer&) = delete;
    SpeechAnnouncer& operator=(const SpeechAnnouncer&) = delete;

    void announce(const std::string& text, int priority) override;
    bool isScreenReaderRunning() const;
    // Offers each announcement to the accessibility bus first; `deliver` says whether a reader
    // took it there.
    void setAccessibilityBus(std::function<bool(const std::string&, int)> deliver) {
        accessibilityBus_ = std::move(deliver);
    }

    static constexpr Nanoseconds kStaleAfter = 300'000'000;
    // For the service to take one it has begun on, from the greeting of a new connection on.
    static constexpr Nanoseconds kStuckAfter = 4'000'000'000;
    static constexpr Nanoseconds kFirstQuiet = 1'000'000'000;
    static constexpr Nanoseconds kLongestQuiet = 60'000'000'000;

  private:
    // An announcement handed to the speech service, until it takes it or its time is up.
    struct Handed {
        std::uint64_t ticket = 0;
        Nanoseconds at = 0;
        // The thread took it up: no longer taken back as stale.
        bool begun = false;
        Nanoseconds due() const { return at + (begun ? kStuckAfter : kStaleAfter); }
    };

    SpeechAnnouncer(std::shared_ptr<AccessibilityStatus> status, Logger log);
    void statusChanged();
    void speak(const std::string& text, int priority);
    void checkHanded();
    void takeResults();
    void stoppedAnswering(std::size_t dropped);
    // Leaves the service alone for the next step of the back-off: for how long.
    Nanoseconds leaveAlone();
    // How many the service had not taken yet.
    std::size_t giveUpHanded();
    void scheduleCheck();

    std::shared_ptr<AccessibilityStatus> status_;
    Logger log_;
    std::function<bool(const std::string&, int)> accessibilityBus_;
    bool failureNoted_ = false;
    // Until then the speech service, which stopped answering or could not be reached, is not
    // asked; the next time it is left alone twice as long.
    Nanoseconds quietUntil_ = 0;
    Nanoseconds quiet_ = 0;
    // Made at the first announcement for the speech service.
    std::unique_ptr<SpeechChannel> channel_;
    std::deque<Handed> handed_;
    TimerSlot check_;
    Registration statusObservation_;
};

}  // namespace talvori::freedesktop
