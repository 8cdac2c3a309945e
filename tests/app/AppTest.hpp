#pragma once

#include <memory>

#include "GlobalShortcuts/Registry.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/TalvoriApp.hpp"
#include "app/WindowManager.hpp"
#include "menubar/MenuBarPanelController.hpp"
#include "session/ShortcutNames.hpp"
#include "support/SimDesktopTest.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"
#include "updates/Updater.hpp"

namespace talvori::testing {

// A simulated desktop on which the application starts as the program starts it, with helpers to
// press the global shortcuts and to look at the status item and the menu-bar panel.
class AppTest : public SimDesktopTest {
  protected:
    explicit AppTest(sim::SimDesktop::Configuration configuration = {})
        : SimDesktopTest(std::move(configuration)) {
        // The updater's scheduled checks would reach for the network.
        defaults().set(updates::Updater::kAutomaticChecksKey, false);
    }
    ~AppTest() override {
        app.reset();
        // Window animations still running would keep their windows alive past the desktop.
        advance(1);
    }

    UserDefaults& defaults() const { return platform().userDefaults(); }
    void onboard() const { defaults().set("hasCompletedOnboarding", true); }
    // A build that looks for updates itself, as one configured with the project's key.
    void signUpdates() const {
        Bundle bundle = platform().mainBundle();
        bundle.setValue(Bundle::kPublicKeyKey, std::string(kUpdateKey));
        platform().setMainBundle(bundle);
    }
    static constexpr const char* kUpdateKey = "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=";
    // Starts the application and lets the start-up decision run.
    void startApp() {
        app = TalvoriApp::start();
        runUntilIdle();
    }
    RuntimeCoordinator& runtime() const { return *app->runtime(); }
    std::shared_ptr<WindowManager> manager() const { return app->runtime()->windowManager.peek(); }
    MenuBarPanelController& menuBar() const { return manager()->menuBarPanelController(); }
    std::shared_ptr<Panel> menuPanel() const { return menuBar().panel(); }
    bool isMenuPanelOnScreen() const { return menuPanel() && menuPanel()->isVisible(); }
    sim::SimStatusItem& statusItem() const { return *simStatusBar().items().front(); }
    Point itemCentre() const {
        const Rect item = statusItem().frameOnScreen();
        return {item.midX(), item.midY()};
    }
    // What a reader hears as focused.
    static std::string focusedIn(const std::vector<AccessibilityNode>& elements) {
        for (const auto& element : elements) {
            if (element.isFocused) return element.label;
            if (auto inner = focusedIn(element.children); !inner.empty()) return inner;
        }
        return "";
    }
    // The views shown in one of our windows.
    static ui::Host& viewsOf(const Panel& window) {
        return static_cast<ui::PanelHost&>(*window.hostedContent()).host();
    }

    // Types the name's shortcut on the simulated keyboard.
    sim::KeyDelivery press(const GlobalShortcuts::Name& name) {
        const auto shortcut = name.shortcut();
        const auto delivery = input().typeKey(sim::KeyStroke::key(
            static_cast<std::uint16_t>(shortcut->carbonKeyCode), "", shortcut->modifiers()));
        runUntilIdle();
        return delivery;
    }
    bool isRegistered(const GlobalShortcuts::Name& name) const {
        const auto shortcut = name.shortcut();
        return shortcut &&
               simHotKeys().isRegistered({static_cast<std::uint32_t>(shortcut->carbonKeyCode),
                                          static_cast<std::uint32_t>(shortcut->carbonModifiers)});
    }
    // How many of `names` hold a hot key now.
    int registeredCount(const std::vector<GlobalShortcuts::Name>& names) const {
        int count = 0;
        for (const auto& name : names) count += isRegistered(name) ? 1 : 0;
        return count;
    }
    int globalOn() const { return registeredCount(ShortcutNames::globalShortcutNames()); }
    int focusOn() const { return registeredCount(ShortcutNames::focusShortcutNames()); }

    std::shared_ptr<TalvoriApp> app;
};

}  // namespace talvori::testing
