#include "covers/PermissionManager.hpp"

#include <iterator>
#include <utility>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/weakly.hpp"

namespace talvori {

// One Accessibility polling run: the completion of whoever started it, and those of the trust
// requests that joined it.
struct PermissionPollSession {
    UUID id = UUID::random();
    double elapsed = 0;
    PermissionManager::Completion completion;
    std::vector<PermissionManager::Completion> waiters;
};

namespace {

class RepeatingPollTimer final : public PermissionPollTimer {
  public:
    explicit RepeatingPollTimer(std::shared_ptr<Timer> timer) { timer_.replace(std::move(timer)); }
    void invalidate() override { timer_.clear(); }

  private:
    TimerSlot timer_;
};

}  // namespace

PermissionManager::PermissionManager(std::function<bool()> accessibilityCheck,
                                     std::function<void()> accessibilityPrompt,
                                     MakePollTimer makePollTimer,
                                     BeforeCancellation beforeCancellation)
    : accessibilityCheck(std::move(accessibilityCheck)),
      accessibilityPrompt(std::move(accessibilityPrompt)),
      makePollTimer(std::move(makePollTimer)),
      beforeCancellation(std::move(beforeCancellation)) {}

const std::shared_ptr<PermissionManager>& PermissionManager::shared() {
    return platform().service<PermissionManager>();
}

std::shared_ptr<PermissionManager> PermissionManager::makeShared() {
    return create([] { return platform().accessibility().isProcessTrusted(); },
                  [] { platform().accessibility().promptForTrust(); }, scheduledPollTimer,
                  noPreparation);
}

std::shared_ptr<PermissionManager> PermissionManager::create(
    std::function<bool()> accessibilityCheck, std::function<void()> accessibilityPrompt,
    MakePollTimer makePollTimer, BeforeCancellation beforeCancellation) {
    return std::shared_ptr<PermissionManager>(
        new PermissionManager(std::move(accessibilityCheck), std::move(accessibilityPrompt),
                              std::move(makePollTimer), std::move(beforeCancellation)));
}

std::shared_ptr<PermissionPollTimer> PermissionManager::scheduledPollTimer(
    std::function<void()> tick) {
    return std::make_shared<RepeatingPollTimer>(Timer::scheduledTimer(
        platform().runLoop(), pollInterval, true, [tick = std::move(tick)](Timer&) { tick(); }));
}

void PermissionManager::requestAccessibility(Completion completion) {
    if (accessibilityCheck()) {
        completion(true);
        return;
    }
    // Several covers asking at once get one prompt and are all answered when trust comes; a run
    // already going (a Focus wait) serves them without being ended.
    if (!pollSession_) {
        accessibilityPrompt();
        pollForAccessibility(nullptr);
    }
    if (pollSession_) {
        pollSession_->waiters.push_back(std::move(completion));
    } else {
        completion(accessibilityCheck());  // the run ended while it was being started
    }
}

UUID PermissionManager::pollForAccessibility(Completion completion) {
    // A trust request waits for trust, not for the run that served it: it moves to the new run.
    std::vector<Completion> waiters;
    // An ended run's completion may start yet another run; that one is earlier than this one too.
    while (pollSession_) {
        auto joined = std::exchange(pollSession_->waiters, {});
        waiters.insert(waiters.end(), std::make_move_iterator(joined.begin()),
                       std::make_move_iterator(joined.end()));
        cancelPoll(false);
    }
    auto session = std::make_shared<PermissionPollSession>();
    session->completion = std::move(completion);
    session->waiters = std::move(waiters);
    pollSession_ = session;
    auto timer = makePollTimer(
        weakly(weak_from_this(), [session](PermissionManager& self) { self.tick(session); }));
    if (pollSession_ == session) {
        pollTimer_.replace(std::move(timer));
    } else if (timer) {
        timer->invalidate();  // the run ended while its timer was being made
    }
    return session->id;
}

void PermissionManager::tick(const std::shared_ptr<PermissionPollSession>& session) {
    if (pollSession_ != session) return;
    // A fixed step, whatever the timer's real interval: the limit counts ticks.
    session->elapsed += pollInterval;
    const bool granted = accessibilityCheck();
    if (granted || session->elapsed >= pollLimit) cancelPoll(granted);
}

void PermissionManager::finishPoll(const UUID& id, bool granted) {
    if (!pollSession_ || pollSession_->id != id) return;
    if (granted || pollSession_->waiters.empty()) {
        cancelPoll(granted);
        return;
    }
    // Whoever started the run gave up; the trust requests that joined it still wait.
    if (auto completion = std::exchange(pollSession_->completion, nullptr)) completion(false);
}

void PermissionManager::cancelPoll(bool granted) {
    // Cleared first, so that a completion that starts a new run keeps it.
    auto session = std::move(pollSession_);
    pollSession_ = nullptr;
    if (!session) return;
    pollTimer_.clear();
    auto completion = std::move(session->completion);
    if (completion) completion(granted);
    for (auto& waiter : session->waiters) {
        if (waiter) waiter(granted);
    }
}

void PermissionManager::openAccessibilitySettings() {
    auto& workspace = platform().workspace();
    if (workspace.openURL(accessibilitySettingsURL)) return;
    workspace.openURL(accessibilitySettingsFallbackURL);
}

}  // namespace talvori
