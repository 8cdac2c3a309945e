#include "settings/ShortcutsSettingsTab.hpp"

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "recorder/ShortcutRecorderField.hpp"
#include "session/ShortcutNames.hpp"
#include "settings/SettingsRow.hpp"
#include "settings/SettingsSectionHeader.hpp"
#include "ui/BorderedButtonStyle.hpp"

namespace talvori::ui {

std::vector<GlobalShortcuts::Name> ShortcutsSettingsTab::allShortcutNames() {
    std::vector<GlobalShortcuts::Name> names = ShortcutNames::globalShortcutNames();
    const auto& focus = ShortcutNames::focusShortcutNames();
    names.insert(names.end(), focus.begin(), focus.end());
    return names;
}

bool ShortcutsSettingsTab::allShortcutsAreDefaults() {
    platform().runLoop().assertMainThread();
    for (const auto& name : allShortcutNames()) {
        const auto stored = GlobalShortcuts::getShortcut(name);
        const auto& initial = name.initialShortcut;
        if (!stored && !initial) continue;
        if (!stored || !initial) return false;
        if (stored->carbonKeyCode != initial->carbonKeyCode ||
            stored->carbonModifiers != initial->carbonModifiers) {
            return false;
        }
    }
    return true;
}

void ShortcutsSettingsTab::restoreDefaults() const {
    platform().runLoop().assertMainThread();
    GlobalShortcuts::reset(allShortcutNames());
    if (onFocusStrengthChange) onFocusStrengthChange();
}

View ShortcutsSettingsTab::row(const char* title, const char* subtitle,
                               const GlobalShortcuts::Name& name) const {
    return SettingsRow{title, subtitle, ShortcutRecorderField{name, onFocusStrengthChange}};
}

View ShortcutsSettingsTab::footer(ViewContext<State>& ctx) const {
    const bool usesDefaults = ctx.state.usesDefaults();
    const auto restore = [tab = *this] { tab.restoreDefaults(); };
    return HStack(
               VerticalAlignment::center, 6,
               {Image("info.circle")
                    .font(Font::system(11))
                    .foregroundColor(Color(Palette::white(0.36))),
                Text(kFootnote).font(Font::system(11)).foregroundColor(Color(Palette::white(0.42))),
                Spacer(12),
                // Only fades: its place stays, so the footnote never moves.
                Button(kRestoreDefaultsTitle, restore)
                    .buttonStyle(BorderedButtonStyle{})
                    .disabled(usesDefaults)
                    .opacity(usesDefaults ? 0 : 1)
                    .accessibilityHidden(usesDefaults)
                    .animation(ctx.animation(Animation::easeOut(kRestoreFade)), usesDefaults)})
        .padding(Edges::top, 26)
        .onAppear([&ctx] {
            ctx.state.shortcutChanges = platform().notificationCenter().addObserver(
                GlobalShortcuts::kShortcutByNameDidChangeNotification, nullptr,
                NotificationDelivery::synchronous, [weak = ctx.weakState()](const Notification&) {
                    platform().runLoop().assertMainThread();
                    withOwner(weak, [](auto& state) {
                        state.usesDefaults.set(allShortcutsAreDefaults());
                    });
                });
        });
}

View ShortcutsSettingsTab::body(ViewContext<State>& ctx) const {
    platform().runLoop().assertMainThread();
    if (!ctx.state.isPrepared) {
        ctx.state.isPrepared = true;
        ctx.state.usesDefaults.set(allShortcutsAreDefaults());
    }
    return VStack(HorizontalAlignment::leading, 24,
                  {SettingsSectionHeader{"Global Shortcuts", false},
                   row("Show Talvori Panel", "Open the Talvori panel from anywhere.",
                       ShortcutNames::showPanel()),
                   row("Toggle Focus Mode", "Turn Focus Mode on or off from anywhere.",
                       ShortcutNames::toggleFocus()),
                   row("New Cover", "Create a cover from anywhere.", ShortcutNames::newCover()),
                   SettingsSectionHeader{"Focus Mode", true},
                   row("Stronger Focus", "While Focus Mode is on.", ShortcutNames::strongerFocus()),
                   row("Softer Focus", "While Focus Mode is on.", ShortcutNames::weakerFocus()),
                   row("More Blur", "While Focus Mode is on, in Glass.", ShortcutNames::moreBlur()),
                   row("Less Blur", "While Focus Mode is on, in Glass.", ShortcutNames::lessBlur()),
                   footer(ctx)})
        .padding({16, 28, 20, 28})
        .frame({.maxWidth = infinity, .maxHeight = infinity, .alignment = Alignment::topLeading()})
        // A click beside the fields takes the keyboard focus from them.
        .contentShape(Rectangle())
        .onTapGesture([&ctx] {
            platform().runLoop().assertMainThread();
            const auto key = platform().application().keyWindow();
            if (!key) return;
            key->makeFirstResponder(nullptr);
            // A recorder field's focus is the views' own, not a responder of the window's.
            if (key == ctx.window()) ctx.resignFocus();
        });
}

}  // namespace talvori::ui
