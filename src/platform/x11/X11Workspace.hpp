#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/core/Logger.hpp"
#include "platform/desktop/Workspace.hpp"
#include "platform/x11/X11ClientWindows.hpp"

namespace talvori {
class FileWatch;
class NotificationCenter;
class RunLoop;
}  // namespace talvori

namespace talvori::x11 {

class X11EventRouter;

class X11Application;
class X11ApplicationIdentities;
class X11MotionPreference;

// The session as the window manager shows it. X has no application objects: an application is a
// process with top-level windows, identified by its windows' WM_CLASS and named as its desktop
// entry names it; the frontmost one owns the active window, and a change of that owner is an
// activation.
class X11Workspace final : public Workspace, public std::enable_shared_from_this<X11Workspace> {
  public:
    static constexpr const char* kBundleIdentifier = "org.talvori.Talvori";

    X11Workspace(std::shared_ptr<X11Application> application,
                 std::shared_ptr<X11MotionPreference> motion, Logger log);
    ~X11Workspace() override;

    std::vector<RunningApplication> runningApplications() const override;
    std::optional<RunningApplication> frontmostApplication() const override;
    std::int32_t processIdentifier() const override;
    std::optional<std::string> bundleIdentifier() const override;
    bool openURL(const std::string& url) override;
    bool openFile(const std::string& path) override;
    bool accessibilityDisplayShouldReduceMotion() const override;

    void subscribe(X11EventRouter& router);
    // Another window became the active one: its application may have come to the front.
    void activeWindowChanged();

  private:
    void activeWindowAnnounced(const xcb_property_notify_event_t& notify);
    std::optional<RunningApplication> applicationOf(std::int32_t pid) const;
    // The application's identifier (WM_CLASS class) and its name as the user knows it, from its
    // client window; `withIcon`, its icon too, read from the server the first time (the list of
    // running programs shows it; following the active window does not wait for it).
    void name(RunningApplication& application, const X11ClientWindows::Client& client,
              bool withIcon) const;
    // Hands `url` to xdg-open in a session of its own, reaped when it ends.
    bool startOpener(const std::string& url);
    void reap(int pid, int pidfd);

    std::shared_ptr<X11Application> application_;
    Logger log_;
    std::shared_ptr<X11MotionPreference> motion_;
    std::unique_ptr<X11ApplicationIdentities> identities_;
    // First-seen order stands in for launch order, which X does not know.
    mutable std::map<std::int32_t, std::uint64_t> firstSeen_;
    mutable std::uint64_t nextSeen_ = 0;
    std::int32_t frontPID_ = 0;
    // Opened URL handlers still running, reaped when they end.
    std::map<int, std::shared_ptr<FileWatch>> children_;
};

}  // namespace talvori::x11
