#include "covers/AttachmentTarget.hpp"

#include <algorithm>
#include <cctype>

#include "platform/Platform.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/desktop/WindowListOption.hpp"

namespace talvori {

std::optional<std::string> AttachmentTarget::distinctTitle() const {
    if (!windowTitle || windowTitle->empty()) return std::nullopt;
    const auto& name = application.localizedName;
    // Programs often title a window with their own name in lower case ("xterm").
    const auto sameLetter = [](unsigned char a, unsigned char b) {
        return std::tolower(a) == std::tolower(b);
    };
    if (name && std::equal(name->begin(), name->end(), windowTitle->begin(), windowTitle->end(),
                           sameLetter)) {
        return std::nullopt;
    }
    return windowTitle;
}

std::optional<std::string> AttachmentTarget::label() const {
    const auto& name = application.localizedName;
    const auto title = distinctTitle();
    if (!title) return name;
    if (!name || name->empty()) return title;
    return *name + " \u2014 " + *title;
}

AttachmentInfo AttachmentTarget::attachmentInfo() const {
    return AttachmentInfo{application.processIdentifier, application.bundleIdentifier, label()};
}

std::vector<AttachmentTarget> AttachmentTarget::windowsOf(
    const std::vector<RunningApplication>& applications) {
    const auto windows = platform().windowList().copyWindowInfo(
        WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements);
    const std::vector<WindowInfo> none;
    std::vector<AttachmentTarget> targets;
    for (const auto& application : applications) {
        bool hasWindow = false;
        for (const auto& window : windows ? *windows : none) {
            if (!window.number || window.ownerPID != application.processIdentifier ||
                window.layer.value_or(WindowLevel::normal) != WindowLevel::normal) {
                continue;
            }
            targets.emplace_back(application, *window.number, window.name);
            hasWindow = true;
        }
        if (!hasWindow) targets.emplace_back(application);
    }
    return targets;
}

std::optional<AttachmentTarget> AttachmentTarget::find(const AttachmentInfo& info) {
    if (!info.targetBundleID) return std::nullopt;
    std::vector<RunningApplication> applications;
    for (auto& application : platform().workspace().runningApplications()) {
        if (application.bundleIdentifier == info.targetBundleID) {
            applications.push_back(std::move(application));
        }
    }
    // The same title counts for more than the same process: a process number read back from a
    // saved layout may since belong to another window of the class.
    const auto rank = [&](const AttachmentTarget& target) {
        return (target.label() == info.targetWindowTitle ? 2 : 0) +
               (target.application.processIdentifier == info.targetPID ? 1 : 0);
    };
    std::optional<AttachmentTarget> best;
    for (auto& target : windowsOf(applications)) {
        if (!best || rank(target) > rank(*best)) best = std::move(target);
    }
    return best;
}

}  // namespace talvori
