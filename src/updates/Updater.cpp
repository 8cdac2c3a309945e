#include "updates/Updater.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/Platform.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/weakly.hpp"
#include "updates/CurlTransport.hpp"
#include "updates/SignatureVerifier.hpp"
#include "updates/UpdaterDelegate.hpp"
#include "updates/UserDriver.hpp"

namespace talvori::updates {

namespace fs = std::filesystem;

struct Updater::Session {
    std::uint64_t id = 0;
    UserUpdateState state;
    std::optional<AppcastItem> item;
    std::optional<HttpTransport::TransferID> transfer;
    std::string partialPath;
    bool announcedLength = false;
};

namespace {

// Room for " (999)" and ".part" in a file name of at most 255 bytes.
constexpr std::size_t kLongestName = 255 - 6 - 5;
// An extension longer than this is no extension but the end of a long name.
constexpr std::size_t kLongestExtension = 16;

// `name` cut to kLongestName bytes between two characters, keeping its extension.
std::string shortened(const std::string& name) {
    if (name.size() <= kLongestName) return name;
    std::string extension = fs::path(name).extension().string();
    if (extension.size() > kLongestExtension) extension.clear();
    std::size_t cut = kLongestName - extension.size();
    // Not inside a character: its continuation bytes (10xxxxxx) go with it.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut) + extension;
}

// The file name the download is saved under: the last path segment of its address, never a
// name that leaves the download folder, and short enough for any file system.
std::string downloadFileName(const std::string& url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    std::string name = path.substr(path.find_last_of('/') + 1);
    std::erase_if(name, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\\'; });
    if (name.empty() || name.front() == '.') name = "update" + name;
    return shortened(name);
}

// `name`, or from the second on `stem (number).ext`.
std::string numbered(const std::string& name, int number) {
    if (number == 1) return name;
    const fs::path path(name);
    return path.stem().string() + " (" + std::to_string(number) + ")" + path.extension().string();
}

constexpr int kMostNumbers = 999;

// Makes an empty file under the first free name. Nothing there before is ever opened, and a link
// is never followed: a folder that others can write to (the temporary folder, when there is no
// home) cannot hand us their file or send our writes elsewhere. Absent with `error` set when no
// name could be made.
std::optional<fs::path> createUnused(const fs::path& directory, const std::string& name,
                                     int& error) {
    for (int number = 1; number <= kMostNumbers; ++number) {
        fs::path candidate = directory / numbered(name, number);
        const int fd =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) break;
    }
    error = errno;
    return std::nullopt;
}

// Gives `from` the first free name in `directory`, never replacing a file that is there.
std::optional<fs::path> moveToUnused(const fs::path& from, const fs::path& directory,
                                     const std::string& name, int& error) {
    for (int number = 1; number <= kMostNumbers; ++number) {
        fs::path candidate = directory / numbered(name, number);
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) ==
            0) {
            return candidate;
        }
        // A file system that cannot rename without replacing: a new link fails just the same on
        // a name that is taken.
        if (errno == EINVAL && ::link(from.c_str(), candidate.c_str()) == 0) {
            ::unlink(from.c_str());
            return candidate;
        }
        if (errno != EEXIST) break;
    }
    error = errno;
    return std::nullopt;
}

UpdateError networkError(const HttpResult& result, const char* what) {
    std::string description = std::string(what) + ": ";
    description += result.outcome == HttpResult::Outcome::completed
                       ? "the server answered with status " + std::to_string(result.status)
                       : result.errorDescription;
    return UpdateError::make(UpdateError::kNetwork, description);
}

}  // namespace

// A callback for the driver or the transport that does nothing once the updater is gone or the
// session it belongs to has ended.
template <class Member>
auto Updater::weakCallback(std::uint64_t session, Member member) {
    return weakly(weak_from_this(), [session, member](Updater& self, auto&&... arguments) {
        if (!self.isCurrent(session)) return;
        (self.*member)(std::forward<decltype(arguments)>(arguments)...);
    });
}

std::shared_ptr<Updater> Updater::make(HostBundle host, std::shared_ptr<UserDriver> driver,
                                       std::weak_ptr<UpdaterDelegate> delegate,
                                       std::shared_ptr<HttpTransport> transport) {
    if (!transport) transport = CurlTransport::make(platform().sharedRunLoop());
    return std::shared_ptr<Updater>(
        new Updater(std::move(host), std::move(driver), std::move(delegate), std::move(transport)));
}

Updater::Updater(HostBundle host, std::shared_ptr<UserDriver> driver,
                 std::weak_ptr<UpdaterDelegate> delegate, std::shared_ptr<HttpTransport> transport)
    : host_(std::move(host)),
      driver_(std::move(driver)),
      delegate_(std::move(delegate)),
      transport_(std::move(transport)),
      log_(platform().logger("Updates")),
      downloadDirectory_(userDownloadDirectory()) {}

Updater::~Updater() {
    if (session_ && session_->transfer) transport_->cancel(*session_->transfer);
}

std::string Updater::userDownloadDirectory() {
    if (const char* configured = std::getenv("XDG_DOWNLOAD_DIR"); configured && *configured) {
        return configured;
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return (fs::path(home) / "Downloads").string();
    }
    std::error_code error;
    const auto temporary = fs::temp_directory_path(error);
    return error ? std::string("/tmp") : temporary.string();
}

bool Updater::start(UpdateError* error) {
    platform().runLoop().assertMainThread();
    auto fail = [&](std::string description) {
        if (error) *error = UpdateError::make(UpdateError::kInvalidConfiguration, description);
        return false;
    };
    if (started_) return true;
    if (!HttpTransport::isWebAddress(host_.feedURL)) {
        return fail("The update feed address is not an http or https address.");
    }
    if (!SignatureVerifier::make(host_.publicKey)) {
        return fail("The public key for update signatures is not a Base64 Ed25519 key.");
    }
    started_ = true;
    canCheckForUpdates_.set(true);
    scheduleNextCheck();
    return true;
}

bool Updater::automaticallyChecksForUpdates() const {
    return platform().userDefaults().boolValue(kAutomaticChecksKey).value_or(true);
}

void Updater::setAutomaticallyChecksForUpdates(bool enabled) {
    platform().userDefaults().set(kAutomaticChecksKey, enabled);
    scheduleNextCheck();
}

std::optional<double> Updater::nextScheduledCheckIn() const {
    const Timer* timer = scheduledCheck_.get();
    if (!timer || !timer->isValid()) return std::nullopt;
    return timer->interval();
}

void Updater::scheduleNextCheck() {
    scheduledCheck_.clear();
    if (!started_ || !automaticallyChecksForUpdates()) return;

    // Due a day after the last check, but never sooner than a while after launch and never more
    // than a day away (a last check "in the future" means the wall clock was set back).
    const double now = platform().clock().date();
    const auto last = platform().userDefaults().doubleValue(kLastCheckDateKey);
    double delay = last ? *last + kCheckInterval - now : kLaunchCheckDelay;
    delay = std::clamp(delay, kLaunchCheckDelay, kCheckInterval);

    scheduledCheck_.replace(Timer::scheduledTimer(
        platform().runLoop(), delay, false, weakly(weak_from_this(), &Updater::scheduledCheckDue),
        RunLoopMode::common));
}

void Updater::scheduledCheckDue() {
    // A session still under way when the check falls due puts it off to the next time.
    if (session_) {
        scheduleNextCheck();
        return;
    }
    beginSession(false);
}

void Updater::checkForUpdates() {
    platform().runLoop().assertMainThread();
    if (!started_ || session_) {
        log_.info("Check for updates ignored: %{public}s",
                  started_ ? "a session is in progress" : "the updater has not started");
        return;
    }
    beginSession(true);
}

void Updater::beginSession(bool userInitiated) {
    session_ = std::make_unique<Session>();
    session_->id = ++sessionCount_;
    session_->state.userInitiated = userInitiated;
    scheduledCheck_.clear();
    canCheckForUpdates_.set(false);
    sessionInProgress_.set(true);
    if (userInitiated) {
        driver_->showUserInitiatedUpdateCheck(weakCallback(session_->id, &Updater::endSession));
    }
    fetchFeed();
}

void Updater::endSession() {
    if (!session_) return;
    const bool userInitiated = session_->state.userInitiated;
    if (session_->transfer) transport_->cancel(*session_->transfer);
    if (!session_->partialPath.empty()) {
        std::error_code ignored;
        fs::remove(session_->partialPath, ignored);
    }
    session_.reset();
    sessionInProgress_.set(false);
    canCheckForUpdates_.set(started_);
    if (userInitiated) driver_->dismissUpdateInstallation();
    scheduleNextCheck();
}

bool Updater::isCurrent(std::uint64_t session) const {
    return session_ && session_->id == session;
}

void Updater::fetchFeed() {
    HttpRequest request;
    request.url = host_.feedURL;
    request.timeoutSeconds = kFeedTimeout;
    request.maximumBytes = Appcast::kMaximumBytes;
    session_->transfer =
        transport_->start(std::move(request), weakCallback(session_->id, &Updater::feedArrived));
}

void Updater::feedArrived(const HttpResult& result) {
    session_->transfer.reset();
    if (result.outcome == HttpResult::Outcome::completed ||
        result.outcome == HttpResult::Outcome::timedOut ||
        result.outcome == HttpResult::Outcome::transportFailure) {
        platform().userDefaults().set(kLastCheckDateKey, platform().clock().date());
    }
    if (!result.isSuccess() && result.outcome != HttpResult::Outcome::tooLarge &&
        result.outcome != HttpResult::Outcome::unsupportedAddress) {
        reportFailure(networkError(result, "The update feed could not be loaded"));
        return;
    }
    const auto appcast =
        result.isSuccess() ? Appcast::parse(result.body) : std::optional<Appcast>();
    if (!appcast) {
        reportFailure(
            UpdateError::make(UpdateError::kAppcastParse, "The update feed could not be read."));
        return;
    }
    // A check the user asked for offers even a build they skipped before.
    const std::string skipped =
        session_->state.userInitiated
            ? std::string()
            : platform().userDefaults().string(kSkippedBuildKey).value_or("");
    auto best = appcast->bestItem(host_.build, host_.systemVersion, skipped);
    if (!best) {
        if (session_->state.userInitiated) {
            driver_->showUpdateNotFound(weakCallback(session_->id, &Updater::endSession));
        } else {
            endSession();
        }
        return;
    }
    showFound(*best);
}

void Updater::reportFailure(const UpdateError& error) {
    if (!session_->state.userInitiated) {
        // Nobody asked for this check: a failure is noted, never put in front of the user.
        log_.error("Scheduled update check failed (%d): %{public}s", error.code,
                   error.localizedDescription);
        endSession();
        return;
    }
    driver_->showUpdaterError(error, weakCallback(session_->id, &Updater::endSession));
}

void Updater::showFound(const AppcastItem& item) {
    session_->item = item;
    driver_->showUpdateFound(item, session_->state,
                             weakCallback(session_->id, &Updater::userChose));
}

void Updater::userChose(UserUpdateChoice choice) {
    const AppcastItem item = *session_->item;
    const UserUpdateState state = session_->state;
    const std::uint64_t session = session_->id;
    if (choice == UserUpdateChoice::skip) {
        platform().userDefaults().set(kSkippedBuildKey, item.versionString());
    }
    if (auto delegate = delegate_.lock()) delegate->userDidMakeChoice(*this, choice, item, state);
    if (!isCurrent(session)) return;
    if (choice == UserUpdateChoice::install) {
        download();
    } else {
        endSession();
    }
}

void Updater::download() {
    const auto& enclosure = *session_->item->enclosure;
    std::error_code ignored;
    fs::create_directories(downloadDirectory_, ignored);
    int error = 0;
    const auto partial =
        createUnused(downloadDirectory_, downloadFileName(enclosure.url) + ".part", error);
    if (!partial) {
        reportFailure(UpdateError::make(UpdateError::kFile,
                                        "The update could not be saved in the download folder: " +
                                            std::string(std::strerror(error)) + "."));
        return;
    }
    session_->partialPath = partial->string();
    driver_->showDownloadInitiated(weakCallback(session_->id, &Updater::endSession));

    HttpRequest request;
    request.url = enclosure.url;
    request.timeoutSeconds = kDownloadTimeout;
    // One byte more than announced is enough to tell a wrong length.
    request.maximumBytes = enclosure.length ? *enclosure.length + 1 : kMaximumDownloadBytes;
    request.destinationPath = session_->partialPath;
    request.onProgress = weakCallback(session_->id, &Updater::downloadProgress);
    session_->transfer = transport_->start(std::move(request),
                                           weakCallback(session_->id, &Updater::downloadArrived));
}

void Updater::downloadProgress(std::uint64_t received, std::uint64_t expected) {
    if (!session_->announcedLength) {
        const auto& announced = session_->item->enclosure->length;
        const std::uint64_t length = expected ? expected : announced.value_or(0);
        if (length) {
            session_->announcedLength = true;
            driver_->showDownloadDidReceiveExpectedContentLength(length);
        }
    }
    driver_->showDownloadDidReceiveData(received);
}

void Updater::downloadArrived(const HttpResult& result) {
    session_->transfer.reset();
    const std::uint64_t session = session_->id;
    std::optional<UpdateError> error;
    if (result.outcome == HttpResult::Outcome::tooLarge) {
        error = UpdateError::make(UpdateError::kSignature, "The update is larger than announced.");
    } else if (result.outcome == HttpResult::Outcome::unsupportedAddress) {
        // A feed that points elsewhere than the web is broken, not the user's network.
        error = UpdateError::make(UpdateError::kAppcastParse,
                                  "The update's address is not an http or https address.");
    } else if (result.outcome == HttpResult::Outcome::fileFailure) {
        error = UpdateError::make(UpdateError::kFile, result.errorDescription);
    } else if (!result.isSuccess()) {
        error = networkError(result, "The update could not be downloaded");
    } else {
        error = verifyDownload(session_->partialPath);
    }
    if (error) {
        std::error_code ignored;
        fs::remove(session_->partialPath, ignored);
        session_->partialPath.clear();
        reportFailure(*error);
        return;
    }
    if (isCurrent(session)) handToSystem(session_->partialPath);
}

std::optional<UpdateError> Updater::verifyDownload(const std::string& path) const {
    const auto& enclosure = *session_->item->enclosure;
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (error || (enclosure.length && size != *enclosure.length)) {
        return UpdateError::make(UpdateError::kSignature,
                                 "The update does not have the announced length.");
    }
    const auto verifier = SignatureVerifier::make(host_.publicKey);
    const std::uint64_t limit = enclosure.length.value_or(kMaximumDownloadBytes);
    if (!verifier || !verifier->verifyFile(path, enclosure.edSignature, limit)) {
        return UpdateError::make(UpdateError::kSignature,
                                 "The update is improperly signed and could not be validated.");
    }
    return std::nullopt;
}

void Updater::handToSystem(const std::string& partialPath) {
    int error = 0;
    const auto finalPath = moveToUnused(partialPath, downloadDirectory_,
                                        downloadFileName(session_->item->enclosure->url), error);
    session_->partialPath.clear();
    if (!finalPath) {
        std::error_code ignored;
        fs::remove(partialPath, ignored);
        reportFailure(UpdateError::make(UpdateError::kFile,
                                        "The update could not be saved in the download folder: " +
                                            std::string(std::strerror(error)) + "."));
        return;
    }
    const bool opened = platform().workspace().openFile(finalPath->string());
    driver_->showDownloadDidFinish(finalPath->string(), opened,
                                   weakCallback(session_->id, &Updater::endSession));
}

}  // namespace talvori::updates
