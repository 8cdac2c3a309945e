#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/FirstRunWindowContent.hpp"
#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "controlpanel/ControlPanelController.hpp"
#include "covers/OverlayViewModel.hpp"
#include "platform/Platform.hpp"
#include "platform/atspi/harness/AtspiTestBus.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/harness/X11TestBus.hpp"

namespace talvori::testing {

// The program with its runtime on a desktop with a session and an accessibility bus, which come
// first: the program registers on them as it starts.
class X11AtspiDesktopTest : public X11DesktopTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(session().isReady()) << session().error();
        bus = std::make_unique<X11TestBus>(session());
        ASSERT_TRUE(bus->isReady()) << bus->error();
        accessibility = std::make_unique<AtspiTestBus>(session(), *bus);
        ASSERT_TRUE(accessibility->isReady()) << accessibility->error();
        X11DesktopTest::SetUp();
        if (HasFatalFailure()) return;
        beforeRuntimeStarts();
        coordinator = RuntimeCoordinator::create();
        manager = coordinator->startRuntime();
    }
    virtual void beforeRuntimeStarts() {}

    // Rests the pointer on a new cover until its control panel shows; null if it never does.
    ControlPanelController* restPointerOnNewCover() {
        const auto cover = manager->createCover();
        const Rect frame = cover->model.peek().frame.rect();
        // The desktop's y grows upwards from the foot of the 800-pixel test screen.
        driver().moveMouse(static_cast<int>(frame.midX()), 800 - static_cast<int>(frame.midY()));
        auto& controls = manager->controlPanelController();
        const bool shown = runUntil([&] {
            return controls.isPanelVisible() &&
                   driver().isViewable(controls.panel()->windowNumber());
        });
        return shown ? &controls : nullptr;
    }

    // The first-run window, open and key.
    bool openFirstRun() {
        SceneDescription scene;
        scene.identifier = "firstRun";
        scene.title = "Talvori";
        scene.sizedToContent = true;
        scene.hidesTitleBar = true;
        scene.makeContent = [this] {
            return ui::FirstRunWindowContent::makeHostedContent(coordinator, [] {});
        };
        platform().application().registerScene(scene);
        platform().application().openWindow("firstRun");
        return runUntil([] {
            const auto window = platform().application().sceneWindow("firstRun");
            return window && window->isKeyWindow();
        });
    }

    std::unique_ptr<X11TestBus> bus;
    std::unique_ptr<AtspiTestBus> accessibility;
    std::shared_ptr<RuntimeCoordinator> coordinator;
    std::shared_ptr<WindowManager> manager;
};

}  // namespace talvori::testing
