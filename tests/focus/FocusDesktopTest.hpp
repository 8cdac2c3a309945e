#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "covers/PermissionManager.hpp"
#include "focus/SpotlightController.hpp"
#include "focus/SpotlightPanelManager.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori::testing {

// A simulated desktop with two other applications and the Focus engine over it. Editor has E1 in
// front of E2; Browser has B1; before anything is activated the stack is E1, E2, B1.
class FocusDesktopTest : public SimDesktopTest {
  protected:
    explicit FocusDesktopTest(sim::SimDesktop::Configuration configuration = {})
        : SimDesktopTest(std::move(configuration)) {
        world().setFocusNotificationElement(sim::SimWorld::FocusNotificationElement::application);
        editor = world().launchApplication("Editor");
        browser = world().launchApplication("Browser");
        b1 = world().openWindow(browser, "B1", Rect(600, 200, 500, 400));
        e2 = world().openWindow(editor, "E2", Rect(200, 150, 500, 400));
        e1 = world().openWindow(editor, "E1", Rect(100, 100, 500, 400));
        panels = SpotlightPanelManager::create();
        defaults = UserDefaults::inMemory();
    }
    ~FocusDesktopTest() override {
        if (controller) controller->deactivate();
        // Window animations still running would keep their windows alive past the desktop.
        advance(1);
    }

    void makeController() {
        controller = SpotlightController::create(panels, PermissionManager::shared(), defaults);
        controller->onActiveChange = [this](bool active) { activeChanges.push_back(active); };
        controller->onDecision = [this](const FocusDecision& made) { decisions.push_back(made); };
    }
    // Brings `pid` to the front and lets every notice of it arrive.
    void activateApplication(std::int32_t pid) {
        world().activateApplication(pid);
        runUntilIdle();
    }
    // Focus on with `pid` in front, the fade-in over and the first follow-ups run.
    void turnOnWith(std::int32_t pid) {
        activateApplication(pid);
        if (!controller) makeController();
        controller->activate();
        advance(SpotlightPanelManager::kFadeInDuration);
        clearRecords();
    }

    std::shared_ptr<Panel> panel() const { return panels->overlayPanel(); }
    int indexOf(std::uint32_t number) const {
        const auto list = windowNumbersFrontToBack();
        const auto found = std::find(list.begin(), list.end(), number);
        return found == list.end() ? -1 : static_cast<int>(found - list.begin());
    }
    // The big panel sits directly below `window`.
    bool panelIsDirectlyBelow(std::uint32_t window) const {
        return panel() && indexOf(window) >= 0 &&
               indexOf(panel()->windowNumber()) == indexOf(window) + 1;
    }
    // Everything in front of the panel, other than the menu bar, stays clear.
    std::vector<std::uint32_t> clearWindows() const {
        std::vector<std::uint32_t> clear;
        for (auto number : windowNumbersFrontToBack()) {
            if (number == panel()->windowNumber()) break;
            if (world().window(number)->level == 0) clear.push_back(number);
        }
        return clear;
    }
    std::vector<std::string> spotlightLog() const {
        std::vector<std::string> lines;
        for (const auto& record : logs().records()) {
            if (record.category == "Spotlight") lines.push_back(record.message);
        }
        return lines;
    }
    bool logged(const std::string& line) const {
        const auto lines = spotlightLog();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // How often the controller made `decision` since the records were last cleared.
    int count(const FocusDecision& decision) const {
        return static_cast<int>(std::count(decisions.begin(), decisions.end(), decision));
    }
    bool logged(const FocusDecision& decision) const { return count(decision) > 0; }
    static FocusDecision committed(const std::string& source, std::uint32_t window) {
        return {ShadeAnchorDecision::Kind::commit, source, window};
    }
    static FocusDecision held(const std::string& source, std::uint32_t window) {
        return {ShadeAnchorDecision::Kind::hold, source, window};
    }
    static FocusDecision snapped(const std::string& source, std::uint32_t window) {
        return {ShadeAnchorDecision::Kind::snapToFallback, source, window};
    }
    // Forgets the log and the decisions made so far.
    void clearRecords() {
        logs().clear();
        decisions.clear();
    }

    std::int32_t editor = 0;
    std::int32_t browser = 0;
    std::uint32_t e1 = 0, e2 = 0, b1 = 0;
    std::shared_ptr<SpotlightPanelManager> panels;
    std::shared_ptr<UserDefaults> defaults;
    std::shared_ptr<SpotlightController> controller;
    std::vector<bool> activeChanges;
    std::vector<FocusDecision> decisions;
};

}  // namespace talvori::testing
