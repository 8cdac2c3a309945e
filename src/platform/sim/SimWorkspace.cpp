#include "platform/sim/SimWorkspace.hpp"

#include <algorithm>

#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

std::vector<RunningApplication> SimWorkspace::runningApplications() const {
    std::vector<RunningApplication> result;
    for (const SimProcess* process : world_->processes()) {
        if (!process->isSystem) result.push_back(process->runningApplication());
    }
    return result;
}

std::optional<RunningApplication> SimWorkspace::frontmostApplication() const {
    const auto pid = world_->frontmostPID();
    if (!pid) return std::nullopt;
    const SimProcess* process = world_->process(*pid);
    if (!process) return std::nullopt;
    return process->runningApplication();
}

std::int32_t SimWorkspace::processIdentifier() const {
    return SimWorld::kOwnPID;
}

std::optional<std::string> SimWorkspace::bundleIdentifier() const {
    return world_->process(SimWorld::kOwnPID)->bundleIdentifier;
}

bool SimWorkspace::openURL(const std::string& url) {
    openedURLs_.push_back(url);
    const bool fails = allURLsFail_ || std::find(failingURLs_.begin(), failingURLs_.end(), url) !=
                                           failingURLs_.end();
    world_->log("open url " + url + (fails ? " (failed)" : ""));
    return !fails;
}

bool SimWorkspace::openFile(const std::string& path) {
    openedFiles_.push_back(path);
    world_->log("open file " + path + (filesFail_ ? " (failed)" : ""));
    return !filesFail_;
}

}  // namespace talvori::sim
