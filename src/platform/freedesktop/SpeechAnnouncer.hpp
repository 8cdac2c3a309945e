#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "platform/desktop/Announcer.hpp"

namespace talvori::freedesktop {

class AccessibilityStatus;

// Announcements for the desktop's screen reader, and only while the desktop says one runs: a user
// who does not use one never hears a word. A reader that takes announcements over the
// accessibility bus gets them there; otherwise they are spoken through the speech service screen
// readers speak through. Never both.
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

  private:
    enum class Outcome { spoken, unreachable, closed, stuck };

    SpeechAnnouncer(std::shared_ptr<AccessibilityStatus> status, Logger log);
    void statusChanged();
    Outcome speak(const std::string& text, int priority);
    void hangUp();

    std::shared_ptr<AccessibilityStatus> status_;
    Logger log_;
    std::function<bool(const std::string&, int)> accessibilityBus_;
    bool failureNoted_ = false;
    bool stuck_ = false;
    // The speech service's connection (its type cannot be declared ahead of its header).
    void* speech_ = nullptr;
    Registration statusObservation_;
};

}  // namespace talvori::freedesktop
