#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controlpanel/ControlPanelController.hpp"
#include "covers/CoverSamples.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/OverlayWindowController.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "support/SimDesktopTest.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {

// Covers on the simulated desktop, wired to a control panel the way the window manager wires them:
// their hover, hover end and moves reach the controller, and the controller's callbacks are
// recorded. Tests move the pointer, wait on virtual time, click and type as a user does.
class ControlPanelTest : public SimDesktopTest {
  protected:
    ControlPanelTest() {
        controller = std::make_shared<ControlPanelController>(0.2, 0.3, 0.5);
        controller->viewModelProvider =
            [this](const UUID& id) -> std::shared_ptr<OverlayViewModel> {
            const auto found = covers.find(id);
            return found == covers.end() ? nullptr : found->second->viewModel();
        };
        auto record = [this](std::string name) {
            return [this, name](const UUID& id) { calls.push_back(name + " " + coverName(id)); };
        };
        controller->onDuplicate = record("duplicate");
        controller->onClose = record("close");
        controller->onDetach = record("detach");
        controller->onLockChange = record("lock");
        controller->onClickThroughChange = record("clickThrough");
        controller->onAttach = [this](const UUID& id, const AttachmentTarget& target) {
            calls.push_back("attach " + coverName(id) + " " + target.label().value_or("?"));
        };
    }
    ~ControlPanelTest() override {
        controller->shutdown();
        for (auto& [id, window] : covers) window->close();
    }

    // A cover shown at `frame` (global space, y up).
    OverlayViewModel& addCover(const Rect& frame, std::string name = "Overlay 1",
                               CodableColor color = {1, 0.5, 0, 1}) {
        OverlayModel model = sampleCover(std::move(name));
        model.frame = CodableRect::fromRect(frame);
        model.color = color;
        auto window = OverlayWindowController::create(std::make_shared<OverlayViewModel>(model));
        std::weak_ptr<ControlPanelController> weak = controller;
        window->onHover = [weak](const UUID& id, const Rect& at) {
            if (auto panel = weak.lock()) panel->scheduleShow(id, at);
        };
        window->onHoverEnd = [weak] {
            if (auto panel = weak.lock()) panel->scheduleHide();
        };
        window->onMove = [weak](const UUID& id, const Rect& at) {
            if (auto panel = weak.lock()) panel->repositionPanel(id, at);
        };
        window->show();
        covers[model.id] = window;
        return *window->viewModel();
    }
    std::string coverName(const UUID& id) const {
        const auto found = covers.find(id);
        return found == covers.end() ? "?" : found->second->viewModel()->name();
    }

    // ---- The pointer
    void hover(const OverlayViewModel& cover) {
        const Rect frame = cover.model.peek().frame.rect();
        input().moveMouse({frame.midX(), frame.midY()});
    }
    // Somewhere on the desktop, away from the covers and the panel.
    void moveAway() { input().moveMouse({5, 5}); }
    // Rests on the cover until its panel shows.
    void showPanelFor(const OverlayViewModel& cover) {
        hover(cover);
        advance(0.2);
        runUntilIdle();
        ASSERT_TRUE(controller->isPanelVisible());
        ASSERT_EQ(controller->currentOverlayID(), cover.id());
    }

    // ---- The panel's content
    ui::Host& card() const { return controller->hostingView()->host(); }
    ui::NodeRef find(const std::string& label) const {
        return card().find(ui::Query::byLabel(label));
    }
    // What a screen reader hears of the element labelled `label` (the last one, where a caption
    // shows the same word before its control): its line of the accessibility tree.
    std::string spoken(const std::string& label) const {
        const std::string dump = card().accessibilityDump();
        const std::string quoted = "\"" + label + "\"";
        std::string found;
        std::size_t start = 0;
        while (start < dump.size()) {
            const std::size_t end = std::min(dump.find('\n', start), dump.size());
            const std::string line = dump.substr(start, end - start);
            if (line.find(quoted) != std::string::npos) found = line;
            start = end + 1;
        }
        return found;
    }
    // The element a reader finds by that label, as the card exposes it.
    std::optional<AccessibilityNode> element(const std::string& label) const {
        std::vector<AccessibilityNode> pending = card().accessibilityElements();
        while (!pending.empty()) {
            AccessibilityNode next = std::move(pending.back());
            pending.pop_back();
            if (next.label == label) return next;
            pending.insert(pending.end(), next.children.begin(), next.children.end());
        }
        return std::nullopt;
    }
    // A quoted property of that line (value="..." or hint="..."), empty when it has none.
    std::string spokenProperty(const std::string& label, const std::string& property) const {
        const std::string line = spoken(label);
        const std::string key = property + "=\"";
        const auto at = line.find(key);
        if (at == std::string::npos) return {};
        const auto begin = at + key.size();
        return line.substr(begin, line.find('"', begin) - begin);
    }
    std::string value(const std::string& label) const { return spokenProperty(label, "value"); }
    bool isSelected(const std::string& label) const {
        return spoken(label).find("[selected]") != std::string::npos;
    }
    bool shows(const std::string& text) const {
        return card().find(ui::Query::byText(text)).exists();
    }
    // A point of the panel's content (y down) in the global space (y up).
    Point global(Point point) const {
        const Rect frame = controller->panel()->frame();
        return {frame.minX() + point.x, frame.maxY() - point.y};
    }
    Point globalCenter(const ui::NodeRef& node) const {
        const Rect frame = node.frame();
        return global({frame.midX(), frame.midY()});
    }
    void click(const ui::NodeRef& node) {
        ASSERT_TRUE(node.exists());
        input().click(globalCenter(node));
        runUntilIdle();
    }
    void click(const std::string& label) { click(find(label)); }
    // Opens a solid cover's colour block and waits for it to fade in.
    void openColorBlock() {
        click("Show color picker");
        advance(0.3);
    }
    void clickText(const std::string& text) { click(card().find(ui::Query::byText(text))); }

    // ---- The keyboard
    sim::KeyDelivery typeKey(std::uint16_t keyCode, const std::string& characters,
                             std::uint64_t flags = 0) {
        const auto delivery = input().typeKey(sim::KeyStroke::key(keyCode, characters, flags));
        runUntilIdle();
        return delivery;
    }
    sim::KeyDelivery typeDigit(char digit, std::uint64_t flags = 0) {
        static constexpr std::uint16_t codes[] = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};
        return typeKey(codes[digit - '0'], std::string(1, digit), flags);
    }
    void typeText(const std::string& text) {
        for (char c : text) typeKey(0, std::string(1, c));
    }
    void selectAll() { typeKey(0, "a", ModifierFlags::command); }
    void pressReturn() { typeKey(36, "\r"); }
    void pressEscape() { typeKey(53, "\x1b"); }

    std::shared_ptr<ControlPanelController> controller;
    std::map<UUID, std::shared_ptr<OverlayWindowController>> covers;
    std::vector<std::string> calls;
};

}  // namespace talvori::testing
