#pragma once

#include <string>

#include "app/AppTest.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/PresetManager.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "platform/sim/ScreenPicture.hpp"

namespace talvori::testing {

// The running application with its menu-bar panel open, driven as a user drives it: the pointer
// and the keyboard of the simulated desktop on what the panel shows.
class PanelTest : public AppTest {
  protected:
    static constexpr std::uint16_t kReturnKey = 36;
    static constexpr std::uint16_t kEscapeKey = 53;

    PanelTest() { world().setAccessibilityTrusted(true); }

    void start() {
        onboard();
        startApp();
        open();
    }
    void open() {
        press(ShortcutNames::showPanel());
        runUntilIdle();
    }
    ui::Host& views() const { return viewsOf(*menuPanel()); }
    ui::NodeRef labelled(const std::string& label) const {
        return views().find(ui::Query::byLabel(label));
    }
    ui::NodeRef text(const std::string& shown) const {
        return views().find(ui::Query::byText(shown));
    }
    Point onScreen(const ui::NodeRef& node) const {
        const Rect frame = node.frameOnScreen().value_or(Rect());
        return {frame.midX(), frame.midY()};
    }
    void click(const ui::NodeRef& node) {
        input().click(onScreen(node));
        runUntilIdle();
    }
    void hover(const ui::NodeRef& node) {
        input().moveMouse(onScreen(node));
        runUntilIdle();
    }
    void typeText(const std::string& characters) {
        for (const char character : characters) {
            input().typeKey(sim::KeyStroke::key(0, std::string(1, character)));
        }
        runUntilIdle();
    }
    sim::KeyDelivery key(std::uint16_t code, const std::string& characters = {},
                         std::uint64_t modifiers = 0) {
        const auto delivery = input().typeKey(sim::KeyStroke::key(code, characters, modifiers));
        runUntilIdle();
        return delivery;
    }
    std::vector<PresetModel> stored() const {
        return PresetManager(PresetManager::standardKey,
                             platform().userDefaults().shared_from_this())
            .load();
    }
    std::size_t ghostsOnScreen() const {
        std::size_t count = 0;
        for (const auto& window : platform().application().windows()) {
            count += window->isVisible() && window->ignoresMouseEvents() &&
                     window->hostedContent() && window != menuPanel();
        }
        return count;
    }
    // Writes the screen to $TALVORI_PICTURES/<name>.png when that folder is given, for a person to
    // look at; always returns the picture for the test's own checks.
    sim::ScreenPicture picture(const std::string& name) const {
        auto shot = sim::ScreenPicture::render(world(), &simStatusBar());
        if (const char* folder = std::getenv("TALVORI_PICTURES")) {
            shot.writePNG(std::string(folder) + "/" + name + ".png");
        }
        return shot;
    }
};

}  // namespace talvori::testing
