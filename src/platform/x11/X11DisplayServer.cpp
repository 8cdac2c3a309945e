#include "platform/x11/X11DisplayServer.hpp"

#include <cmath>
#include <cstdint>

#include "platform/desktop/Panel.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Panel.hpp"
#include "platform/x11/X11Screens.hpp"

namespace talvori::x11 {

namespace {

std::int32_t rounded(double value) {
    return std::isfinite(value) ? static_cast<std::int32_t>(std::lround(value)) : 0;
}

std::uint32_t roundedLength(double value) {
    return std::isfinite(value) && value > 0 ? static_cast<std::uint32_t>(std::lround(value)) : 0;
}

freedesktop::ScreenRect screenRect(const RootRect& root) {
    return {root.x, root.y, root.width, root.height};
}

}  // namespace

RunLoop& X11DisplayServer::runLoop() const {
    return *application_->loop();
}

NotificationCenter& X11DisplayServer::notificationCenter() const {
    return application_->notificationCenter();
}

std::vector<std::shared_ptr<Panel>> X11DisplayServer::shownWindows() const {
    std::vector<std::shared_ptr<Panel>> shown;
    for (auto& panel : application_->windows()) {
        const auto x11 = application_->panel(panel->windowNumber());
        if (x11 && x11->isMapped()) shown.push_back(std::move(panel));
    }
    return shown;
}

std::shared_ptr<Panel> X11DisplayServer::keyWindow() const {
    return application_->keyWindow();
}

bool X11DisplayServer::holdsKeyboard(const Panel& panel) const {
    const auto x11 = application_->panel(panel.windowNumber());
    return x11 && x11->holdsKeyboard();
}

void X11DisplayServer::setOnWindowsChange(std::function<void()> handler) {
    application_->setOnWindowsChange(std::move(handler));
}

freedesktop::ScreenRect X11DisplayServer::onScreen(const Panel& panel) const {
    return screenRect(application_->screens().space().toRoot(panel.frame()));
}

freedesktop::ScreenRect X11DisplayServer::onScreen(const Panel& panel, const Rect& frame) const {
    const X11RootSpace& space = application_->screens().space();
    const RootRect window = space.toRoot(panel.frame());
    return {window.x + rounded(space.toPixels(frame.minX())),
            window.y + rounded(space.toPixels(frame.minY())),
            roundedLength(space.toPixels(frame.width())),
            roundedLength(space.toPixels(frame.height()))};
}

void X11DisplayServer::holdPainting(double seconds) {
    application_->holdPainting(seconds);
}

}  // namespace talvori::x11
