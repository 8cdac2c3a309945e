#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/RunningApplication.hpp"

namespace talvori {

// The user's session as a whole: which applications run and which is in front.
class Workspace {
  public:
    // Posted on the platform's notification center, without a sender, after the
    // frontmost application changed (ours included), never inside a call of ours. User info:
    // kApplicationKey -> RunningApplication. Observe it with main-queue delivery.
    static constexpr const char* kDidActivateApplicationNotification =
        "WorkspaceDidActivateApplication";
    static constexpr const char* kApplicationKey = "application";

    virtual ~Workspace() = default;

    // In launch order.
    virtual std::vector<RunningApplication> runningApplications() const = 0;
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Our own process.
    virtual std::int32_t processIdentifier() const = 0;
    virtual std::optional<std::string> bundleIdentifier() const = 0;

    // Whether the address was handed to an application that opens it. Web and mail addresses
    // only: an address from elsewhere (a feed, a page) never opens a local file.
    virtual bool openURL(const std::string& url) = 0;
    // Whether a file this program wrote itself (a verified download) was handed to the user's
    // application for its kind; `path` is absolute.
    virtual bool openFile(const std::string& path) = 0;
    // The user's Reduce Motion setting, read anew at every call.
    virtual bool accessibilityDisplayShouldReduceMotion() const = 0;
};

}  // namespace talvori
