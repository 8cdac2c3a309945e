// The alignment guide modifiers of View.
#include <type_traits>

#include "ui/Node.hpp"
#include "ui/View.hpp"
#include "ui/ViewDimensions.hpp"

namespace talvori::ui {

namespace {

template <class Guide>
class AlignmentGuideElement final : public ModifierElement {
  public:
    AlignmentGuideElement(std::shared_ptr<const Element> content, Guide guide,
                          std::function<double(const ViewDimensions&)> value)
        : ModifierElement(std::move(content)), guide_(guide), value_(std::move(value)) {}
    // The guide is a function: it may give another value each time.
    ElementChange changeFrom(const Element&) const override { return ElementChange::layoutOnly(); }
    using ModifierElement::explicitGuide;

    std::optional<double> explicitGuide(Node& node, Size size, Guide guide,
                                        LayoutContext& context) const override {
        if (guide != guide_) return guideOfOnlyChild(node, size, guide, context);
        return value_(dimensions(node, size, context));
    }
    bool mayHaveExplicitGuide(const Node&) const override { return true; }
    std::optional<double> firstBaseline(Node& node, Size size,
                                        LayoutContext& context) const override {
        if constexpr (std::is_same_v<Guide, VerticalAlignment>) {
            if (guide_ == VerticalAlignment::firstTextBaseline)
                return value_(dimensions(node, size, context));
        }
        return Element::firstBaseline(node, size, context);
    }
    std::string debugName() const override { return "alignmentGuide"; }

  private:
    ViewDimensions dimensions(Node& node, Size size, LayoutContext& context) const {
        return {size.width, size.height, Element::firstBaseline(node, size, context)};
    }
    Guide guide_;
    std::function<double(const ViewDimensions&)> value_;
};

}  // namespace

View View::alignmentGuide(HorizontalAlignment guide,
                          std::function<double(const ViewDimensions&)> value) const {
    return View(std::make_shared<AlignmentGuideElement<HorizontalAlignment>>(element_, guide,
                                                                             std::move(value)));
}

View View::alignmentGuide(VerticalAlignment guide,
                          std::function<double(const ViewDimensions&)> value) const {
    return View(std::make_shared<AlignmentGuideElement<VerticalAlignment>>(element_, guide,
                                                                           std::move(value)));
}

}  // namespace talvori::ui
