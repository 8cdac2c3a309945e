#pragma once

#include <cstdlib>
#include <string>

#include "app/AppTest.hpp"
#include "platform/sim/ScreenPicture.hpp"

namespace talvori::testing {

// The program started on the simulated desktop as its main function starts it, for a user who has
// not finished onboarding, with the first-run window on screen; driven with the simulated pointer
// and keyboard.
class OnboardingTest : public AppTest {
  protected:
    static constexpr std::uint16_t kReturnKey = 36;
    static constexpr const char* kScene = "firstRun";

    std::shared_ptr<Panel> window() const { return simApplication().sceneWindow(kScene); }
    ui::Host& views() const { return viewsOf(*window()); }
    ui::NodeRef labelled(const std::string& label) const {
        return views().find(ui::Query::byLabel(label));
    }
    ui::NodeRef text(const std::string& shown) const {
        return views().find(ui::Query::byText(shown));
    }
    // Clicks the middle of what the user sees of `node`.
    void click(const ui::NodeRef& node) {
        const Rect frame = node.frameOnScreen().value_or(Rect());
        input().click({frame.midX(), frame.midY()});
        runUntilIdle();
    }
    void clickLabelled(const std::string& label) {
        const auto node = labelled(label);
        ASSERT_TRUE(node) << label;
        click(node);
    }
    sim::KeyDelivery key(std::uint16_t code, const std::string& characters = {},
                         std::uint64_t modifiers = 0) {
        const auto delivery = input().typeKey(sim::KeyStroke::key(code, characters, modifiers));
        runUntilIdle();
        return delivery;
    }
    // Lets a step change or a phase change finish its animation.
    void settle() {
        runUntilIdle();
        advance(1);
        views().pruneRemovals();
    }
    // Writes the screen to $TALVORI_PICTURES/<name>.png, and the first-run window alone at full
    // size to <name>-window.png, when that folder is given, for a person to look at.
    void picture(const std::string& name) const {
        const char* folder = std::getenv("TALVORI_PICTURES");
        if (!folder) return;
        const std::string path = std::string(folder) + "/" + name;
        sim::ScreenPicture::render(world(), &simStatusBar()).writePNG(path + ".png");
        if (window()) views().writePNG(path + "-window.png");
    }
};

}  // namespace talvori::testing
