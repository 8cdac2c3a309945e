// Accessibility modifiers of View.
#include "platform/core/weakly.hpp"
#include "ui/AccessibilityNode.hpp"
#include "ui/Node.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

namespace {

struct AccessibilityProperties {
    std::optional<std::string> label{}, value{}, hint{}, identifier{};
    // What the control acts on, said after the label.
    std::optional<std::string> subject{};
    AccessibilityTrait traits = AccessibilityTrait::none;
    AccessibilityTrait removedTraits = AccessibilityTrait::none;
    bool hidden = false;
    std::optional<AccessibilityChildren> children{};
    std::optional<bool> isOn{};
    std::optional<AccessibilityRange> range{};
};

class AccessibilityElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    AccessibilityElement(std::shared_ptr<const Element> content, AccessibilityProperties properties)
        : ModifierElement(std::move(content)), properties_(std::move(properties)) {}

    const AccessibilityProperties& properties() const { return properties_; }

    std::vector<AccessibilityNode> accessibility(const Node& node, double now) const override {
        if (properties_.hidden) return {};
        auto inner = Element::accessibility(node, now);
        const bool onlyProperties = !properties_.children;
        if (onlyProperties && inner.size() == 1) {
            apply(inner.front());
            return inner;
        }
        AccessibilityNode element;
        element.frame = node.frameInHost(now);
        switch (properties_.children.value_or(AccessibilityChildren::contain)) {
            case AccessibilityChildren::contain:
                element.children = std::move(inner);
                break;
            case AccessibilityChildren::combine:
                element.label = joinedLabels(inner);
                for (auto& child : inner) {
                    element.actions.insert(element.actions.end(), child.actions.begin(),
                                           child.actions.end());
                }
                break;
            case AccessibilityChildren::ignore:
                break;
        }
        apply(element);
        return {element};
    }
    std::string debugName() const override { return "accessibility"; }

  private:
    void apply(AccessibilityNode& element) const {
        if (properties_.label) element.label = *properties_.label;
        if (properties_.label && properties_.subject && !properties_.subject->empty())
            element.label += " " + *properties_.subject;
        if (properties_.value) element.value = *properties_.value;
        if (properties_.hint) element.hint = *properties_.hint;
        if (properties_.identifier) element.identifier = *properties_.identifier;
        if (properties_.isOn) element.isOn = properties_.isOn;
        if (properties_.range) element.range = properties_.range;
        element.traits = static_cast<AccessibilityTrait>(
            static_cast<std::uint8_t>(element.traits | properties_.traits) &
            ~static_cast<std::uint8_t>(properties_.removedTraits));
    }
    AccessibilityProperties properties_;
};

// Adds an action to the one element below it, or makes an element for it around several.
class AccessibilityActionElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    AccessibilityActionElement(std::shared_ptr<const Element> content, std::string name,
                               std::function<void()> action)
        : ModifierElement(std::move(content)),
          name_(std::move(name)),
          action_(std::make_shared<const std::function<void()>>(std::move(action))) {}

    std::vector<AccessibilityNode> accessibility(const Node& node, double now) const override {
        auto inner = Element::accessibility(node, now);
        if (inner.size() != 1) {
            AccessibilityNode element;
            element.frame = node.frameInHost(now);
            element.children = std::move(inner);
            inner = {std::move(element)};
        }
        auto& actions = inner.front().actions;
        std::erase_if(actions, [&](const auto& action) { return action.name == name_; });
        AccessibilityAction added{
            name_, weakly(node.weak_from_this(), [action = action_](const Node& node) {
                if (node.isAttached() && *action) (*action)();
            })};
        if (name_.empty()) {
            actions.insert(actions.begin(), std::move(added));
        } else {
            actions.push_back(std::move(added));
        }
        return inner;
    }
    std::string debugName() const override { return "accessibilityAction " + name_; }

  private:
    std::string name_;
    std::shared_ptr<const std::function<void()>> action_;
};

View accessibility(const std::shared_ptr<const Element>& content,
                   AccessibilityProperties properties) {
    return View(std::make_shared<AccessibilityElement>(content, std::move(properties)));
}

}  // namespace

std::vector<AccessibilityNode> accessibilityElementsOf(const Node& node, double now) {
    auto elements = node.element().accessibility(node, now);
    for (auto& element : elements) {
        if (element.source.expired()) element.source = node.weak_from_this();
    }
    return elements;
}

std::string joinedLabels(const std::vector<AccessibilityNode>& nodes) {
    std::string joined;
    for (const auto& node : nodes) {
        const std::string inner = node.label.empty() ? joinedLabels(node.children) : node.label;
        if (inner.empty()) continue;
        if (!joined.empty()) joined += ", ";
        joined += inner;
    }
    return joined;
}

std::optional<std::string> accessibilityLabelOf(const Element& element) {
    const auto* modifier = dynamic_cast<const AccessibilityElement*>(&element);
    return modifier ? modifier->properties().label : std::nullopt;
}

std::optional<std::string> accessibilityIdentifierOf(const Element& element) {
    const auto* modifier = dynamic_cast<const AccessibilityElement*>(&element);
    return modifier ? modifier->properties().identifier : std::nullopt;
}

View View::accessibilityLabel(std::string label) const {
    return accessibility(element_, {.label = std::move(label)});
}

View View::accessibilityLabel(std::string label, std::string subject) const {
    return accessibility(element_, {.label = std::move(label), .subject = std::move(subject)});
}

View View::accessibilityValue(std::string value) const {
    return accessibility(element_, {.value = std::move(value)});
}

View View::accessibilityHint(std::string hint) const {
    return accessibility(element_, {.hint = std::move(hint)});
}

View View::accessibilityIdentifier(std::string identifier) const {
    return accessibility(element_, {.identifier = std::move(identifier)});
}

View View::accessibilityAddTraits(AccessibilityTrait traits) const {
    return accessibility(element_, {.traits = traits});
}

View View::accessibilityRemoveTraits(AccessibilityTrait traits) const {
    return accessibility(element_, {.removedTraits = traits});
}

View View::accessibilityHidden(bool hidden) const {
    return accessibility(element_, {.hidden = hidden});
}

View View::accessibilityElement(AccessibilityChildren children) const {
    return accessibility(element_, {.children = children});
}

View View::accessibilityToggle(bool isOn) const {
    return accessibility(element_, {.traits = AccessibilityTrait::isToggle, .isOn = isOn});
}

View View::accessibilityRadio(bool isChosen) const {
    return accessibility(element_, {.traits = AccessibilityTrait::isRadio, .isOn = isChosen});
}

View View::accessibilityRange(AccessibilityRange range) const {
    return accessibility(element_, {.range = std::move(range)});
}

View View::accessibilityAction(std::function<void()> action) const {
    return View(std::make_shared<AccessibilityActionElement>(element_, "", std::move(action)));
}

View View::accessibilityAction(std::string name, std::function<void()> action) const {
    return View(
        std::make_shared<AccessibilityActionElement>(element_, std::move(name), std::move(action)));
}

}  // namespace talvori::ui
