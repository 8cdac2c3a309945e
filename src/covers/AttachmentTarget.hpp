#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "covers/AttachmentInfo.hpp"
#include "platform/desktop/RunningApplication.hpp"

namespace talvori {

// One window a cover can follow, as the user knows it: the application that shows it, and which
// of its windows with the title it has. Without a window it stands for the application's focused
// window.
struct AttachmentTarget {
    RunningApplication application;
    std::optional<std::uint32_t> windowNumber;
    std::optional<std::string> windowTitle;

    // An application alone, as a caller that knows no window names it.
    AttachmentTarget(RunningApplication application)  // NOLINT(google-explicit-constructor)
        : application(std::move(application)) {}
    AttachmentTarget(RunningApplication application, std::uint32_t windowNumber,
                     std::optional<std::string> windowTitle)
        : application(std::move(application)),
          windowNumber(windowNumber),
          windowTitle(std::move(windowTitle)) {}

    // What the user calls it: "XTerm \u2014 ~/notes", or the application's name alone when the
    // window has no title of its own; none when neither has a name. Stored as the attachment's
    // title, which is how a saved cover finds its window again.
    std::optional<std::string> label() const;
    // The window's title where it tells more than the application's name.
    std::optional<std::string> distinctTitle() const;
    // The record of an attachment to it.
    AttachmentInfo attachmentInfo() const;

    // The on-screen windows of `applications` at the normal level, each application's front to
    // back; an application without one stays as itself.
    static std::vector<AttachmentTarget> windowsOf(
        const std::vector<RunningApplication>& applications);
    // The window a saved attachment was made to, among the running applications' windows: of its
    // application (bundle id), the one with its title in the same process, else with its title,
    // else in the same process, else the first. None without a bundle id or such an application.
    static std::optional<AttachmentTarget> find(const AttachmentInfo& info);

    bool operator==(const AttachmentTarget&) const = default;
};

}  // namespace talvori
