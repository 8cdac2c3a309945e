#pragma once

#include <memory>
#include <string>
#include <vector>

#include "RecorderTest.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "recorder/ShortcutRecorderField.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::testing {

// A key settings-like window showing one recorder field per given name, one under the other, on
// the simulated desktop; the simulated user clicks, hovers and types into it.
class RecorderWindowTest : public RecorderTest {
  protected:
    struct Fields {
        std::vector<std::string> names;
        int* changes;
        ui::View body(ui::ViewContext<ui::NoState>&) const {
            ui::ViewList rows;
            for (const auto& raw : names) {
                rows.push_back(
                    ui::ShortcutRecorderField{appName(raw), [changes = changes] { ++*changes; }});
            }
            // Dark like the settings window, so that pictures show the fields as users see them.
            return ui::VStack(ui::HorizontalAlignment::leading, 16, std::move(rows))
                .padding(20)
                .background(ui::Color::rgb255(30, 32, 38));
        }
    };

    void show(std::vector<std::string> names, std::shared_ptr<ui::TextMeasurer> measurer =
                                                  std::make_shared<ui::FixedTextMeasurer>()) {
        ui::PanelHost::Options options;
        options.textMeasurer = std::move(measurer);
        content = ui::PanelHost::make(Fields{std::move(names), &changes}, options);
        window = platform().application().makePanel({{300, 400}, {320, 240}},
                                                    StyleMask::titled | StyleMask::closable);
        window->setHostedContent(content);
        window->makeKeyAndOrderFront();
        settle();
    }
    void hide() {
        content->setRootView(ui::View());
        settle();
    }

    ui::Host& host() const { return content->host(); }
    ui::NodeRef field(const std::string& raw) const {
        return host().find(ui::Query::byLabel(titleForName(appName(raw)) + " shortcut"));
    }
    // The part of a field found by its identifier (fill, border, ring, clear).
    ui::NodeRef part(const std::string& raw, const std::string& identifier) const {
        const auto whole = field(raw).frame();
        for (const auto& node :
             host().findAll(ui::Query::byIdentifier("ShortcutRecorderField." + identifier))) {
            const auto frame = node.frame();
            if (frame.minY() >= whole.minY() - 3 && frame.maxY() <= whole.maxY() + 3) return node;
        }
        return {};
    }
    // The global point (y up) of a point of the window's content (y down).
    Point global(Point point) const {
        const Rect frame = window->frame();
        return {frame.minX() + point.x, frame.maxY() - point.y};
    }
    Point globalCenter(const ui::NodeRef& node) const {
        const Rect frame = node.frame();
        return global({frame.midX(), frame.midY()});
    }
    // Lets what the last action started (fades, settles) run to its end.
    void settle() {
        runUntilIdle();
        advance(1);
    }
    void click(const ui::NodeRef& node) {
        input().click(globalCenter(node));
        settle();
    }
    void hover(const ui::NodeRef& node) {
        input().moveMouse(globalCenter(node));
        settle();
    }
    // Types a key into the key window through the whole route (monitors first).
    sim::KeyDelivery press(Key key, std::uint64_t flags = 0, bool isRepeat = false) {
        const auto delivery = typeKey(key, flags, isRepeat);
        settle();
        return delivery;
    }

    int changes = 0;
    std::shared_ptr<ui::PanelHost> content;
    std::shared_ptr<Panel> window;
};

}  // namespace talvori::testing
