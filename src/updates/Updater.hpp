#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/TimerSlot.hpp"
#include "updates/Appcast.hpp"
#include "updates/HostBundle.hpp"
#include "updates/HttpTransport.hpp"
#include "updates/UpdateError.hpp"
#include "updates/UserUpdateChoice.hpp"
#include "updates/UserUpdateState.hpp"

namespace talvori::updates {

class UpdaterDelegate;
class UserDriver;

// Checks the feed for a newer build, on the user's request or once a day, shows what it finds
// through its user driver and, when the user installs, downloads the file, verifies it and hands it
// to the system. One session runs at a time. Everything happens on the main thread; the network
// is only ever waited for by the run loop.
class Updater : public std::enable_shared_from_this<Updater> {
  public:
    static constexpr const char* kAutomaticChecksKey = "updates.automaticallyChecksForUpdates";
    static constexpr const char* kLastCheckDateKey = "updates.lastCheckDate";
    static constexpr const char* kSkippedBuildKey = "updates.skippedBuild";

    static constexpr double kCheckInterval = 24 * 60 * 60;
    // The first scheduled check of a launch waits at least this long, so start-up stays quiet.
    static constexpr double kLaunchCheckDelay = 60;
    static constexpr double kFeedTimeout = 60;
    static constexpr double kDownloadTimeout = 30 * 60;
    // The most a download may be when the feed does not say its length.
    static constexpr std::uint64_t kMaximumDownloadBytes = 1ull << 30;

    // `transport` defaults to libcurl on the platform's run loop.
    static std::shared_ptr<Updater> make(HostBundle host, std::shared_ptr<UserDriver> driver,
                                         std::weak_ptr<UpdaterDelegate> delegate,
                                         std::shared_ptr<HttpTransport> transport = nullptr);
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // Checks the configuration and schedules the first check; false with `error` set when the
    // feed address or the public key cannot be used. The updater then never checks.
    bool start(UpdateError* error = nullptr);
    // Starts a check the user asked for; does nothing while a session runs.
    void checkForUpdates();

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool enabled);

    // True while a check may start now.
    const Observable<bool>& canCheckForUpdates() const { return canCheckForUpdates_; }
    // True while a session runs, from the start of a check until its last window is answered.
    const Observable<bool>& sessionInProgress() const { return sessionInProgress_; }

    const HostBundle& host() const { return host_; }
    // Where downloads are saved: the user's download folder unless set.
    const std::string& downloadDirectory() const { return downloadDirectory_; }
    void setDownloadDirectory(std::string directory) { downloadDirectory_ = std::move(directory); }
    static std::string userDownloadDirectory();

    // Seconds on the run loop's clock until the next scheduled check, or absent when none is.
    std::optional<double> nextScheduledCheckIn() const;

  private:
    struct Session;

    Updater(HostBundle host, std::shared_ptr<UserDriver> driver,
            std::weak_ptr<UpdaterDelegate> delegate, std::shared_ptr<HttpTransport> transport);

    void scheduleNextCheck();
    void scheduledCheckDue();
    void beginSession(bool userInitiated);
    void endSession();
    bool isCurrent(std::uint64_t session) const;
    template <class Member>
    auto weakCallback(std::uint64_t session, Member member);

    void fetchFeed();
    void feedArrived(const HttpResult& result);
    void reportFailure(const UpdateError& error);
    void showFound(const AppcastItem& item);
    void userChose(UserUpdateChoice choice);
    void download();
    void downloadProgress(std::uint64_t received, std::uint64_t expected);
    void downloadArrived(const HttpResult& result);
    std::optional<UpdateError> verifyDownload(const std::string& path) const;
    void handToSystem(const std::string& partialPath);

    HostBundle host_;
    std::shared_ptr<UserDriver> driver_;
    std::weak_ptr<UpdaterDelegate> delegate_;
    std::shared_ptr<HttpTransport> transport_;
    Logger log_;
    std::string downloadDirectory_;
    bool started_ = false;
    Observable<bool> canCheckForUpdates_{false};
    Observable<bool> sessionInProgress_{false};
    TimerSlot scheduledCheck_;
    std::unique_ptr<Session> session_;
    std::uint64_t sessionCount_ = 0;
};

}  // namespace talvori::updates
