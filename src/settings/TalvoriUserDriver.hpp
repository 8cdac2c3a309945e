#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "updates/StandardUserDriver.hpp"

namespace talvori {

namespace updates {
class Updater;
}

// The program's user driver: a network failure gets a short alert of its own whose "Try Again"
// checks again once the failed session has ended; everything else is shown as the standard driver
// shows it.
class TalvoriUserDriver : public updates::StandardUserDriver {
  public:
    struct Message {
        std::string title;
        std::string message;
        bool operator==(const Message&) const = default;
    };

    TalvoriUserDriver(updates::HostBundle host,
                      std::weak_ptr<updates::StandardUserDriverDelegate> delegate);

    std::weak_ptr<updates::Updater> updater;
    bool isDownloading() const { return isDownloading_; }
    bool isWaitingForSessionEnd() const { return static_cast<bool>(sessionObservation_); }

    void showUserInitiatedUpdateCheck(std::function<void()> cancellation) override;
    void showDownloadInitiated(std::function<void()> cancellation) override;
    void showUpdaterError(const updates::UpdateError& error,
                          std::function<void()> acknowledgement) override;

    // The alert's texts for a network failure; none for any other error.
    static std::optional<Message> errorMessage(const updates::UpdateError& error,
                                               bool isDownloading);

  private:
    void presentRetryAlert(const Message& message);
    void retryCheck();

    bool isDownloading_ = false;
    Registration sessionObservation_;
    Logger logger_;
};

}  // namespace talvori
