#pragma once

#include <functional>
#include <memory>

#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori {
class HostedContent;
namespace updates {
class Updater;
}
}  // namespace talvori

namespace talvori::ui {

// The settings window's content: the General and Shortcuts tabs, 540 points wide and as tall as
// the shown tab needs, so the window resizes as the tabs switch. A newly opened window shows
// General.
struct SettingsView {
    enum class Pane { general, shortcuts };

    static constexpr double kWidth = 540;
    static constexpr double kGeneralHeight = 284;
    static constexpr double kShortcutsHeight = 558;
    // The shown tab's area below the tab bar.
    static constexpr const char* kPaneIdentifier = "SettingsView.pane";
    // The dark window's own background under the tabs.
    static constexpr Color kWindowBackground = Color::rgb255(30, 32, 38);

    std::shared_ptr<updates::Updater> updater;
    // After the user changed a shortcut: the four Focus shortcuts follow Focus mode while the
    // runtime runs, and stay off before.
    std::function<void()> applyFocusShortcutRule;

    struct State {
        Observable<Pane> pane{Pane::general};
    };

    View body(ViewContext<State>& ctx) const;

    // The window's content, for the "settings" scene.
    static std::shared_ptr<HostedContent> makeHostedContent(
        std::shared_ptr<updates::Updater> updater, std::function<void()> applyFocusShortcutRule);
};

}  // namespace talvori::ui
