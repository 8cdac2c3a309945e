#pragma once

#include "UiTest.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::ui::testing {

// Views in a panel of ours on the simulated desktop, driven through the simulated pointer.
class WindowedViewTest : public UiTest {
  protected:
    // The panels' dark background, on which the views' light texts show.
    static constexpr Color kInk = Color::rgb255(21, 24, 32);

    // Before the test's own members go: closing the window may write through their bindings.
    void TearDown() override {
        if (panel) panel->close();
        runUntilIdle();
    }

    void show(View root, const Rect& frame) {
        PanelHost::Options options;
        options.textMeasurer = std::make_shared<FixedTextMeasurer>();
        content = PanelHost::make(std::move(root), options);
        panel = makePanel(frame);
        panel->setCanBecomeKey(true);
        panel->setBackgroundColor(kInk);
        panel->setHostedContent(content);
        panel->orderFront();
        runUntilIdle();
    }
    Host& views() const { return content->host(); }

    // A point of the panel's content (y down) in the global space (y up).
    Point global(Point point) const {
        const Rect frame = panel->frame();
        return {frame.minX() + point.x, frame.maxY() - point.y};
    }
    void click(const NodeRef& node) {
        ASSERT_TRUE(node);
        input().click(global(center(node.frame())));
        runUntilIdle();
    }
    void clickAt(Point global) {
        input().click(global);
        runUntilIdle();
    }
    // Our windows at `level`, front to back.
    std::vector<std::shared_ptr<Panel>> windowsAtLevel(int level) const {
        std::vector<std::shared_ptr<Panel>> found;
        for (const auto& window : platform().application().windows()) {
            if (window->level() == level && window->isVisible()) found.push_back(window);
        }
        return found;
    }
    void writePicture(const std::string& path) const {
        sim::ScreenPicture::render(world()).writePNG(path);
    }

    std::shared_ptr<PanelHost> content;
    std::shared_ptr<Panel> panel;
};

}  // namespace talvori::ui::testing
