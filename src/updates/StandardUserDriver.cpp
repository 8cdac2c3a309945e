#include "updates/StandardUserDriver.hpp"

#include <cstdio>
#include <filesystem>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "ui/PanelHost.hpp"
#include "updates/StandardUserDriverDelegate.hpp"

namespace talvori::updates {

namespace {

std::string byteCount(std::uint64_t bytes) {
    char text[32];
    if (bytes < 1000 * 1000) {
        std::snprintf(text, sizeof text, "%.0f KB", static_cast<double>(bytes) / 1000.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    }
    return text;
}

}  // namespace

StandardUserDriver::StandardUserDriver(HostBundle host,
                                       std::weak_ptr<StandardUserDriverDelegate> delegate)
    : host_(std::move(host)), delegate_(std::move(delegate)) {}

StandardUserDriver::~StandardUserDriver() {
    if (window_) window_->close();
}

std::function<void()> StandardUserDriver::closing(std::function<void()> answer) {
    std::weak_ptr<StandardUserDriver> weak = weak_from_this();
    return [weak, answer = std::move(answer)] {
        withOwner(weak, &StandardUserDriver::dismissUpdateInstallation);
        if (answer) answer();
    };
}

void StandardUserDriver::show(UpdateWindowView content) {
    if (!content_) {
        content_ = ui::PanelHost::make(content);
    } else {
        content_->setRootView(content);
    }
    const Size size = content_->fittingSize();
    if (!window_) {
        window_ = platform().application().makePanel(Rect({0, 0}, size), StyleMask::titled);
        window_->setTitle(host_.name.empty() ? "Software Update" : host_.name);
        window_->setHostedContent(content_);
        const Rect screen = platform().screens().mainScreen().value_or(Screen{}).visibleFrame;
        window_->setFrameOrigin({screen.midX() - size.width / 2,
                                 screen.midY() - size.height / 2 + screen.height() / 6});
        platform().application().activate();
        window_->makeKeyAndOrderFront();
    } else {
        Rect frame = window_->frame();
        // Keep the top edge where it is while the content grows or shrinks.
        frame.origin.y += frame.size.height - size.height;
        frame.size = size;
        window_->setFrame(frame);
    }
}

void StandardUserDriver::showUserInitiatedUpdateCheck(std::function<void()> cancellation) {
    show({"Checking for updates…", "", -1.0, "", {{"Cancel", closing(std::move(cancellation))}}});
}

void StandardUserDriver::showUpdateFound(const AppcastItem& item, const UserUpdateState& state,
                                         std::function<void(UserUpdateChoice)> reply) {
    auto delegate = delegate_.lock();
    if (!state.userInitiated && delegate && delegate->supportsGentleScheduledUpdateReminders()) {
        const bool inFront = platform().application().isActive();
        if (!delegate->standardUserDriverShouldHandleShowingScheduledUpdate(item, inFront)) {
            delegate->standardUserDriverWillHandleShowingUpdate(false, item, state);
            reply(UserUpdateChoice::dismiss);
            return;
        }
    }
    if (delegate) delegate->standardUserDriverWillHandleShowingUpdate(true, item, state);
    const std::string name = host_.name.empty() ? "the program" : host_.name;
    std::string message = name + " " + item.displayVersionString() + " is now available";
    if (!host_.shortVersion.empty()) message += "\u2014you have " + host_.shortVersion;
    message += ". Would you like to download it now?";
    auto answer = [reply](UserUpdateChoice choice) { return [reply, choice] { reply(choice); }; };
    show({"A new version of " + name + " is available!",
          message,
          std::nullopt,
          "",
          {{"Skip This Version", closing(answer(UserUpdateChoice::skip))},
           {"Remind Me Later", closing(answer(UserUpdateChoice::dismiss))},
           {"Install Update", answer(UserUpdateChoice::install)}}});
}

void StandardUserDriver::showUpdateNotFound(std::function<void()> acknowledgement) {
    const std::string name = host_.name.empty() ? "This program" : host_.name;
    show({"You're up to date!",
          name + " " + host_.shortVersion + " is currently the newest version available.",
          std::nullopt,
          "",
          {{"OK", closing(std::move(acknowledgement))}}});
}

void StandardUserDriver::showDownloadInitiated(std::function<void()> cancellation) {
    downloadCancellation_ = closing(std::move(cancellation));
    expectedLength_ = 0;
    receivedLength_ = 0;
    showProgress();
}

void StandardUserDriver::showDownloadDidReceiveExpectedContentLength(std::uint64_t expectedLength) {
    expectedLength_ = expectedLength;
    showProgress();
}

void StandardUserDriver::showDownloadDidReceiveData(std::uint64_t receivedLength) {
    receivedLength_ = receivedLength;
    showProgress();
}

void StandardUserDriver::showProgress() {
    const double fraction = expectedLength_ ? static_cast<double>(receivedLength_) /
                                                  static_cast<double>(expectedLength_)
                                            : -1.0;
    std::string text = byteCount(receivedLength_);
    if (expectedLength_) text += " of " + byteCount(expectedLength_);
    show({"Downloading update…", "", fraction, text, {{"Cancel", downloadCancellation_}}});
}

void StandardUserDriver::showDownloadDidFinish(const std::string& path, bool opened,
                                               std::function<void()> acknowledgement) {
    downloadCancellation_ = nullptr;
    const auto file = std::filesystem::path(path);
    // Without a program to open it, the user has to find the file: the whole folder is named.
    show({"The update was downloaded",
          opened ? file.filename().string() + " was saved in " +
                       file.parent_path().filename().string() + " and opened for installing."
                 : file.filename().string() + " was saved in " + file.parent_path().string() +
                       ". Open it from there to install the update.",
          std::nullopt,
          "",
          {{"OK", closing(std::move(acknowledgement))}}});
}

void StandardUserDriver::showUpdaterError(const UpdateError& error,
                                          std::function<void()> acknowledgement) {
    downloadCancellation_ = nullptr;
    show({"Update Error!",
          error.localizedDescription,
          std::nullopt,
          "",
          {{"OK", closing(std::move(acknowledgement))}}});
}

void StandardUserDriver::dismissUpdateInstallation() {
    if (window_) window_->close();
    window_.reset();
    content_.reset();
}

}  // namespace talvori::updates
