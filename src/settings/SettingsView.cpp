#include "settings/SettingsView.hpp"

#include "platform/Platform.hpp"
#include "platform/desktop/Application.hpp"
#include "settings/GeneralSettingsTab.hpp"
#include "settings/ShortcutsSettingsTab.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::ui {

View SettingsView::body(ViewContext<State>& ctx) const {
    platform().runLoop().assertMainThread();
    auto& state = ctx.state;
    // The tab bar stands above the tabs as a toolbar would, below the window's title bar, which
    // covers the top of the content; each tab has its own fixed size, so the window follows the
    // tab shown.
    return TabView<Pane>(state.pane, {{"General", "gearshape", Pane::general,
                                       View(GeneralSettingsTab{updater})
                                           .frame(kWidth, kGeneralHeight)
                                           .accessibilityIdentifier(kPaneIdentifier)},
                                      {"Shortcuts", "keyboard", Pane::shortcuts,
                                       View(ShortcutsSettingsTab{applyFocusShortcutRule})
                                           .frame(kWidth, kShortcutsHeight)
                                           .accessibilityIdentifier(kPaneIdentifier)}})
        .padding(Edges::top, platform().application().titleBarOverlap())
        .frame({.width = kWidth})
        .background(kWindowBackground);
}

std::shared_ptr<HostedContent> SettingsView::makeHostedContent(
    std::shared_ptr<updates::Updater> updater, std::function<void()> applyFocusShortcutRule) {
    return PanelHost::make(SettingsView{std::move(updater), std::move(applyFocusShortcutRule)});
}

}  // namespace talvori::ui
