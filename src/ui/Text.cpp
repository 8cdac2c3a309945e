#include "ui/Text.hpp"

#include "ui/AccessibilityNode.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/Paint.hpp"
#include "ui/TextMeasurer.hpp"

namespace talvori::ui {

namespace {

struct TextStorage final : NodeStorage {
    std::shared_ptr<const TextLayout> layout;
};

TextStyle styleOf(const Environment& environment) {
    return {environment.font,      environment.tracking,
            environment.lineLimit, environment.multilineTextAlignment,
            environment.underline, environment.lineSpacing};
}

std::optional<double> widthFrom(std::optional<double> proposal) {
    if (proposal && !std::isfinite(*proposal)) return std::nullopt;
    return proposal;
}

class TextElement final : public Element {
  public:
    explicit TextElement(std::string text) : text_(std::move(text)) {}

    AnimatedValue::Values animatableData(const Node& node) const override {
        return foregroundData(node);
    }

    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        return context.text.layout(text_, styleOf(node.environment()), widthFrom(proposal.width))
            ->size;
    }

    void place(Node& node, Size size, LayoutContext& context) const override {
        node.ensureStorage<TextStorage>().layout =
            context.text.layout(text_, styleOf(node.environment()), size.width);
    }

    std::optional<double> firstBaseline(Node& node, Size size,
                                        LayoutContext& context) const override {
        return context.text.layout(text_, styleOf(node.environment()), size.width)->firstBaseline;
    }

    void draw(const Node& node, DrawContext& context) const override {
        const auto* storage = node.storage<TextStorage>();
        if (!storage || !storage->layout) return;
        setSourceColor(context.cr, node.presentedColor(0, context.now).opacity(context.opacity));
        storage->layout->draw(context.cr);
    }

    OpacityHandling opacityHandling(const Node&) const override { return OpacityHandling::applies; }
    // Glyphs may reach a little past their logical box.
    double drawingOutset(const Node& node) const override {
        return node.environment().font.size / 2;
    }

    Node* hitTest(Node& node, Point point, cairo_t*) const override {
        return hitInBounds(node, point);
    }
    std::optional<Color> presentedColor(const Node& node, ColorRole role,
                                        double now) const override {
        return foregroundAt(node, role, now);
    }

    std::vector<AccessibilityNode> accessibility(const Node& node, double now) const override {
        AccessibilityNode element;
        element.label = text_;
        element.frame = node.frameInHost(now);
        return {element};
    }

    std::optional<std::string> text() const override { return text_; }
    std::optional<std::string> implicitLabel() const override { return text_; }
    std::string debugName() const override { return "Text \"" + text_ + "\""; }

    // The layout shown, for inspection.
    static const TextLayout* shownLayout(const Node& node) {
        const auto* storage = node.storage<TextStorage>();
        return storage ? storage->layout.get() : nullptr;
    }

  private:
    std::string text_;
};

}  // namespace

Text::Text(std::string text) : View(std::make_shared<TextElement>(std::move(text))) {}

const TextLayout* shownTextLayout(const Node& node) {
    if (!dynamic_cast<const TextElement*>(&node.element())) return nullptr;
    return TextElement::shownLayout(node);
}

}  // namespace talvori::ui
