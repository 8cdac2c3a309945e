#pragma once

#include <functional>
#include <string>
#include <vector>

#include "updates/UserDriver.hpp"

namespace talvori::testing {

// A user driver that writes down what it is asked to show and keeps the last callbacks, so a test
// can answer as the user would.
class RecordingUserDriver : public updates::UserDriver {
  public:
    std::vector<std::string> shown;
    std::vector<updates::UpdateError> errors;
    std::vector<updates::AppcastItem> found;
    std::vector<bool> foundUserInitiated;
    std::uint64_t expectedLength = 0;
    std::uint64_t receivedLength = 0;
    std::string finishedPath;
    std::function<void()> cancel;
    std::function<void()> acknowledge;
    std::function<void(updates::UserUpdateChoice)> reply;

    void showUserInitiatedUpdateCheck(std::function<void()> cancellation) override {
        shown.push_back("checking");
        cancel = std::move(cancellation);
    }
    void showUpdateFound(const updates::AppcastItem& item, const updates::UserUpdateState& state,
                         std::function<void(updates::UserUpdateChoice)> answer) override {
        shown.push_back("found " + item.versionString());
        found.push_back(item);
        foundUserInitiated.push_back(state.userInitiated);
        reply = std::move(answer);
    }
    void showUpdateNotFound(std::function<void()> acknowledgement) override {
        shown.push_back("not found");
        acknowledge = std::move(acknowledgement);
    }
    void showDownloadInitiated(std::function<void()> cancellation) override {
        shown.push_back("downloading");
        cancel = std::move(cancellation);
    }
    void showDownloadDidReceiveExpectedContentLength(std::uint64_t length) override {
        expectedLength = length;
    }
    void showDownloadDidReceiveData(std::uint64_t length) override { receivedLength = length; }
    void showDownloadDidFinish(const std::string& path, bool opened,
                               std::function<void()> acknowledgement) override {
        shown.push_back(opened ? "finished" : "finished, not opened");
        finishedPath = path;
        acknowledge = std::move(acknowledgement);
    }
    void showUpdaterError(const updates::UpdateError& error,
                          std::function<void()> acknowledgement) override {
        shown.push_back("error " + std::to_string(error.code));
        errors.push_back(error);
        acknowledge = std::move(acknowledgement);
    }
    void dismissUpdateInstallation() override { shown.push_back("dismissed"); }
};

}  // namespace talvori::testing
