#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "updates/AppcastItem.hpp"
#include "updates/UpdateError.hpp"
#include "updates/UserUpdateChoice.hpp"
#include "updates/UserUpdateState.hpp"

namespace talvori::updates {

// Shows an update session to the user. The updater calls it on the main thread and goes on only
// when the driver calls back (a reply, an acknowledgement or a cancellation).
class UserDriver {
  public:
    virtual ~UserDriver() = default;

    // A check the user asked for has begun; `cancellation` ends it.
    virtual void showUserInitiatedUpdateCheck(std::function<void()> cancellation) = 0;
    virtual void showUpdateFound(const AppcastItem& item, const UserUpdateState& state,
                                 std::function<void(UserUpdateChoice)> reply) = 0;
    // A check the user asked for found nothing newer.
    virtual void showUpdateNotFound(std::function<void()> acknowledgement) = 0;
    virtual void showDownloadInitiated(std::function<void()> cancellation) = 0;
    virtual void showDownloadDidReceiveExpectedContentLength(std::uint64_t expectedLength) = 0;
    virtual void showDownloadDidReceiveData(std::uint64_t receivedLength) = 0;
    // The verified download was saved at `path` and handed to the system to open; `opened` is
    // whether the system took it.
    virtual void showDownloadDidFinish(const std::string& path, bool opened,
                                       std::function<void()> acknowledgement) = 0;
    virtual void showUpdaterError(const UpdateError& error,
                                  std::function<void()> acknowledgement) = 0;
    // The session ended: whatever the driver still shows for it goes.
    virtual void dismissUpdateInstallation() = 0;
};

}  // namespace talvori::updates
