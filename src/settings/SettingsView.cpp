#include "settings/SettingsView.hpp"

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/Application.hpp"
#include "session/ShortcutNames.hpp"
#include "settings/GeneralSettingsTab.hpp"
#include "settings/ShortcutsSettingsTab.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::ui {

View SettingsView::body(ViewContext<State>& ctx) const {
    platform().runLoop().assertMainThread();
    auto& state = ctx.state;
    const std::weak_ptr<RuntimeCoordinator> weakRuntime = runtime;
    const auto applyFocusRule = [weakRuntime] {
        applyFocusShortcutState(weakRuntime.lock().get());
    };
    // The tab bar stands above the tabs as a toolbar would, below the window's title bar, which
    // covers the top of the content; each tab has its own fixed size, so the window follows the
    // tab shown.
    return TabView<Pane>(state.pane, {{"General", "gearshape", Pane::general,
                                       View(GeneralSettingsTab{updater})
                                           .frame(kWidth, kGeneralHeight)
                                           .accessibilityIdentifier(kPaneIdentifier)},
                                      {"Shortcuts", "keyboard", Pane::shortcuts,
                                       View(ShortcutsSettingsTab{applyFocusRule})
                                           .frame(kWidth, kShortcutsHeight)
                                           .accessibilityIdentifier(kPaneIdentifier)}})
        .padding(Edges::top, platform().application().titleBarOverlap())
        .frame({.width = kWidth})
        .background(kWindowBackground);
}

void SettingsView::applyFocusShortcutState(const RuntimeCoordinator* runtime) {
    platform().runLoop().assertMainThread();
    if (const auto manager = runtime ? runtime->windowManager.peek() : nullptr) {
        manager->syncFocusShortcuts();
    } else {
        GlobalShortcuts::disable(ShortcutNames::focusShortcutNames());
    }
}

std::shared_ptr<HostedContent> SettingsView::makeHostedContent(
    std::shared_ptr<updates::Updater> updater, std::shared_ptr<RuntimeCoordinator> runtime) {
    return PanelHost::make(SettingsView{std::move(updater), std::move(runtime)});
}

}  // namespace talvori::ui
