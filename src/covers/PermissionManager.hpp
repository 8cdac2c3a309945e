#pragma once

#include <functional>
#include <memory>

#include "covers/AccessibilityWait.hpp"
#include "covers/PermissionPollTimer.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/core/UUID.hpp"

namespace talvori {

struct PermissionPollSession;

// Whether the process is trusted for Accessibility, the system's trust prompt, polling until trust
// is granted or a minute passes, an awaitable wait for the same, and the Accessibility page of the
// system settings. At most one polling run at a time; every run's completion is called exactly
// once. Main thread only.
class PermissionManager : public std::enable_shared_from_this<PermissionManager> {
  public:
    using Completion = std::function<void(bool granted)>;
    // Makes and starts the repeating timer of a polling run; each firing calls `tick`.
    using MakePollTimer =
        std::function<std::shared_ptr<PermissionPollTimer>(std::function<void()> tick)>;
    // Awaited before a cancelled wait ends its run: calls `done` when finished.
    using BeforeCancellation = std::function<void(std::function<void()> done)>;

    static constexpr double pollInterval = 0.5;
    static constexpr double pollLimit = 60;
    // The Accessibility page of the system settings, and where it lives on systems that moved it.
    static constexpr const char* accessibilitySettingsURL =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";
    static constexpr const char* accessibilitySettingsFallbackURL =
        "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?"
        "Privacy_Accessibility";

    // The one instance of the program, asking the desktop's Accessibility service, polling on a
    // half-second timer of the main run loop, with no preparation before a cancelled wait ends.
    static const std::shared_ptr<PermissionManager>& shared();
    static std::shared_ptr<PermissionManager> makeShared();

    static std::shared_ptr<PermissionManager> create(std::function<bool()> accessibilityCheck,
                                                     std::function<void()> accessibilityPrompt,
                                                     MakePollTimer makePollTimer,
                                                     BeforeCancellation beforeCancellation);
    // A repeating timer of `pollInterval` on the main run loop, in its default mode.
    static std::shared_ptr<PermissionPollTimer> scheduledPollTimer(std::function<void()> tick);
    // Calls `done` at once.
    static void noPreparation(std::function<void()> done) { done(); }

    // A run still going stops its timer (the slot does) without calling its completion.
    ~PermissionManager() = default;
    PermissionManager(const PermissionManager&) = delete;
    PermissionManager& operator=(const PermissionManager&) = delete;

    // Trusted: completion(true) at once. Otherwise shows the system prompt and polls, or, while a
    // run polls already, joins it without a second prompt. The completion is called when trust
    // comes or the limit passes, whichever run is polling by then.
    void requestAccessibility(Completion completion);
    // Starts a polling run, ending any earlier one with false first (trust requests that joined
    // it wait on in the new run); returns the run's id.
    UUID pollForAccessibility(Completion completion);
    // Ends the current run with `granted`, but only when `id` names it. Ended with false, a run
    // that trust requests joined goes on polling for them.
    void finishPoll(const UUID& id, bool granted);
    // Ends the current run, if any, with `granted`.
    void cancelPoll(bool granted);
    // Inside a task body: `bool trusted = co_await manager->waitForAccessibility();`
    AccessibilityWait waitForAccessibility() { return AccessibilityWait(weak_from_this()); }

    // Opens the first of the two settings pages that the workspace reports as opened.
    void openAccessibilitySettings();

    bool isPolling() const { return pollSession_ != nullptr; }

    const std::function<bool()> accessibilityCheck;
    const std::function<void()> accessibilityPrompt;
    const MakePollTimer makePollTimer;
    const BeforeCancellation beforeCancellation;

  private:
    PermissionManager(std::function<bool()> accessibilityCheck,
                      std::function<void()> accessibilityPrompt, MakePollTimer makePollTimer,
                      BeforeCancellation beforeCancellation);

    void tick(const std::shared_ptr<PermissionPollSession>& session);

    std::shared_ptr<PermissionPollSession> pollSession_;
    // The timer of the current run.
    BasicTimerSlot<PermissionPollTimer> pollTimer_;
};

}  // namespace talvori
