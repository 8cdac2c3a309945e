#include "platform/desktop/SceneWindows.hpp"

#include <algorithm>

#include "platform/core/NotificationCenter.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/SceneCloseKeys.hpp"
#include "platform/desktop/Screens.hpp"

namespace talvori {

std::shared_ptr<SceneWindows> SceneWindows::make(Application& application,
                                                 NotificationCenter& center, RunLoop& loop,
                                                 Desktop desktop) {
    return std::shared_ptr<SceneWindows>(
        new SceneWindows(application, center, loop, std::move(desktop)));
}

SceneWindows::SceneWindows(Application& application, NotificationCenter& center, RunLoop& loop,
                           Desktop desktop)
    : application_(application), center_(center), loop_(loop), desktop_(std::move(desktop)) {}

void SceneWindows::registerScene(SceneDescription scene) {
    const std::string identifier = scene.identifier;
    scenes_[identifier].description = std::move(scene);
}

bool SceneWindows::contains(const std::string& identifier) const {
    return scenes_.contains(identifier);
}

std::shared_ptr<Panel> SceneWindows::open(const std::string& identifier) {
    const auto found = scenes_.find(identifier);
    if (found == scenes_.end()) return nullptr;
    Scene& scene = found->second;
    return scene.window && !scene.window->isClosed() ? scene.window : makeWindow(scene);
}

std::shared_ptr<Panel> SceneWindows::makeWindow(Scene& scene) {
    const SceneDescription& description = scene.description;
    auto content = description.makeContent ? description.makeContent() : nullptr;
    const Size size = description.sizedToContent && content ? content->fittingSize() : kDefaultSize;
    Rect frame({0, 0}, size);
    if (const auto screens = desktop_.screens(); !screens.empty()) {
        const Rect visible = screens.front().visibleFrame;
        frame.origin = {visible.midX() - size.width / 2, visible.midY() - size.height / 2};
    }
    unsigned style = StyleMask::titled | StyleMask::closable;
    if (description.hidesTitleBar) style |= StyleMask::fullSizeContentView;
    auto window = application_.makePanel(frame, style);
    window->setTitle(description.title);
    window->setAppearance(description.appearance);
    window->setRestorable(false);
    // Without a title bar there is nothing else to hold it by.
    window->setMovableByWindowBackground(description.hidesTitleBar);
    window->setHostedContent(content);
    if (description.closesFromKeyboard) {
        scene.keys = std::make_shared<SceneCloseKeys>();
        window->setEventHandler(scene.keys);
    }
    if (desktop_.prepare) desktop_.prepare(*window, description);
    scene.closeObserver = center_.addObserver(
        Panel::kWillCloseNotification, window.get(), NotificationDelivery::synchronous,
        weakly(weak_from_this(), [identifier = description.identifier](SceneWindows& self) {
            if (self.desktop_.willClose) self.desktop_.willClose(identifier);
            self.loop_.post(weakly(self.weak_from_this(), &SceneWindows::windowClosed));
        }));
    scene.window = window;
    return window;
}

std::shared_ptr<Panel> SceneWindows::window(const std::string& identifier) const {
    const auto window = lastWindow(identifier);
    return window && !window->isClosed() ? window : nullptr;
}

std::shared_ptr<Panel> SceneWindows::lastWindow(const std::string& identifier) const {
    const auto found = scenes_.find(identifier);
    return found == scenes_.end() ? nullptr : found->second.window;
}

void SceneWindows::fitToContent(const std::string& identifier) {
    const auto window = this->window(identifier);
    const auto content = window ? window->hostedContent() : nullptr;
    if (!content) return;
    const Size size = content->fittingSize();
    const Rect frame = window->frame();
    if (frame.size == size) return;
    window->setFrame(
        Screens::keptOnScreen({frame.minX(), frame.maxY() - size.height, size.width, size.height},
                              desktop_.screens()),
        false);
}

void SceneWindows::fitToContent(const std::function<bool(const Panel& window)>& wants) {
    for (const auto& [identifier, scene] : scenes_) {
        if (scene.description.sizedToContent && scene.window && wants(*scene.window)) {
            fitToContent(identifier);
        }
    }
}

bool SceneWindows::hasOpenWindow() const {
    return std::any_of(scenes_.begin(), scenes_.end(), [](const auto& entry) {
        return entry.second.window && !entry.second.window->isClosed();
    });
}

void SceneWindows::windowClosed() {
    if (hasOpenWindow()) return;
    const auto delegate = desktop_.delegate ? desktop_.delegate() : nullptr;
    if (delegate && delegate->applicationShouldTerminateAfterLastWindowClosed()) {
        application_.terminate();
    }
}

}  // namespace talvori
