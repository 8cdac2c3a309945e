#include "ui/ScrollView.hpp"

#include <algorithm>

#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/Paint.hpp"
#include "ui/Shape.hpp"

namespace talvori::ui {

namespace {

constexpr double kIndicatorWidth = 3;
constexpr double kIndicatorInset = 2;

struct ScrollStorage final : NodeStorage {
    double offset = 0;
    double contentHeight = 0;
    double viewHeight = 0;
};

class ScrollElement final : public ModifierElement {
  public:
    ScrollElement(std::shared_ptr<const Element> content, bool showsIndicators)
        : ModifierElement(std::move(content)), showsIndicators_(showsIndicators) {}
    ElementChange changeFrom(const Element& older) const override {
        return {false,
                static_cast<const ScrollElement&>(older).showsIndicators_ != showsIndicators_};
    }
    bool clipsContent() const override { return true; }

    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        const Size content = contentSize(node, proposal.width, context);
        return {
            proposal.width && std::isfinite(*proposal.width) ? *proposal.width : content.width,
            proposal.height && std::isfinite(*proposal.height) ? *proposal.height : content.height};
    }

    void place(Node& node, Size size, LayoutContext& context) const override {
        auto& scroll = storage(node);
        const Size content = contentSize(node, size.width, context);
        scroll.contentHeight = content.height;
        scroll.viewHeight = size.height;
        scroll.offset = std::clamp(scroll.offset, 0.0, std::max(0.0, content.height - size.height));
        for (auto* child : node.layoutChildren())
            child->place(Rect(0, -scroll.offset, size.width, content.height), context);
    }

    void draw(const Node& node, DrawContext& context) const override {
        const Size size = node.presentedFrame(context.now).size;
        cairo_t* cr = context.cr;
        cairo_save(cr);
        cairo_rectangle(cr, 0, 0, size.width, size.height);
        cairo_clip(cr);
        node.drawChildren(context);
        const auto* scroll = node.storage<ScrollStorage>();
        if (showsIndicators_ && scroll && scroll->contentHeight > size.height && size.height > 0) {
            const double length =
                std::max(kIndicatorWidth * 4, size.height * size.height / scroll->contentHeight);
            const double travel = size.height - length;
            const double y = travel * scroll->offset / (scroll->contentHeight - size.height);
            const Rect indicator(size.width - kIndicatorWidth - kIndicatorInset, y, kIndicatorWidth,
                                 length);
            Capsule().path(indicator).apply(cr);
            setSourceColor(cr, Color::gray(0.5, 0.6));
            cairo_fill(cr);
        }
        cairo_restore(cr);
    }

    Node* hitTest(Node& node, Point point, cairo_t* scratch) const override {
        if (!Rect(0, 0, node.frame().width(), node.frame().height()).contains(point))
            return nullptr;
        return node.hitTestChildren(point, scratch);
    }

    bool isScrollable() const override { return true; }
    bool scrollBy(Node& node, double dy) const override {
        auto& scroll = storage(node);
        const double limit = std::max(0.0, scroll.contentHeight - scroll.viewHeight);
        const double offset = std::clamp(scroll.offset + dy, 0.0, limit);
        if (offset == scroll.offset) return false;
        scroll.offset = offset;
        return true;
    }
    std::string debugName() const override { return "ScrollView"; }

  private:
    static ScrollStorage& storage(Node& node) { return node.ensureStorage<ScrollStorage>(); }
    static Size contentSize(Node& node, std::optional<double> width, LayoutContext& context) {
        const auto& children = node.layoutChildren();
        if (children.empty()) return {};
        if (width && !std::isfinite(*width)) width.reset();
        return children.front()->sizeThatFits({width, std::nullopt}, context);
    }

    bool showsIndicators_;
};

}  // namespace

ScrollView::ScrollView(View content, bool showsIndicators)
    : View(std::make_shared<ScrollElement>(content.element(), showsIndicators)) {}

}  // namespace talvori::ui
