#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Generation.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Task.hpp"
#include "updates/StandardUserDriverDelegate.hpp"
#include "updates/UpdaterDelegate.hpp"

namespace talvori {

class Bundle;
class UserDefaults;

namespace updates {
class HttpTransport;
class Updater;
}  // namespace updates

// The program's own memory of updates beside the updater: the update found and neither installed
// nor skipped (kept across launches while it is newer than the running build), the what's-new card
// due after a version change, and whether the update callout is still due for the pending build.
// It answers the updater as its delegate so that updates found by scheduled checks become this
// quiet reminder instead of a window.
class UpdateReminder : public updates::UpdaterDelegate,
                       public updates::StandardUserDriverDelegate,
                       public std::enable_shared_from_this<UpdateReminder> {
  public:
    struct PendingUpdate {
        // The version the user knows.
        std::string version;
        // Compared with the running build.
        std::string build;
        std::optional<std::string> summary;

        // The sentence spoken for it: "Talvori 1.3 is ready." and the summary after a space.
        std::string readyAnnouncement() const;
        bool operator==(const PendingUpdate&) const = default;
    };

    static constexpr const char* kPendingUpdateKey = "updateReminder.pendingUpdate";
    static constexpr const char* kWhatsNewVersionKey = "updateReminder.whatsNewVersion";
    static constexpr const char* kLastLaunchedVersionKey = "updateReminder.lastLaunchedVersion";
    static constexpr const char* kCalloutShownVersionKey = "updateReminder.calloutShownVersion";
    static constexpr const char* kSummaryProperty = "talvori:summary";
    static constexpr const char* kChangelogPage = "https://talvori.org/changelog/";
    static constexpr double kReleaseNotesTimeout = 10;
    static constexpr std::uint64_t kReleaseNotesMaximumBytes = 1024 * 1024;

    // The one reminder of the running program, with the standard store and the program's bundle.
    static const std::shared_ptr<UpdateReminder>& shared();
    // The running build: the bundle's version when it is a string, else "0".
    static std::string bundleBuild(const Bundle& bundle);
    // The running version as the user knows it, or "" when the bundle has none.
    static std::string bundleShortVersion(const Bundle& bundle);

    // `currentBuild` and `currentShortVersion` are the running bundle's; `transport` (made on
    // first use when absent) loads release notes.
    static std::shared_ptr<UpdateReminder> make(
        std::shared_ptr<UserDefaults> defaults, std::string currentBuild,
        std::string currentShortVersion,
        std::shared_ptr<updates::HttpTransport> transport = nullptr);
    ~UpdateReminder() override;

    const Observable<std::optional<PendingUpdate>>& pendingUpdate() const { return pendingUpdate_; }
    const Observable<std::optional<std::string>>& whatsNewVersion() const {
        return whatsNewVersion_;
    }
    void setWhatsNewVersion(std::optional<std::string> version) {
        whatsNewVersion_.set(std::move(version));
    }
    std::function<void()> onUpdateFound;
    // The words of the shortcuts that turn Focus up and down, each only while it reaches the
    // program: none for one the user cleared or the desktop holds.
    struct FocusStepKeys {
        std::optional<std::string> up;
        std::optional<std::string> down;
        bool operator==(const FocusStepKeys&) const = default;
    };
    // Kept current by the program, which knows the shortcuts; until then the card names none.
    const Observable<FocusStepKeys>& focusStepKeys() const { return focusStepKeys_; }
    void setFocusStepKeys(FocusStepKeys keys) { focusStepKeys_.set(std::move(keys)); }
    std::weak_ptr<updates::Updater> updater;
    // Set only for previews of the panel, whose dismissals store nothing.
    bool isPreview = false;

    const std::string& currentBuild() const { return currentBuild_; }
    const std::string& currentShortVersion() const { return currentShortVersion_; }
    UserDefaults& defaults() const { return *defaults_; }

    void recordLaunch(bool hasCompletedOnboarding);
    std::optional<std::vector<std::string>> whatsNewBullets() const;
    std::optional<std::string> releaseNotesURL() const;
    void setPendingUpdate(std::optional<PendingUpdate> update);
    bool shouldShowCallout() const;
    void markCalloutShown();
    void handleFoundUpdate(const updates::AppcastItem& item);

    // Delegate answers.
    void userDidMakeChoice(updates::Updater& updater, updates::UserUpdateChoice choice,
                           const updates::AppcastItem& item,
                           const updates::UserUpdateState& state) override;
    bool supportsGentleScheduledUpdateReminders() override { return true; }
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const updates::AppcastItem&,
                                                              bool) override {
        return false;
    }
    void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate,
                                                   const updates::AppcastItem& item,
                                                   const updates::UserUpdateState& state) override;

    static bool isNewerBuild(const std::string& candidate, const std::string& current);
    static std::optional<std::string> plainSummary(std::string_view text);
    static std::optional<std::string> firstElementText(std::string_view html);
    static std::map<std::string, std::vector<std::string>> whatsNewTable(
        const FocusStepKeys& keys = {});

    static std::optional<std::string> encode(const PendingUpdate& update);
    static std::optional<PendingUpdate> decode(std::string_view json);

  private:
    UpdateReminder(std::shared_ptr<UserDefaults> defaults, std::string currentBuild,
                   std::string currentShortVersion,
                   std::shared_ptr<updates::HttpTransport> transport);
    void restore();
    // Loads `url` and gives the summary of the page, or none; awaited in a task.
    Task::ContinuationAwaiter<std::optional<std::string>> fetchReleaseNotesSummary(std::string url);
    void finishFoundUpdate(const std::string& candidate, const std::string& version,
                           std::optional<std::string> summary, bool summaryFromFeed,
                           std::uint64_t generation);

    Observable<std::optional<PendingUpdate>> pendingUpdate_;
    Observable<std::optional<std::string>> whatsNewVersion_;
    Observable<FocusStepKeys> focusStepKeys_;
    std::shared_ptr<UserDefaults> defaults_;
    std::string currentBuild_;
    std::string currentShortVersion_;
    std::shared_ptr<updates::HttpTransport> transport_;
    // Numbers the reports of found updates: a summary fetched for an older report never replaces
    // what a newer one brought.
    Generation reports_;
    // Whether the pending update's summary came from the feed itself, which no page text replaces.
    bool summaryFromFeed_ = false;
};

}  // namespace talvori
