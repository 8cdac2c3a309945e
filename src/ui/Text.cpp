#include "ui/Text.hpp"

#include "platform/core/weakly.hpp"
#include "ui/AccessibilityNode.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/Paint.hpp"
#include "ui/TextMeasurer.hpp"

namespace talvori::ui {

namespace {

constexpr double kSelectionOpacity = 0.3;

struct TextStorage final : NodeStorage {
    std::shared_ptr<const TextLayout> layout;
    // The selected bytes of a selectable text: between the anchor and the caret.
    std::size_t anchor = 0;
    std::size_t caret = 0;
    std::size_t selectionStart() const { return std::min(anchor, caret); }
    std::size_t selectionEnd() const { return std::max(anchor, caret); }
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
    // A new text is measured again; whether that changes any size, layout finds out.
    ElementChange changeFrom(const Element& older) const override {
        const bool same = static_cast<const TextElement&>(older).text_ == text_;
        return {!same, !same};
    }

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
        if (storage->selectionEnd() > storage->selectionStart())
            drawSelection(node, *storage, context);
        setSourceColor(context.cr, node.presentedColor(0, context.now).opacity(context.opacity));
        storage->layout->draw(context.cr, context.textRendering());
    }

    OpacityHandling opacityHandling(const Node& node) const override {
        return isSelectable(node) ? OpacityHandling::needsGroup : OpacityHandling::applies;
    }

    // --- selection (View::textSelection)
    using Element::handlesPointer;
    bool handlesPointer(const Node& node) const override { return isSelectable(node); }
    void pointerEvent(Node& node, const PointerEvent& event) const override {
        if (!isSelectable(node)) return;
        auto& storage = node.ensureStorage<TextStorage>();
        if (!storage.layout) return;
        const std::size_t index =
            std::min(storage.layout->indexForOffset(event.location.x), text_.size());
        if (event.phase == PointerPhase::began) {
            node.host().requestFocus(node);
            storage.anchor = index;
        }
        if (event.phase != PointerPhase::cancelled) storage.caret = index;
        node.setNeedsDisplay();
    }
    bool isFocusable(const Node& node) const override { return isSelectable(node); }
    bool isTabStop(const Node&) const override { return false; }
    void focusChanged(Node& node, bool isFocused) const override {
        if (isFocused) return;
        auto& storage = node.ensureStorage<TextStorage>();
        storage.anchor = storage.caret = 0;
        node.setNeedsDisplay();
    }
    bool keyDown(Node& node, const KeyPress& press) const override {
        if (!isSelectable(node) || !press.hasCommand()) return false;
        auto& storage = node.ensureStorage<TextStorage>();
        if (press.characters == "a") {
            storage.anchor = 0;
            storage.caret = text_.size();
            node.setNeedsDisplay();
            return true;
        }
        if (press.characters == "c") {
            const auto start = std::min(storage.selectionStart(), text_.size());
            const auto end = std::min(storage.selectionEnd(), text_.size());
            if (end > start) node.host().writePasteboard(text_.substr(start, end - start));
            return true;
        }
        return false;
    }
    // Glyphs may reach a little past their logical box.
    double drawingOutset(const Node& node) const override {
        return node.environment().font.size / 2;
    }

    Node* hitTest(Node& node, Point point, cairo_t*) const override {
        return hitInBounds(node, point);
    }
    AccessibilityText accessibleText(const Node& node) const {
        AccessibilityText text;
        text.contents = text_;
        if (const auto* storage = node.storage<TextStorage>()) {
            text.caret = std::min(storage->caret, text_.size());
            text.selectionStart = std::min(storage->selectionStart(), text_.size());
            text.selectionEnd = std::min(storage->selectionEnd(), text_.size());
        }
        text.select =
            weakly(node.weak_from_this(),
                   [size = text_.size()](const Node& shown, std::size_t start, std::size_t end) {
                       if (!shown.isAttached()) return;
                       auto& node = const_cast<Node&>(shown);
                       auto& storage = node.ensureStorage<TextStorage>();
                       storage.anchor = std::min(start, size);
                       storage.caret = std::min(end, size);
                       node.setNeedsDisplay();
                   });
        return text;
    }
    // Plain texts let presses through to the views around them.
    static bool isSelectable(const Node& node) {
        return node.environment().textSelectionEnabled && node.environment().isEnabled;
    }
    void drawSelection(const Node& node, const TextStorage& storage, DrawContext& context) const {
        const auto& layout = *storage.layout;
        // Ranges are measured on the first line; a selection past it covers the whole text.
        const bool beyondFirstLine = layout.lineCount > 1 && storage.selectionEnd() >= text_.size();
        const double start = beyondFirstLine ? 0 : layout.offsetForIndex(storage.selectionStart());
        const double end =
            beyondFirstLine ? layout.size.width : layout.offsetForIndex(storage.selectionEnd());
        setSourceColor(context.cr, node.environment().tint.opacity(kSelectionOpacity));
        cairo_rectangle(context.cr, start, 0, end - start, layout.size.height);
        cairo_fill(context.cr);
    }
    std::optional<Color> presentedColor(const Node& node, ColorRole role,
                                        double now) const override {
        return foregroundAt(node, role, now);
    }

    std::vector<AccessibilityNode> accessibility(const Node& node, double now) const override {
        AccessibilityNode element;
        element.label = text_;
        element.frame = node.frameInHost(now);
        if (isSelectable(node)) element.text = accessibleText(node);
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
