#pragma once

#include <memory>

#include "platform/sim/SimAccessibility.hpp"
#include "platform/sim/SimAlerts.hpp"
#include "platform/sim/SimAnnouncer.hpp"
#include "platform/sim/SimApplication.hpp"
#include "platform/sim/SimColorSampler.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimHotKeyService.hpp"
#include "platform/sim/SimInput.hpp"
#include "platform/sim/SimKeyboardLayout.hpp"
#include "platform/sim/SimLoginItem.hpp"
#include "platform/sim/SimPanel.hpp"
#include "platform/sim/SimPasteboard.hpp"
#include "platform/sim/SimSound.hpp"
#include "platform/sim/SimStatusBar.hpp"
#include "platform/sim/SimStatusItem.hpp"
#include "platform/sim/SimWindowList.hpp"
#include "platform/sim/SimWorkspace.hpp"
#include "platform/sim/SimWorld.hpp"
#include "support/PlatformTest.hpp"

namespace talvori::testing {

// Installs a fresh virtual platform with a simulated desktop for each test: one 1440 x 900 screen
// with its menu bar and desktop picture, our own process, no other application yet. Subclasses
// pass their own configuration for other screens.
//
// A test program that uses this fixture also stops the leak checker from reporting the font
// configuration library's process-wide caches, which text in screen pictures fills.
class SimDesktopTest : public PlatformTest {
  protected:
    SimDesktopTest();
    explicit SimDesktopTest(sim::SimDesktop::Configuration configuration);

    sim::SimDesktop& desktop() const { return *desktop_; }
    sim::SimWorld& world() const { return desktop_->world(); }
    sim::SimInput& input() const { return desktop_->input(); }
    sim::SimApplication& simApplication() const { return desktop_->application(); }
    sim::SimWindowList& simWindowList() const { return desktop_->windowList(); }
    sim::SimWorkspace& simWorkspace() const { return desktop_->workspace(); }
    sim::SimAccessibility& simAccessibility() const { return desktop_->accessibility(); }
    sim::SimStatusBar& simStatusBar() const { return desktop_->statusBar(); }
    sim::SimAnnouncer& simAnnouncer() const { return desktop_->announcer(); }
    sim::SimColorSampler& simColorSampler() const { return desktop_->colorSampler(); }
    sim::SimLoginItem& simLoginItem() const { return desktop_->loginItem(); }
    sim::SimHotKeyService& simHotKeys() const { return desktop_->hotKeys(); }
    sim::SimKeyboardLayout& simKeyboardLayout() const { return desktop_->keyboardLayout(); }
    sim::SimAlerts& simAlerts() const { return desktop_->alerts(); }
    sim::SimPasteboard& simPasteboard() const { return desktop_->pasteboard(); }
    sim::SimSound& simSound() const { return desktop_->sound(); }

    // A borderless, non-activating panel at the normal level, not yet on screen.
    std::shared_ptr<Panel> makePanel(const Rect& frame) const;
    // On-screen window numbers, front to back, as the window list gives them (desktop elements
    // left out).
    std::vector<std::uint32_t> windowNumbersFrontToBack() const;

  private:
    std::shared_ptr<sim::SimDesktop> desktop_;
};

}  // namespace talvori::testing
