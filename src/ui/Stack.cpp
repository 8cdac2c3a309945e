#include "ui/Stack.hpp"

#include <algorithm>
#include <numeric>

#include "ui/Node.hpp"

namespace talvori::ui {

std::vector<ChildEntry> childEntries(const ViewList& views) {
    std::vector<ChildEntry> entries;
    entries.reserve(views.size());
    for (std::size_t i = 0; i < views.size(); ++i)
        entries.push_back({ChildKey{static_cast<std::int64_t>(i), {}}, views[i].element()});
    return entries;
}

namespace {

class SpacerElement final : public Element {
  public:
    explicit SpacerElement(double minLength) : minLength_(minLength) {}
    double minLength() const { return minLength_; }
    ElementChange changeFrom(const Element& older) const override {
        return {static_cast<const SpacerElement&>(older).minLength_ != minLength_, false};
    }
    // Stacks read the minimum length itself.
    bool isLaidOutBySizeAlone() const override { return false; }
    bool drawsNothing() const override { return true; }

    Size sizeThatFits(Node&, ProposedSize proposal, LayoutContext& context) const override {
        context.stackAxisRead = true;
        if (!context.stackAxis) return proposal.replacingUnspecified({minLength_, minLength_});
        const auto along = context.stackAxis == Axis::horizontal ? proposal.width : proposal.height;
        const double length = std::max(minLength_, along.value_or(minLength_));
        return context.stackAxis == Axis::horizontal ? Size{length, 0} : Size{0, length};
    }
    Node* hitTest(Node&, Point, cairo_t*) const override { return nullptr; }
    std::string debugName() const override { return "Spacer"; }

  private:
    double minLength_;
};

class StackElement final : public Element {
  public:
    StackElement(Axis axis, double alignment, bool baseline, double spacing,
                 const ViewList& children, HorizontalAlignment horizontalGuide,
                 VerticalAlignment verticalGuide)
        : axis_(axis),
          alignment_(alignment),
          baseline_(baseline),
          spacing_(spacing),
          children_(childEntries(children)),
          horizontalGuide_(horizontalGuide),
          verticalGuide_(verticalGuide) {}

    std::span<const ChildEntry> children() const override { return children_; }
    ElementChange changeFrom(const Element& older) const override {
        const auto& other = static_cast<const StackElement&>(older);
        return {other.axis_ != axis_ || other.alignment_ != alignment_ ||
                    other.baseline_ != baseline_ || other.spacing_ != spacing_ ||
                    other.horizontalGuide_ != horizontalGuide_ ||
                    other.verticalGuide_ != verticalGuide_,
                false};
    }

    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        const auto& kids = node.layoutChildren();
        const auto sizes = distribute(kids, proposal, context);
        double mainLength = spacing_ * static_cast<double>(kids.empty() ? 0 : kids.size() - 1);
        double crossLength = 0;
        for (const auto& size : sizes) {
            mainLength += main(size);
            crossLength = std::max(crossLength, cross(size));
        }
        if (isBaselineAligned()) {
            crossLength = baselineSpan(kids, sizes, context).second;
        } else if (const auto guided = guidedPlacement(kids, sizes, context)) {
            crossLength = guided->extent;
        }
        return make(mainLength, crossLength);
    }

    void place(Node& node, Size size, LayoutContext& context) const override {
        const auto& kids = node.layoutChildren();
        const auto sizes = distribute(kids, ProposedSize::of(size), context);
        const double baseline = isBaselineAligned() ? baselineSpan(kids, sizes, context).first : 0;
        const auto guided =
            isBaselineAligned() ? std::nullopt : guidedPlacement(kids, sizes, context);
        double cursor = 0;
        for (std::size_t i = 0; i < kids.size(); ++i) {
            double crossOffset = (cross(size) - cross(sizes[i])) * alignment_;
            if (isBaselineAligned()) {
                crossOffset = baseline - childBaseline(*kids[i], sizes[i], context);
            } else if (guided) {
                crossOffset = (cross(size) - guided->extent) * alignment_ + guided->offsets[i];
            }
            const Point origin =
                axis_ == Axis::horizontal ? Point{cursor, crossOffset} : Point{crossOffset, cursor};
            kids[i]->place(Rect(origin, sizes[i]), context);
            cursor += main(sizes[i]) + spacing_;
        }
    }

    std::optional<double> firstBaseline(Node& node, Size size,
                                        LayoutContext& context) const override {
        const auto& kids = node.layoutChildren();
        if (kids.empty()) return std::nullopt;
        const auto sizes = distribute(kids, ProposedSize::of(size), context);
        if (isBaselineAligned()) return baselineSpan(kids, sizes, context).first;
        const double crossOffset =
            axis_ == Axis::horizontal ? (size.height - sizes[0].height) * alignment_ : 0;
        return crossOffset + childBaseline(*kids[0], sizes[0], context);
    }

    std::string debugName() const override {
        return axis_ == Axis::horizontal ? "HStack" : "VStack";
    }

  private:
    double main(Size size) const { return axis_ == Axis::horizontal ? size.width : size.height; }
    double cross(Size size) const { return axis_ == Axis::horizontal ? size.height : size.width; }
    Size make(double mainLength, double crossLength) const {
        return axis_ == Axis::horizontal ? Size{mainLength, crossLength}
                                         : Size{crossLength, mainLength};
    }
    ProposedSize propose(std::optional<double> mainLength,
                         std::optional<double> crossLength) const {
        return axis_ == Axis::horizontal ? ProposedSize{mainLength, crossLength}
                                         : ProposedSize{crossLength, mainLength};
    }
    bool isBaselineAligned() const { return baseline_ && axis_ == Axis::horizontal; }

    static double childBaseline(Node& child, Size size, LayoutContext& context) {
        return child.firstBaseline(size, context).value_or(size.height);
    }

    // The common baseline, and the height from the highest top to the lowest bottom around it.
    std::pair<double, double> baselineSpan(const std::vector<Node*>& kids,
                                           const std::vector<Size>& sizes,
                                           LayoutContext& context) const {
        double above = 0, below = 0;
        for (std::size_t i = 0; i < kids.size(); ++i) {
            const double baseline = childBaseline(*kids[i], sizes[i], context);
            above = std::max(above, baseline);
            below = std::max(below, sizes[i].height - baseline);
        }
        return {above, above + below};
    }

    struct GuidedPlacement {
        std::vector<double> offsets;
        double extent = 0;
    };

    // Where children that set an alignment guide of the stack's alignment put the others: all are
    // lined up by their guides, within a span that may exceed the tallest (or widest) child. None
    // when no child sets one (the plain alignment inside the stack's bounds then applies).
    std::optional<GuidedPlacement> guidedPlacement(const std::vector<Node*>& kids,
                                                   const std::vector<Size>& sizes,
                                                   LayoutContext& context) const {
        std::vector<std::optional<double>> explicitGuides(kids.size());
        bool any = false;
        for (std::size_t i = 0; i < kids.size(); ++i) {
            Node& kid = *kids[i];
            explicitGuides[i] = axis_ == Axis::horizontal
                                    ? kid.explicitGuide(sizes[i], verticalGuide_, context)
                                    : kid.explicitGuide(sizes[i], horizontalGuide_, context);
            any = any || explicitGuides[i].has_value();
        }
        if (!any) return std::nullopt;
        std::vector<double> guides(kids.size());
        double above = 0, below = 0;
        for (std::size_t i = 0; i < kids.size(); ++i) {
            guides[i] = explicitGuides[i].value_or(cross(sizes[i]) * alignment_);
            above = std::max(above, guides[i]);
            below = std::max(below, cross(sizes[i]) - guides[i]);
        }
        GuidedPlacement placement{std::vector<double>(kids.size()), above + below};
        for (std::size_t i = 0; i < kids.size(); ++i) placement.offsets[i] = above - guides[i];
        return placement;
    }

    // Puts the least flexible children first. Measuring a child at no length and at any length can
    // cost more than the rest of its layout (a paragraph broken into a line per letter), so a
    // lone child is not measured for an order that cannot change.
    void orderByFlexibility(const std::vector<Node*>& kids, std::vector<std::size_t>& flexible,
                            std::optional<double> crossProposal, LayoutContext& context) const {
        if (flexible.size() < 2) return;
        std::vector<double> flexibility(kids.size(), 0);
        for (const auto i : flexible) {
            const double least = main(kids[i]->sizeThatFits(propose(0.0, crossProposal), context));
            const double most =
                main(kids[i]->sizeThatFits(propose(infinity, crossProposal), context));
            flexibility[i] = most - least;
        }
        std::stable_sort(flexible.begin(), flexible.end(), [&](std::size_t a, std::size_t b) {
            return flexibility[a] < flexibility[b];
        });
    }

    // The sizes of the children for a proposal: the least flexible child is offered its share
    // first; spacers share what the others leave, each at least its minimum.
    std::vector<Size> distribute(const std::vector<Node*>& kids, ProposedSize proposal,
                                 LayoutContext& context) const {
        const auto savedAxis = context.stackAxis;
        context.stackAxis = axis_;
        std::vector<Size> sizes(kids.size());
        const auto mainProposal = axis_ == Axis::horizontal ? proposal.width : proposal.height;
        const auto crossProposal = axis_ == Axis::horizontal ? proposal.height : proposal.width;
        if (!mainProposal) {
            for (std::size_t i = 0; i < kids.size(); ++i)
                sizes[i] = kids[i]->sizeThatFits(propose(std::nullopt, crossProposal), context);
            context.stackAxis = savedAxis;
            return sizes;
        }
        double remaining =
            *mainProposal - spacing_ * static_cast<double>(kids.empty() ? 0 : kids.size() - 1);
        std::vector<std::size_t> flexible, spacers;
        for (std::size_t i = 0; i < kids.size(); ++i) {
            if (const auto* spacer = dynamic_cast<const SpacerElement*>(&kids[i]->element())) {
                spacers.push_back(i);
                remaining -= spacer->minLength();
            } else {
                flexible.push_back(i);
            }
        }
        orderByFlexibility(kids, flexible, crossProposal, context);
        std::size_t count = flexible.size();
        for (const auto i : flexible) {
            const double share = std::max(0.0, remaining / static_cast<double>(count--));
            sizes[i] = kids[i]->sizeThatFits(propose(share, crossProposal), context);
            remaining -= main(sizes[i]);
        }
        count = spacers.size();
        for (const auto i : spacers) {
            const double minLength =
                static_cast<const SpacerElement&>(kids[i]->element()).minLength();
            remaining += minLength;
            const double share = std::max(minLength, remaining / static_cast<double>(count--));
            sizes[i] = kids[i]->sizeThatFits(propose(share, crossProposal), context);
            remaining -= main(sizes[i]);
        }
        context.stackAxis = savedAxis;
        return sizes;
    }

    Axis axis_;
    double alignment_;
    bool baseline_;
    double spacing_;
    std::vector<ChildEntry> children_;
    HorizontalAlignment horizontalGuide_;
    VerticalAlignment verticalGuide_;
};

double fraction(HorizontalAlignment alignment) {
    return alignment == HorizontalAlignment::leading  ? 0
           : alignment == HorizontalAlignment::center ? 0.5
                                                      : 1;
}

double fraction(VerticalAlignment alignment) {
    return alignment == VerticalAlignment::top      ? 0
           : alignment == VerticalAlignment::center ? 0.5
                                                    : 1;
}

class ZStackElement final : public Element {
  public:
    ZStackElement(Alignment alignment, const ViewList& children)
        : alignment_(alignment), children_(childEntries(children)) {}
    std::span<const ChildEntry> children() const override { return children_; }
    ElementChange changeFrom(const Element& older) const override {
        return {static_cast<const ZStackElement&>(older).alignment_ != alignment_, false};
    }

    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        Size size;
        for (auto* kid : node.layoutChildren()) {
            const Size kidSize = kid->sizeThatFits(proposal, context);
            size = {std::max(size.width, kidSize.width), std::max(size.height, kidSize.height)};
        }
        return size;
    }

    void place(Node& node, Size size, LayoutContext& context) const override {
        for (auto* kid : node.layoutChildren()) {
            const Size kidSize = kid->sizeThatFits(ProposedSize::of(size), context);
            kid->place(Rect({alignedOffset(alignment_.horizontal, size.width, kidSize.width),
                             alignedOffset(alignment_.vertical, size.height, kidSize.height)},
                            kidSize),
                       context);
        }
    }
    std::string debugName() const override { return "ZStack"; }

  private:
    Alignment alignment_;
    std::vector<ChildEntry> children_;
};

}  // namespace

VStack::VStack(HorizontalAlignment alignment, double spacing, ViewList children)
    : View(std::make_shared<StackElement>(Axis::vertical, fraction(alignment), false, spacing,
                                          children, alignment, VerticalAlignment::center)) {}

HStack::HStack(VerticalAlignment alignment, double spacing, ViewList children)
    : View(std::make_shared<StackElement>(
          Axis::horizontal, fraction(alignment), alignment == VerticalAlignment::firstTextBaseline,
          spacing, children, HorizontalAlignment::center, alignment)) {}

ZStack::ZStack(Alignment alignment, ViewList children)
    : View(std::make_shared<ZStackElement>(alignment, children)) {}

Spacer::Spacer(double minLength) : View(std::make_shared<SpacerElement>(minLength)) {}

}  // namespace talvori::ui
