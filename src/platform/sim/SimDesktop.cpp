#include "platform/sim/SimDesktop.hpp"

#include "platform/core/weakly.hpp"
#include "platform/sim/SimAccessibility.hpp"
#include "platform/sim/SimAlerts.hpp"
#include "platform/sim/SimAnnouncer.hpp"
#include "platform/sim/SimApplication.hpp"
#include "platform/sim/SimColorSampler.hpp"
#include "platform/sim/SimHotKeyService.hpp"
#include "platform/sim/SimInput.hpp"
#include "platform/sim/SimKeyboardLayout.hpp"
#include "platform/sim/SimLoginItem.hpp"
#include "platform/sim/SimPasteboard.hpp"
#include "platform/sim/SimScreens.hpp"
#include "platform/sim/SimSound.hpp"
#include "platform/sim/SimStatusBar.hpp"
#include "platform/sim/SimWindowList.hpp"
#include "platform/sim/SimWorkspace.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

SimDesktop::SimDesktop(Platform& platform, const Configuration& configuration)
    : world_(std::make_shared<SimWorld>(platform.sharedRunLoop(), platform.notificationCenter())),
      input_(std::make_shared<SimInput>(world_)),
      application_(std::make_shared<SimApplication>(world_)),
      screens_(std::make_shared<SimScreens>(world_)),
      windowList_(std::make_shared<SimWindowList>(world_)),
      workspace_(std::make_shared<SimWorkspace>(world_)),
      accessibility_(std::make_shared<SimAccessibility>(world_)),
      statusBar_(std::make_shared<SimStatusBar>(world_)),
      announcer_(std::make_shared<SimAnnouncer>(world_)),
      colorSampler_(std::make_shared<SimColorSampler>(world_)),
      loginItem_(std::make_shared<SimLoginItem>(world_)),
      hotKeys_(std::make_shared<SimHotKeyService>()),
      keyboardLayout_(std::make_shared<SimKeyboardLayout>()),
      alerts_(std::make_shared<SimAlerts>(
          world_, Alerts::Services{application_, screens_, platform.notificationCenter(),
                                   platform.sharedRunLoop(),
                                   platform.mainBundle().string(Bundle::kNameKey).value_or("")})),
      pasteboard_(std::make_shared<SimPasteboard>()),
      sound_(std::make_shared<SimSound>(world_)) {
    world_->setScreens(configuration.screens, false);
    if (configuration.systemWindows) world_->addSystemWindows();
    std::weak_ptr<SimInput> input = input_;
    std::weak_ptr<SimStatusBar> statusBar = statusBar_;
    world_->setOnWindowsChanged(weakly(input, &SimInput::updateHover));
    world_->setOnScreensChanged(weakly(statusBar, &SimStatusBar::layout));
    input_->setStatusItemClick(weakly(statusBar, &SimStatusBar::handleClick));
    hotKeyInterceptor_ = input_->addKeyInterceptor(
        [hotKeys = std::weak_ptr<SimHotKeyService>(hotKeys_)](const Event& event) {
            return SimHotKeyService::intercept(hotKeys, event);
        });
}

std::shared_ptr<SimDesktop> SimDesktop::install(Platform& platform, Configuration configuration) {
    std::shared_ptr<SimDesktop> desktop(new SimDesktop(platform, configuration));
    platform.installDesktop({.application = desktop->application_,
                             .screens = desktop->screens_,
                             .windowList = desktop->windowList_,
                             .workspace = desktop->workspace_,
                             .accessibility = desktop->accessibility_,
                             .input = desktop->input_,
                             .statusBar = desktop->statusBar_,
                             .announcer = desktop->announcer_,
                             .colorSampler = desktop->colorSampler_,
                             .loginItem = desktop->loginItem_,
                             .hotKeyService = desktop->hotKeys_,
                             .keyboardLayout = desktop->keyboardLayout_,
                             .backend = desktop,
                             .alerts = desktop->alerts_,
                             .pasteboard = desktop->pasteboard_,
                             .sound = desktop->sound_});
    return desktop;
}

ScreenPicture SimDesktop::picture() const {
    return ScreenPicture::render(*world_, statusBar_.get());
}

std::unique_ptr<Platform> SimDesktop::makePlatform(Configuration configuration) {
    auto platform = Platform::makeVirtual();
    install(*platform, std::move(configuration));
    return platform;
}

}  // namespace talvori::sim
