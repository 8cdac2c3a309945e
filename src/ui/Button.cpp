#include "ui/Button.hpp"

#include "platform/core/weakly.hpp"
#include "ui/AccessibilityNode.hpp"
#include "ui/FocusRing.hpp"
#include "ui/Text.hpp"
#include "ui/ViewContext.hpp"

namespace talvori::ui {

namespace {

bool isPlainPress(const KeyPress& press) {
    return (press.key == Key::space || press.key == Key::returnKey) &&
           press.modifiers == Modifiers::none && !press.isRepeat;
}

// Tracks a press on the styled label and runs the action on a release inside it; with the
// keyboard focus, Space and Return press it.
class PressElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    PressElement(std::shared_ptr<const Element> content, std::function<void()> action,
                 Binding<bool> isPressed)
        : ModifierElement(std::move(content)),
          action_(std::move(action)),
          isPressed_(std::move(isPressed)) {}

    bool handlesPointer() const override { return true; }
    void pointerEvent(Node& node, const PointerEvent& event) const override {
        if (!node.environment().isEnabled) return;
        switch (event.phase) {
            case PointerPhase::began:
                isPressed_.set(true);
                break;
            case PointerPhase::moved:
                isPressed_.set(event.isInside);
                break;
            case PointerPhase::ended:
                isPressed_.set(false);
                if (event.isInside && action_) action_();
                break;
            case PointerPhase::cancelled:
                isPressed_.set(false);
                break;
        }
    }
    // A click does not take the focus (the ring would follow the mouse); Tab does.
    bool isFocusable(const Node& node) const override {
        return action_ && node.environment().isEnabled;
    }
    bool keyDown(Node& node, const KeyPress& press) const override {
        return isPlainPress(press) && performAction(node);
    }
    void draw(const Node& node, DrawContext& context) const override {
        node.drawChildren(context);
        FocusRing::drawIfFocused(node, context);
    }
    double drawingOutset(const Node& node) const override { return FocusRing::drawingOutset(node); }
    bool performAction(Node& node) const override {
        if (!node.environment().isEnabled || !action_) return false;
        action_();
        return true;
    }
    std::vector<AccessibilityNode> accessibility(const Node& node, double now) const override {
        AccessibilityNode element;
        element.label = joinedLabels(Element::accessibility(node, now));
        element.traits = AccessibilityTrait::isButton;
        element.frame = node.frameInHost(now);
        element.actions.push_back({"", weakly(node.weak_from_this(), [](const Node& pressed) {
                                       // The tree is the host's to change; the press acts on it.
                                       auto& node = const_cast<Node&>(pressed);
                                       if (node.isAttached()) node.element().performAction(node);
                                   })});
        return {element};
    }
    std::string debugName() const override { return "Button"; }

  private:
    std::function<void()> action_;
    Binding<bool> isPressed_;
};

struct ButtonContent {
    std::function<void()> action;
    View label;

    struct State {
        Observable<bool> isPressed{false};
    };

    View body(ViewContext<State>& context) const {
        const auto& environment = context.environment();
        const ButtonConfiguration configuration{label, context.state.isPressed(),
                                                environment.isEnabled};
        const View styled =
            environment.buttonStyle ? (*environment.buttonStyle)(configuration) : label;
        return View(std::make_shared<PressElement>(styled.element(), action,
                                                   Binding<bool>(context.state.isPressed)));
    }
};

}  // namespace

Button::Button(std::function<void()> action, View label)
    : View(ButtonContent{std::move(action), std::move(label)}) {}

Button::Button(std::string title, std::function<void()> action)
    : Button(std::move(action), Text(std::move(title))) {}

}  // namespace talvori::ui
