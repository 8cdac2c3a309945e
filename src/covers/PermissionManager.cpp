#include "covers/PermissionManager.hpp"

#include "covers/PlatformShared.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Timer.hpp"

namespace talvori {

// One Accessibility polling run.
struct PermissionPollSession {
    UUID id = UUID::random();
    std::shared_ptr<PermissionPollTimer> timer;
    double elapsed = 0;
    PermissionManager::Completion completion;
};

namespace {

class RepeatingPollTimer final : public PermissionPollTimer {
  public:
    explicit RepeatingPollTimer(std::shared_ptr<Timer> timer) : timer_(std::move(timer)) {}
    void invalidate() override { timer_->invalidate(); }

  private:
    std::shared_ptr<Timer> timer_;
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

PermissionManager::~PermissionManager() {
    if (!pollSession_) return;
    if (auto timer = std::move(pollSession_->timer)) timer->invalidate();
}

const std::shared_ptr<PermissionManager>& PermissionManager::shared() {
    static PlatformShared<PermissionManager> instance([] {
        return create([] { return platform().accessibility().isProcessTrusted(); },
                      [] { platform().accessibility().promptForTrust(); }, scheduledPollTimer,
                      noPreparation);
    });
    return instance.get();
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
    accessibilityPrompt();
    pollForAccessibility(std::move(completion));
}

UUID PermissionManager::pollForAccessibility(Completion completion) {
    // An ended run's completion may start yet another run; that one is earlier than this one too.
    while (pollSession_) cancelPoll(false);
    auto session = std::make_shared<PermissionPollSession>();
    session->completion = std::move(completion);
    pollSession_ = session;
    auto timer = makePollTimer([weak = weak_from_this(), session] {
        if (auto self = weak.lock()) self->tick(session);
    });
    if (pollSession_ == session) {
        session->timer = std::move(timer);
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
    if (granted || session->elapsed >= pollLimit) finishPoll(session->id, granted);
}

void PermissionManager::finishPoll(const UUID& id, bool granted) {
    if (pollSession_ && pollSession_->id == id) cancelPoll(granted);
}

void PermissionManager::cancelPoll(bool granted) {
    // Cleared first, so that a completion that starts a new run keeps it.
    auto session = std::move(pollSession_);
    pollSession_ = nullptr;
    if (!session) return;
    if (auto timer = std::move(session->timer)) timer->invalidate();
    auto completion = std::move(session->completion);
    if (completion) completion(granted);
}

void PermissionManager::openAccessibilitySettings() {
    auto& workspace = platform().workspace();
    if (workspace.openURL(accessibilitySettingsURL)) return;
    workspace.openURL(accessibilitySettingsFallbackURL);
}

}  // namespace talvori
