#include "settings/TalvoriUserDriver.hpp"

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "updates/Updater.hpp"

namespace talvori {

TalvoriUserDriver::TalvoriUserDriver(updates::HostBundle host,
                                     std::weak_ptr<updates::StandardUserDriverDelegate> delegate)
    : StandardUserDriver(std::move(host), std::move(delegate)),
      logger_(platform().logger("Updates")) {}

void TalvoriUserDriver::showUserInitiatedUpdateCheck(std::function<void()> cancellation) {
    platform().runLoop().assertMainThread();
    isDownloading_ = false;
    StandardUserDriver::showUserInitiatedUpdateCheck(std::move(cancellation));
}

void TalvoriUserDriver::showDownloadInitiated(std::function<void()> cancellation) {
    platform().runLoop().assertMainThread();
    isDownloading_ = true;
    StandardUserDriver::showDownloadInitiated(std::move(cancellation));
}

std::optional<TalvoriUserDriver::Message> TalvoriUserDriver::errorMessage(
    const updates::UpdateError& error, bool isDownloading) {
    if (error.domain != updates::UpdateError::kDomain ||
        error.code != updates::UpdateError::kNetwork) {
        return std::nullopt;
    }
    return Message{isDownloading ? "Couldn't download the update" : "Couldn't check for updates",
                   "Check your internet connection and try again."};
}

void TalvoriUserDriver::showUpdaterError(const updates::UpdateError& error,
                                         std::function<void()> acknowledgement) {
    platform().runLoop().assertMainThread();
    const auto message = errorMessage(error, isDownloading_);
    if (!message) {
        StandardUserDriver::showUpdaterError(error, std::move(acknowledgement));
        return;
    }
    isDownloading_ = false;
    // The session ends before the alert appears, so "Try Again" finds it over or winding down.
    dismissUpdateInstallation();
    if (acknowledgement) acknowledgement();
    std::weak_ptr<TalvoriUserDriver> weak =
        std::static_pointer_cast<TalvoriUserDriver>(shared_from_this());
    platform().runLoop().post(weakly(
        weak, [message = *message](TalvoriUserDriver& self) { self.presentRetryAlert(message); }));
}

void TalvoriUserDriver::presentRetryAlert(const Message& message) {
    Alert alert;
    alert.messageText = message.title;
    alert.informativeText = message.message;
    alert.addButton("Try Again");
    alert.addButton("Not Now");
    alert.initialButton = 0;
    platform().application().activate();
    std::weak_ptr<TalvoriUserDriver> weak =
        std::static_pointer_cast<TalvoriUserDriver>(shared_from_this());
    platform().alerts().runModal(std::move(alert),
                                 weakly(weak, [](TalvoriUserDriver& self, long response) {
                                     if (response == Alert::kFirstButtonReturn) self.retryCheck();
                                 }));
}

void TalvoriUserDriver::retryCheck() {
    auto current = updater.lock();
    if (!current) {
        logger_.error("Try Again: no updater");
        return;
    }
    if (!current->sessionInProgress().peek()) {
        current->checkForUpdates();
        return;
    }
    logger_.info("Try Again: waiting for the failed session to end");
    std::weak_ptr<TalvoriUserDriver> weak =
        std::static_pointer_cast<TalvoriUserDriver>(shared_from_this());
    sessionObservation_ =
        current->sessionInProgress().observe(weakly(weak, [weak](TalvoriUserDriver& self) {
            auto updater = self.updater.lock();
            if (!updater || updater->sessionInProgress().peek()) return;
            platform().runLoop().post(weakly(weak, [](TalvoriUserDriver& later) {
                auto updater = later.updater.lock();
                if (!updater || updater->sessionInProgress().peek()) return;
                later.sessionObservation_.reset();
                updater->checkForUpdates();
            }));
        }));
}

}  // namespace talvori
