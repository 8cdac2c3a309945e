#include <cairo.h>

#include <numbers>

#include "app/WindowManager.hpp"
#include "menubar/MenuBarCoachMarkController.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "reminder/UpdateReminder.hpp"
#include "ui/PlatformImage.hpp"
#include "updates/Updater.hpp"

namespace talvori {

namespace {

const Rect kBadgedAssetRect{1, 1, 16, 16};

void fillOval(cairo_t* cr, const Rect& rect) {
    cairo_save(cr);
    cairo_translate(cr, rect.midX(), rect.midY());
    cairo_scale(cr, rect.width() / 2, rect.height() / 2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_restore(cr);
    cairo_fill(cr);
}

// The artwork with a dot at its top right corner, an arrow cut out of the dot and a clear ring
// around it. The image's origin is its top left (y down).
void drawBadged(cairo_t* cr, const Image& asset, Size size) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_save(cr);
    cairo_translate(cr, kBadgedAssetRect.minX(), kBadgedAssetRect.minY());
    cairo_scale(cr, kBadgedAssetRect.width() / asset.size.width,
                kBadgedAssetRect.height() / asset.size.height);
    asset.draw(cr, asset.size);
    cairo_restore(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, kBadgedAssetRect.minX(), kBadgedAssetRect.minY(), kBadgedAssetRect.width(),
                    kBadgedAssetRect.height());
    cairo_fill(cr);
    // The figures below are placed from the bottom left, as the artwork's badge was drawn.
    auto fromBottom = [&](double x, double y, double width, double height) {
        return Rect(x, size.height - y - height, width, height);
    };
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    fillOval(cr, fromBottom(7.5, 7.5, 12, 12));
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_rgb(cr, 0, 0, 0);
    fillOval(cr, fromBottom(9, 9, 9, 9));
    auto point = [&](double x, double y) { return Point{x, size.height - y}; };
    const Point stemBottom = point(13.5, 11), tip = point(13.5, 16);
    const Point left = point(11.5, 14), right = point(15.5, 14);
    cairo_move_to(cr, stemBottom.x, stemBottom.y);
    cairo_line_to(cr, tip.x, tip.y);
    cairo_move_to(cr, left.x, left.y);
    cairo_line_to(cr, tip.x, tip.y);
    cairo_line_to(cr, right.x, right.y);
    cairo_set_line_width(cr, 1.4);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_stroke(cr);
    cairo_restore(cr);
}

}  // namespace

void WindowManager::installMenuBar() {
    auto& menuBar = *menuBarPanelController_;
    const std::weak_ptr<WindowManager> weak = weak_from_this();
    menuBar.onStatusItemClick =
        weakly(weak, [](WindowManager& self) { self.toggleMenuBarPanel(); });
    menuBar.onCheckForUpdates =
        weakly(weak, [](WindowManager& self) { self.checkForUpdatesFromCallout(); });
    menuBar.statusImage = weakly(weak, [](WindowManager& self) { return self.statusBarImage(); });
    menuBar.statusAccessibilityLabel = weakly(weak, &WindowManager::statusBarAccessibilityLabel);
    menuBar.install(shared_from_this());
}

void WindowManager::dismissCallouts() {
    coachMarkController_->dismiss();
    updateCalloutController_->dismiss();
    takenNoticeController_->dismiss();
}

void WindowManager::showMenuBarPanel() {
    dismissCallouts();
    // The desktop may have taken a shortcut since.
    refreshFocusStepKeys();
    menuBarPanelController_->showPanel();
}

void WindowManager::toggleMenuBarPanel(bool fromKeyboard) {
    dismissCallouts();
    if (menuBarPanelController_->isPanelVisible()) {
        menuBarPanelController_->hidePanel();
    } else {
        refreshFocusStepKeys();
        menuBarPanelController_->showPanel(fromKeyboard);
    }
}

void WindowManager::checkForUpdatesFromCallout() {
    updateCalloutController_->dismiss();
    menuBarPanelController_->hidePanel();
    platform().application().activate();
    if (auto updater = UpdateReminder::shared()->updater.lock()) updater->checkForUpdates();
}

Image WindowManager::statusBarImage() const {
    return statusBarImage(hasPendingUpdate());
}

Image WindowManager::statusBarImage(bool hasPendingUpdate) {
    const auto asset = statusImageAsset();
    if (!asset) return Image{};
    Image image = hasPendingUpdate ? badgedStatusImage(*asset) : *asset;
    image.iconName = hasPendingUpdate ? "talvori-status-update" : "talvori-status";
    return image;
}

std::optional<Image> WindowManager::statusImageAsset() {
    return ui::assetImage(kStatusImageAsset, kStatusImageSize);
}

Image WindowManager::badgedStatusImage(const Image& asset) {
    return Image{kStatusImageSize, true, [asset](cairo_t* cr, Size size) {
                     if (cr && asset.draw) drawBadged(cr, asset, size);
                 }};
}

std::string WindowManager::statusBarAccessibilityLabel() const {
    return hasPendingUpdate() ? "Talvori, update available" : "Talvori";
}

}  // namespace talvori
