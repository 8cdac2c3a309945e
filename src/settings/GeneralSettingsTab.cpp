#include "settings/GeneralSettingsTab.hpp"

#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "settings/CheckForUpdatesViewModel.hpp"
#include "settings/SettingsRow.hpp"
#include "settings/SettingsSectionHeader.hpp"
#include "ui/BorderedButtonStyle.hpp"
#include "updates/Updater.hpp"

namespace talvori::ui {

namespace {

bool storedLaunchAtLogin() {
    return platform()
        .userDefaults()
        .boolValue(GeneralSettingsTab::kLaunchAtLoginKey)
        .value_or(false);
}

View settingSwitch(Binding<bool> isOn, const std::string& identifier, const std::string& label) {
    return View(Toggle{std::move(isOn), identifier})
        .tint(Color(Palette::accent))
        .accessibilityIdentifier(identifier)
        .accessibilityLabel(label);
}

}  // namespace

void GeneralSettingsTab::prepare(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    if (state.isPrepared) return;
    state.isPrepared = true;
    state.launchAtLogin.set(storedLaunchAtLogin());
    state.storedLaunchAtLogin = platform().userDefaults().observe(
        kLaunchAtLoginKey, weakly(ctx.weakState(), [](auto& state) {
            state.launchAtLogin.set(storedLaunchAtLogin());
        }));
    state.checkForUpdates = std::make_shared<CheckForUpdatesViewModel>(updater);
    state.automaticallyChecksForUpdates.set(updater && updater->automaticallyChecksForUpdates());
}

View GeneralSettingsTab::body(ViewContext<State>& ctx) const {
    platform().runLoop().assertMainThread();
    prepare(ctx);
    auto& state = ctx.state;
    const Binding<bool> launchAtLogin(
        [&state] { return state.launchAtLogin.peek(); },
        [](bool value) { platform().userDefaults().set(kLaunchAtLoginKey, value); },
        [&state](std::function<void()> onChange) {
            return state.launchAtLogin.observe(std::move(onChange));
        });
    const View sections = VStack(
        HorizontalAlignment::leading, 12,
        {VStack(HorizontalAlignment::leading, 12,
                {SettingsSectionHeader{"General", false},
                 SettingsRow{"Launch at Login", "Open Talvori automatically when you sign in.",
                             settingSwitch(launchAtLogin, kLaunchAtLoginSwitch, "Launch at Login")
                                 .onChange(state.launchAtLogin(),
                                           [](bool value) { setLaunchAtLogin(value); })}}),
         VStack(HorizontalAlignment::leading, 12,
                {SettingsSectionHeader{"Updates", true}, updatesRow(state)})});
    const View version = Text(versionLine(platform().mainBundle()))
                             .font(Font::system(11))
                             .foregroundColor(Color(Palette::white(0.36)))
                             .textSelection()
                             .padding(Edges::top, 4);
    return VStack(HorizontalAlignment::leading, 16,
                  {sections, updater ? checkButton(state) : View(), version})
        .padding({20, 28, 20, 28})
        .frame({.maxWidth = infinity, .maxHeight = infinity, .alignment = Alignment::topLeading()});
}

View GeneralSettingsTab::updatesRow(State& state) const {
    // A build without our update key: what installed it updates it, and there is nothing here to
    // switch or press.
    if (!updater) {
        return SettingsRow{kUpdatedWhereInstalledTitle, kUpdatedWhereInstalledSubtitle, View()};
    }
    return SettingsRow{
        "Automatically Check for Updates", "Look for new versions once a day in the background.",
        settingSwitch(state.automaticallyChecksForUpdates, kAutomaticChecksSwitch,
                      "Automatically Check for Updates")
            .onChange(state.automaticallyChecksForUpdates(), [shared = updater](bool value) {
                platform().runLoop().assertMainThread();
                shared->setAutomaticallyChecksForUpdates(value);
            })};
}

View GeneralSettingsTab::checkButton(State& state) const {
    return HStack({Spacer(), Button(kCheckForUpdatesTitle,
                                    [shared = updater] {
                                        platform().runLoop().assertMainThread();
                                        shared->checkForUpdates();
                                    })
                                 .buttonStyle(BorderedButtonStyle{})
                                 .disabled(!state.checkForUpdates->canCheckForUpdates())})
        .padding(Edges::top, 20);
}

void GeneralSettingsTab::setLaunchAtLogin(bool value) {
    platform().runLoop().assertMainThread();
    auto& loginItem = platform().loginItem();
    const auto failure = value ? loginItem.registerItem() : loginItem.unregisterItem();
    if (!failure) return;
    // Writing the real state back is itself a change when it undoes the user's choice: the
    // switch's handler then asks for the contrary, and a second failure stores the same value,
    // which ends it.
    platform().userDefaults().set(kLaunchAtLoginKey,
                                  loginItem.status() == LoginItem::Status::enabled);
}

std::string GeneralSettingsTab::versionLine(const Bundle& bundle) {
    return "Talvori " + bundle.shortVersion().value_or("?") + " (" +
           bundle.version().value_or("?") + ")";
}

}  // namespace talvori::ui
