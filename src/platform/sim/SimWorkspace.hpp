#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/Workspace.hpp"

namespace talvori::sim {

class SimWorld;

// The simulated workspace: applications from the world, opened addresses and files recorded.
class SimWorkspace final : public Workspace {
  public:
    explicit SimWorkspace(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

    std::vector<RunningApplication> runningApplications() const override;
    std::optional<RunningApplication> frontmostApplication() const override;
    std::int32_t processIdentifier() const override;
    std::optional<std::string> bundleIdentifier() const override;
    bool openURL(const std::string& url) override;
    bool openFile(const std::string& path) override;
    bool accessibilityDisplayShouldReduceMotion() const override { return reduceMotion_; }

    void setReduceMotion(bool on) { reduceMotion_ = on; }
    // Addresses that fail to open; every other one opens.
    void setFailingURLs(std::vector<std::string> urls) { failingURLs_ = std::move(urls); }
    void setOpenURLFails(bool fails) { allURLsFail_ = fails; }
    void setOpenFileFails(bool fails) { filesFail_ = fails; }
    // Every address asked for, opened or not.
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    const std::vector<std::string>& openedFiles() const { return openedFiles_; }

  private:
    std::shared_ptr<SimWorld> world_;
    bool reduceMotion_ = false;
    bool allURLsFail_ = false;
    bool filesFail_ = false;
    std::vector<std::string> failingURLs_;
    std::vector<std::string> openedURLs_;
    std::vector<std::string> openedFiles_;
};

}  // namespace talvori::sim
