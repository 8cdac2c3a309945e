#pragma once

#include <memory>

#include "updates/HostBundle.hpp"
#include "updates/UpdateWindowView.hpp"
#include "updates/UserDriver.hpp"

namespace talvori {
class Panel;
}
namespace talvori::ui {
class PanelHost;
}

namespace talvori::updates {

class StandardUserDriverDelegate;

// Shows update sessions in one window of the updater's own: checking, up to date, the found update
// with "Install Update", "Skip This Version" and "Remind Me Later", the download's progress, the
// saved file and errors. Updates found by scheduled checks go first to the delegate, which may
// keep the window closed and remind the user its own way.
class StandardUserDriver : public UserDriver,
                           public std::enable_shared_from_this<StandardUserDriver> {
  public:
    StandardUserDriver(HostBundle host, std::weak_ptr<StandardUserDriverDelegate> delegate);
    ~StandardUserDriver() override;

    void showUserInitiatedUpdateCheck(std::function<void()> cancellation) override;
    void showUpdateFound(const AppcastItem& item, const UserUpdateState& state,
                         std::function<void(UserUpdateChoice)> reply) override;
    void showUpdateNotFound(std::function<void()> acknowledgement) override;
    void showDownloadInitiated(std::function<void()> cancellation) override;
    void showDownloadDidReceiveExpectedContentLength(std::uint64_t expectedLength) override;
    void showDownloadDidReceiveData(std::uint64_t receivedLength) override;
    void showDownloadDidFinish(const std::string& path, bool opened,
                               std::function<void()> acknowledgement) override;
    void showUpdaterError(const UpdateError& error, std::function<void()> acknowledgement) override;
    void dismissUpdateInstallation() override;

    // The window while a session shows one.
    const std::shared_ptr<Panel>& window() const { return window_; }
    const HostBundle& host() const { return host_; }

  private:
    void show(UpdateWindowView content);
    void showProgress();
    // A button action that closes the window, then answers the updater.
    std::function<void()> closing(std::function<void()> answer);

    HostBundle host_;
    std::weak_ptr<StandardUserDriverDelegate> delegate_;
    std::shared_ptr<Panel> window_;
    std::shared_ptr<ui::PanelHost> content_;
    std::function<void()> downloadCancellation_;
    std::uint64_t expectedLength_ = 0;
    std::uint64_t receivedLength_ = 0;
};

}  // namespace talvori::updates
