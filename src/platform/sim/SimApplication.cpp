#include "platform/sim/SimApplication.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "platform/core/weakly.hpp"
#include "platform/desktop/SceneWindows.hpp"
#include "platform/desktop/Screens.hpp"
#include "platform/sim/SimPanel.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

SimApplication::SimApplication(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {
    policy_ = world_->process(SimWorld::kOwnPID)->activationPolicy;
}

void SimApplication::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
    policyChanges_.push_back(policy);
    world_->process(SimWorld::kOwnPID)->activationPolicy = policy;
    world_->log(fmt::format("activation policy {}", static_cast<int>(policy)));
}

const Observable<bool>& SimApplication::isCompositing() const {
    return world_->compositing();
}

const Observable<bool>& SimApplication::blursBehindWindows() const {
    return world_->backgroundBlur();
}

bool SimApplication::blursAtItsOwnStrength() const {
    return world_->blursAtItsOwnStrength();
}

bool SimApplication::isActive() const {
    return world_->frontmostPID() == SimWorld::kOwnPID;
}

void SimApplication::activate() {
    world_->log("activate ourselves");
    world_->activateApplication(SimWorld::kOwnPID);
}

int SimApplication::requestUserAttention(bool critical) {
    attentionRequests_.push_back({world_->now(), critical});
    world_->log(fmt::format("request user attention{}", critical ? " (critical)" : ""));
    return static_cast<int>(attentionRequests_.size());
}

void SimApplication::terminate() {
    if (terminated_) return;
    terminated_ = true;
    world_->log("terminate");
}

void SimApplication::setDelegate(std::weak_ptr<ApplicationDelegate> delegate) {
    delegate_ = std::move(delegate);
}

void SimApplication::finishLaunching() {
    world_->loop().post(weakly(delegate_, &ApplicationDelegate::applicationDidFinishLaunching));
}

void SimApplication::reopen() {
    world_->loop().post(weakly(delegate_, &ApplicationDelegate::applicationShouldHandleReopen));
}

std::shared_ptr<Panel> SimApplication::makePanel(const Rect& contentRect, unsigned styleMask) {
    auto panel = SimPanel::make(world_, contentRect, styleMask);
    std::erase_if(panels_, [](const auto& weak) { return weak.expired(); });
    panels_.push_back(panel);
    return panel;
}

std::shared_ptr<Panel> SimApplication::keyWindow() const {
    return world_->keyPanel();
}

std::vector<std::shared_ptr<Panel>> SimApplication::windows() const {
    std::vector<std::shared_ptr<SimPanel>> open;
    for (const auto& weak : panels_) {
        if (auto panel = weak.lock(); panel && !panel->isClosed()) open.push_back(panel);
    }
    auto rank = [this](const std::shared_ptr<SimPanel>& panel) {
        const int index = world_->stackIndex(panel->windowNumber());
        return std::make_pair(index < 0 ? 1 : 0,
                              index < 0 ? static_cast<int>(panel->windowNumber()) : index);
    };
    std::stable_sort(open.begin(), open.end(),
                     [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
    return {open.begin(), open.end()};
}

// ---- Scenes

SceneWindows& SimApplication::scenes() {
    if (!scenes_) {
        SceneWindows::Desktop desktop;
        desktop.screens = [world = world_] { return world->screens(); };
        desktop.delegate = [this] { return delegate_.lock(); };
        desktop.prepare = [weak = weak_from_this()](Panel& window, const SceneDescription& scene) {
            if (!scene.sizedToContent) return;
            static_cast<SimPanel&>(window).setOnNeedsDisplay(
                weakly(weak, [identifier = scene.identifier](SimApplication& self) {
                    self.scenes().fitToContent(identifier);
                }));
        };
        desktop.willClose = [world = world_](const std::string& identifier) {
            world->log("scene window closed " + identifier);
        };
        scenes_ = SceneWindows::make(*this, world_->notificationCenter(), world_->loop(),
                                     std::move(desktop));
    }
    return *scenes_;
}

void SimApplication::registerScene(SceneDescription scene) {
    scenes().registerScene(std::move(scene));
}

void SimApplication::openWindow(const std::string& sceneIdentifier) {
    if (!scenes().contains(sceneIdentifier)) {
        world_->log("open unknown scene " + sceneIdentifier);
        return;
    }
    openedScenes_.push_back(sceneIdentifier);
    world_->log("open scene " + sceneIdentifier);
    auto window = scenes().open(sceneIdentifier);
    window->orderFront();
    if (isActive()) window->makeKey();
}

void SimApplication::dismissWindow(const std::string& sceneIdentifier) {
    const auto window = scenes().lastWindow(sceneIdentifier);
    if (!window) return;
    world_->log("dismiss scene " + sceneIdentifier);
    window->close();
}

void SimApplication::userClosesWindow(const std::string& sceneIdentifier) {
    const auto window = scenes().lastWindow(sceneIdentifier);
    if (!window) return;
    world_->log("user closes scene " + sceneIdentifier);
    window->close();
}

std::shared_ptr<Panel> SimApplication::sceneWindow(const std::string& sceneIdentifier) const {
    return scenes_ ? scenes_->window(sceneIdentifier) : nullptr;
}

}  // namespace talvori::sim
