#include "platform/sim/SimApplication.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "platform/desktop/Screens.hpp"
#include "platform/sim/SimPanel.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

namespace {
constexpr Size kDefaultSceneSize{480, 320};
}

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
    world_->loop().post([delegate = delegate_] {
        if (auto strong = delegate.lock()) strong->applicationDidFinishLaunching();
    });
}

void SimApplication::reopen() {
    world_->loop().post([delegate = delegate_] {
        if (auto strong = delegate.lock()) strong->applicationShouldHandleReopen();
    });
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

void SimApplication::registerScene(SceneDescription scene) {
    const std::string identifier = scene.identifier;
    scenes_[identifier].description = std::move(scene);
}

void SimApplication::openWindow(const std::string& sceneIdentifier) {
    auto found = scenes_.find(sceneIdentifier);
    if (found == scenes_.end()) {
        world_->log("open unknown scene " + sceneIdentifier);
        return;
    }
    SceneState& scene = found->second;
    openedScenes_.push_back(sceneIdentifier);
    world_->log("open scene " + sceneIdentifier);
    auto window = scene.window && !scene.window->isClosed() ? scene.window : openSceneWindow(scene);
    window->orderFront();
    if (isActive()) window->makeKey();
}

std::shared_ptr<Panel> SimApplication::openSceneWindow(SceneState& scene) {
    const SceneDescription& description = scene.description;
    auto content = description.makeContent ? description.makeContent() : nullptr;
    const Size size =
        description.sizedToContent && content ? content->fittingSize() : kDefaultSceneSize;
    Rect frame({0, 0}, size);
    if (!world_->screens().empty()) {
        const Rect visible = world_->screens().front().visibleFrame;
        frame.origin = {visible.midX() - size.width / 2, visible.midY() - size.height / 2};
    }
    unsigned style = StyleMask::titled | StyleMask::closable;
    if (description.hidesTitleBar) style |= StyleMask::fullSizeContentView;
    auto window = makePanel(frame, style);
    window->setTitle(description.title);
    window->setAppearance(description.appearance);
    window->setRestorable(false);
    window->setHostedContent(content);
    const std::string identifier = description.identifier;
    if (description.sizedToContent) {
        auto* sim = static_cast<SimPanel*>(window.get());
        sim->setOnNeedsDisplay([weak = weak_from_this(), identifier] {
            if (auto self = weak.lock()) self->fitToContent(identifier);
        });
    }
    scene.closeObserver = world_->notificationCenter().addObserver(
        Panel::kWillCloseNotification, window.get(), NotificationDelivery::synchronous,
        [weak = weak_from_this(), identifier](const Notification&) {
            auto self = weak.lock();
            if (!self) return;
            self->world_->log("scene window closed " + identifier);
            self->world_->loop().post([weak] {
                if (auto self = weak.lock()) self->sceneWindowClosed();
            });
        });
    scene.window = window;
    return window;
}

void SimApplication::fitToContent(const std::string& sceneIdentifier) {
    auto found = scenes_.find(sceneIdentifier);
    if (found == scenes_.end() || !found->second.window) return;
    auto& window = found->second.window;
    const auto& content = window->hostedContent();
    if (!content) return;
    const Size size = content->fittingSize();
    const Rect frame = window->frame();
    if (frame.size == size) return;
    // The top-left corner stays where it is, unless the window would then run off the bottom of
    // its screen.
    window->setFrame(
        Screens::keptOnScreen({frame.minX(), frame.maxY() - size.height, size.width, size.height},
                              world_->screens()),
        false);
}

void SimApplication::dismissWindow(const std::string& sceneIdentifier) {
    auto found = scenes_.find(sceneIdentifier);
    if (found == scenes_.end() || !found->second.window) return;
    world_->log("dismiss scene " + sceneIdentifier);
    found->second.window->close();
}

void SimApplication::userClosesWindow(const std::string& sceneIdentifier) {
    auto found = scenes_.find(sceneIdentifier);
    if (found == scenes_.end() || !found->second.window) return;
    world_->log("user closes scene " + sceneIdentifier);
    found->second.window->close();
}

std::shared_ptr<Panel> SimApplication::sceneWindow(const std::string& sceneIdentifier) const {
    auto found = scenes_.find(sceneIdentifier);
    if (found == scenes_.end() || !found->second.window || found->second.window->isClosed()) {
        return nullptr;
    }
    return found->second.window;
}

bool SimApplication::hasOpenSceneWindow() const {
    return std::any_of(scenes_.begin(), scenes_.end(), [](const auto& entry) {
        return entry.second.window && !entry.second.window->isClosed();
    });
}

void SimApplication::sceneWindowClosed() {
    if (hasOpenSceneWindow()) return;
    auto delegate = delegate_.lock();
    if (delegate && delegate->applicationShouldTerminateAfterLastWindowClosed()) terminate();
}

}  // namespace talvori::sim
