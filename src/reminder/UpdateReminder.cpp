#include "reminder/UpdateReminder.hpp"

#include <charconv>

#include "platform/Platform.hpp"
#include "platform/core/Json.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/core/weakly.hpp"
#include "reminder/ReleaseNotesText.hpp"
#include "updates/CurlTransport.hpp"

namespace talvori {

namespace {

std::optional<std::int64_t> wholeInteger(const std::string& text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty() || (digits.front() == '-' && digits.size() == 1)) return std::nullopt;
    for (std::size_t i = digits.front() == '-' ? 1 : 0; i < digits.size(); ++i) {
        if (digits[i] < '0' || digits[i] > '9') return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// Runs of digits compare by their value, every other character by itself, without a locale.
int numericCompare(std::string_view left, std::string_view right) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < left.size() && j < right.size()) {
        if (isDigit(left[i]) && isDigit(right[j])) {
            std::size_t endLeft = i;
            std::size_t endRight = j;
            while (endLeft < left.size() && isDigit(left[endLeft])) ++endLeft;
            while (endRight < right.size() && isDigit(right[endRight])) ++endRight;
            std::string_view a = left.substr(i, endLeft - i);
            std::string_view b = right.substr(j, endRight - j);
            while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
            while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
            if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
            if (const int order = a.compare(b)) return order < 0 ? -1 : 1;
            i = endLeft;
            j = endRight;
            continue;
        }
        const auto a = static_cast<unsigned char>(left[i]);
        const auto b = static_cast<unsigned char>(right[j]);
        if (a != b) return a < b ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < left.size()) return 1;
    if (j < right.size()) return -1;
    return 0;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::string result;
    result.reserve(text.size());
    std::size_t at = 0;
    for (std::size_t found = text.find(from); found != std::string::npos;
         found = text.find(from, at)) {
        result.append(text, at, found - at);
        result.append(to);
        at = found + from.size();
    }
    result.append(text, at);
    text = std::move(result);
}

}  // namespace

std::string UpdateReminder::PendingUpdate::readyAnnouncement() const {
    std::string sentence = "Talvori " + version + " is ready.";
    if (summary) sentence += " " + *summary;
    return sentence;
}

const std::shared_ptr<UpdateReminder>& UpdateReminder::shared() {
    return platform().service<UpdateReminder>([] {
        const Bundle& bundle = platform().mainBundle();
        return make(platform().userDefaults().shared_from_this(), bundleBuild(bundle),
                    bundleShortVersion(bundle));
    });
}

std::string UpdateReminder::bundleBuild(const Bundle& bundle) {
    return bundle.version().value_or("0");
}

std::string UpdateReminder::bundleShortVersion(const Bundle& bundle) {
    return bundle.shortVersion().value_or("");
}

std::shared_ptr<UpdateReminder> UpdateReminder::make(
    std::shared_ptr<UserDefaults> defaults, std::string currentBuild,
    std::string currentShortVersion, std::shared_ptr<updates::HttpTransport> transport) {
    std::shared_ptr<UpdateReminder> reminder(
        new UpdateReminder(std::move(defaults), std::move(currentBuild),
                           std::move(currentShortVersion), std::move(transport)));
    reminder->restore();
    return reminder;
}

UpdateReminder::UpdateReminder(std::shared_ptr<UserDefaults> defaults, std::string currentBuild,
                               std::string currentShortVersion,
                               std::shared_ptr<updates::HttpTransport> transport)
    : defaults_(std::move(defaults)),
      currentBuild_(std::move(currentBuild)),
      currentShortVersion_(std::move(currentShortVersion)),
      transport_(std::move(transport)) {}

UpdateReminder::~UpdateReminder() = default;

void UpdateReminder::restore() {
    const auto data = defaults_->data(kPendingUpdateKey);
    const auto stored =
        data ? decode(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()))
             : std::nullopt;
    if (stored && isNewerBuild(stored->build, currentBuild_)) {
        pendingUpdate_.set(stored);
    } else {
        defaults_->removeObject(kPendingUpdateKey);
    }
    const auto whatsNew = defaults_->string(kWhatsNewVersionKey);
    if (whatsNew && *whatsNew == currentShortVersion_) whatsNewVersion_.set(whatsNew);
}

void UpdateReminder::recordLaunch(bool hasCompletedOnboarding) {
    const std::string& current = currentShortVersion_;
    const auto last = defaults_->string(kLastLaunchedVersionKey);
    const bool due = last ? *last != current : hasCompletedOnboarding;
    if (due && whatsNewTable().contains(current)) {
        whatsNewVersion_.set(current);
        defaults_->set(kWhatsNewVersionKey, current);
    }
    defaults_->set(kLastLaunchedVersionKey, current);
}

std::optional<std::vector<std::string>> UpdateReminder::whatsNewBullets() const {
    if (pendingUpdate_.get()) return std::nullopt;
    const auto& version = whatsNewVersion_.get();
    if (!version) return std::nullopt;
    const auto table = whatsNewTable(focusStepKeys_.get());
    const auto found = table.find(*version);
    if (found == table.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> UpdateReminder::releaseNotesURL() const {
    const auto& version = whatsNewVersion_.get();
    if (!version) return std::nullopt;
    // The version becomes the fragment; characters no address may hold make none.
    for (const unsigned char c : *version) {
        if (c <= 0x20 || c >= 0x7F ||
            std::string_view("\"#<>\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos) {
            return std::nullopt;
        }
    }
    return std::string(kChangelogPage) + "#v" + *version;
}

void UpdateReminder::setPendingUpdate(std::optional<PendingUpdate> update) {
    pendingUpdate_.set(update);
    const auto json = update ? encode(*update) : std::nullopt;
    if (json) {
        defaults_->set(kPendingUpdateKey, Data(json->begin(), json->end()));
    } else {
        defaults_->removeObject(kPendingUpdateKey);
    }
}

bool UpdateReminder::shouldShowCallout() const {
    const auto& pending = pendingUpdate_.peek();
    if (!pending) return false;
    return defaults_->string(kCalloutShownVersionKey) != pending->build;
}

void UpdateReminder::markCalloutShown() {
    if (const auto& pending = pendingUpdate_.peek()) {
        defaults_->set(kCalloutShownVersionKey, pending->build);
    }
}

void UpdateReminder::handleFoundUpdate(const updates::AppcastItem& item) {
    const std::string candidate = item.versionString();
    if (!isNewerBuild(candidate, currentBuild_)) return;
    const std::string version = item.displayVersionString();
    std::optional<std::string> summary;
    const auto property = item.propertiesDictionary().find(kSummaryProperty);
    if (property != item.propertiesDictionary().end()) {
        if (const auto* text = property->second.get<std::string>()) summary = plainSummary(*text);
    }
    const auto& notes = item.releaseNotesURL();

    const auto& pending = pendingUpdate_.peek();
    if (!pending || pending->build != candidate) {
        summaryFromFeed_ = false;
        setPendingUpdate(PendingUpdate{version, candidate, summary});
    }
    const std::uint64_t generation = reports_.next();
    std::weak_ptr<UpdateReminder> weak = weak_from_this();
    Task::start(
        platform().runLoop(), [weak, candidate, version, summary, notes, generation]() -> Async {
            std::optional<std::string> found = summary;
            const bool fromFeed = summary.has_value();
            if (!found && notes) {
                auto fetch = withOwner(weak, &UpdateReminder::fetchReleaseNotesSummary, *notes);
                if (!fetch) co_return;
                found = co_await *fetch;
            } else {
                co_await Task::yield();
            }
            withOwner(weak, [&](UpdateReminder& self) {
                self.finishFoundUpdate(candidate, version, found, fromFeed, generation);
            });
        });
}

void UpdateReminder::finishFoundUpdate(const std::string& candidate, const std::string& version,
                                       std::optional<std::string> summary, bool summaryFromFeed,
                                       std::uint64_t generation) {
    const auto& pending = pendingUpdate_.peek();
    if (!pending || pending->build != candidate) return;
    // A page fetched for an older report, or one that would replace the feed's own summary, is
    // too late: the newer or better summary stays.
    const bool mayStore = summaryFromFeed || (reports_.isCurrent(generation) && !summaryFromFeed_);
    if (summary && summary != pending->summary && mayStore) {
        summaryFromFeed_ = summaryFromFeed;
        setPendingUpdate(PendingUpdate{version, candidate, summary});
    } else if (summary && summary == pending->summary && summaryFromFeed) {
        summaryFromFeed_ = true;
    }
    if (onUpdateFound) onUpdateFound();
}

Task::ContinuationAwaiter<std::optional<std::string>> UpdateReminder::fetchReleaseNotesSummary(
    std::string url) {
    if (!transport_) transport_ = updates::CurlTransport::make(platform().sharedRunLoop());
    std::weak_ptr<updates::HttpTransport> transport = transport_;
    return Task::withContinuation<std::optional<std::string>>(
        [transport, url](Continuation<std::optional<std::string>> continuation) {
            const bool started = withOwner(transport, [&](updates::HttpTransport& strong) {
                updates::HttpRequest request;
                request.url = url;
                request.timeoutSeconds = kReleaseNotesTimeout;
                request.maximumBytes = kReleaseNotesMaximumBytes;
                strong.start(std::move(request), [continuation](updates::HttpResult result) {
                    // An error page ("Page not found") is no summary of the release.
                    if (!result.isSuccess() || !ReleaseNotesText::isValidUTF8(result.body)) {
                        return continuation.resume(std::nullopt);
                    }
                    continuation.resume(firstElementText(result.body));
                });
            });
            if (!started) continuation.resume(std::nullopt);
        });
}

void UpdateReminder::userDidMakeChoice(updates::Updater&, updates::UserUpdateChoice choice,
                                       const updates::AppcastItem& item,
                                       const updates::UserUpdateState&) {
    if (choice != updates::UserUpdateChoice::skip) return;
    const auto& pending = pendingUpdate_.peek();
    if (!pending || pending->build != item.versionString()) return;
    pendingUpdate_.set(std::nullopt);
    defaults_->removeObject(kPendingUpdateKey);
}

void UpdateReminder::standardUserDriverWillHandleShowingUpdate(bool,
                                                               const updates::AppcastItem& item,
                                                               const updates::UserUpdateState&) {
    handleFoundUpdate(item);
}

bool UpdateReminder::isNewerBuild(const std::string& candidate, const std::string& current) {
    const auto a = wholeInteger(candidate);
    const auto b = wholeInteger(current);
    if (a && b) return *a > *b;
    return numericCompare(candidate, current) > 0;
}

std::optional<std::string> UpdateReminder::plainSummary(std::string_view text) {
    std::string result = ReleaseNotesText::stripTags(text);
    // In this order: "&amp;lt;" becomes "<".
    static constexpr std::pair<std::string_view, std::string_view> kEntities[] = {
        {"&amp;", "&"}, {"&lt;", "<"},         {"&gt;", ">"},   {"&quot;", "\""},
        {"&#39;", "'"}, {"&rsquo;", "\u2019"}, {"&nbsp;", " "},
    };
    for (const auto& [entity, replacement] : kEntities) replaceAll(result, entity, replacement);
    result = ReleaseNotesText::collapseWhitespace(result);
    if (result.empty()) return std::nullopt;
    return result;
}

std::optional<std::string> UpdateReminder::firstElementText(std::string_view html) {
    for (std::string_view tag : {"li", "p"}) {
        const auto content = ReleaseNotesText::firstElementContent(html, tag);
        if (!content) continue;
        if (auto summary = plainSummary(*content)) return summary;
    }
    return std::nullopt;
}

namespace {

// A bullet names a shortcut only while it works; without one it says nothing.
std::vector<std::string> withFocusStepBullet(std::vector<std::string> bullets,
                                             const UpdateReminder::FocusStepKeys& keys) {
    std::optional<std::string> bullet;
    if (keys.up && keys.down) {
        bullet = *keys.up + " and " + *keys.down + " turn Focus up or down.";
    } else if (keys.up) {
        bullet = *keys.up + " turns Focus up.";
    } else if (keys.down) {
        bullet = *keys.down + " turns Focus down.";
    }
    if (bullet) bullets.insert(bullets.begin() + 1, *bullet);
    return bullets;
}

}  // namespace

std::map<std::string, std::vector<std::string>> UpdateReminder::whatsNewTable(
    const FocusStepKeys& keys) {
    return {
        {"1.2.4",
         {"Record a shortcut by pressing its keys.", "See right away if a shortcut is taken.",
          "A calmer message when an update fails."}},
        {"1.2.3",
         {"A quiet reminder when an update is ready.", "Install it from the top of the panel.",
          "This card shows what's new after each update."}},
        {"1.2.2", withFocusStepBullet({"Focus Mode remembers your settings.",
                                       "Shortcut fields in Settings record new shortcuts again."},
                                      keys)},
    };
}

std::optional<std::string> UpdateReminder::encode(const PendingUpdate& update) {
    JsonValue json = Json::object(3);
    json["version"] = update.version;
    json["build"] = update.build;
    Json::setOptional(json, "summary", update.summary);
    return Json::dump(json);
}

std::optional<UpdateReminder::PendingUpdate> UpdateReminder::decode(std::string_view text) {
    const auto json = Json::parse(text);
    if (!json || !json->is_object()) return std::nullopt;
    const auto version = json->find("version");
    const auto build = json->find("build");
    if (version == json->end() || !version->is_string() || build == json->end() ||
        !build->is_string()) {
        return std::nullopt;
    }
    PendingUpdate update{version->get<std::string>(), build->get<std::string>(), std::nullopt};
    if (const auto summary = json->find("summary"); summary != json->end() && !summary->is_null()) {
        if (!summary->is_string()) return std::nullopt;
        update.summary = summary->get<std::string>();
    }
    return update;
}

}  // namespace talvori
