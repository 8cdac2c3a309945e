#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/UI.hpp"

namespace talvori {
class UpdateReminder;
class Session;
}  // namespace talvori

namespace talvori::ui {

// The root of the menu-bar panel: a dark column of fixed width with the header (the product's
// name, settings and quit), the update row while an update is pending or else the what's-new card
// after an update, then the Focus card, the covers and the layouts. It reports its
// height, so that the panel follows it as cards come and go.
struct MainWindowView {
    static constexpr double kWidth = 355;
    static constexpr Color kBackground = Color::rgb255(21, 24, 32);
    static constexpr const char* kSettingsScene = "settings";

    // Weak: the current owns the panel that shows this view.
    std::weak_ptr<Session> session;
    std::function<void(double height)> onHeightChange;
    // Opens a window scene by identifier (the settings window).
    std::function<void(const std::string& identifier)> openWindow;
    std::shared_ptr<UpdateReminder> updateReminder;
    // The update row's action.
    std::function<void()> onCheckForUpdates;

    View body(ViewContext<NoState>& ctx) const;

  private:
    View header(bool hasPendingUpdate) const;
    View whatsNewCard() const;
};

}  // namespace talvori::ui
