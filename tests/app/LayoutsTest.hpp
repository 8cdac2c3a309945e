#pragma once

#include <vector>

#include "app/AppTest.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/OverlayWindowController.hpp"
#include "covers/PresetManager.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori::testing {

// The running application with trust granted, and helpers to make covers and layouts and to read
// the stored layouts back as a fresh start would.
class LayoutsTest : public AppTest {
  protected:
    LayoutsTest() { world().setAccessibilityTrusted(true); }

    void start() {
        onboard();
        startApp();
    }
    std::shared_ptr<OverlayViewModel> cover(const std::string& name, double x = 100) {
        auto made = manager()->createCover();
        made->rename(name);
        made->model.modify([&](OverlayModel& model) { model.frame.x = x; });
        return made;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (const auto& overlay : manager()->overlays.peek()) list.push_back(overlay->name());
        return list;
    }
    std::vector<PresetModel> stored() const {
        return PresetManager(PresetManager::standardKey,
                             platform().userDefaults().shared_from_this())
            .load();
    }
    std::size_t coverWindowsOnScreen() const {
        std::size_t count = 0;
        for (const auto& window : platform().application().windows()) {
            if (window->isVisible() && window->level() == WindowLevel::floating &&
                !window->ignoresMouseEvents()) {
                ++count;
            }
        }
        return count;
    }
    // The layout previews on screen, with their alpha now.
    std::vector<std::shared_ptr<Panel>> ghostsOnScreen() const {
        std::vector<std::shared_ptr<Panel>> ghosts;
        for (const auto& window : platform().application().windows()) {
            if (window->isVisible() && window->level() == WindowLevel::floating &&
                window->ignoresMouseEvents()) {
                ghosts.push_back(window);
            }
        }
        return ghosts;
    }
};

}  // namespace talvori::testing
