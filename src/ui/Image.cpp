#include "ui/Image.hpp"

#include "ui/AccessibilityNode.hpp"
#include "ui/IconCatalog.hpp"
#include "ui/Node.hpp"
#include "ui/Paint.hpp"

namespace talvori::ui {

struct Image::Source {
    std::string name;
    std::shared_ptr<cairo_surface_t> surface;
    Size size;
    bool isTemplate = true;
};

namespace {

constexpr double kAssetSide = 24;

class ImageElement final : public Element {
  public:
    ImageElement(std::shared_ptr<const Image::Source> source, bool resizable)
        : source_(std::move(source)), resizable_(resizable) {}
    // Surfaces are not drawn into once shown: the same surface is the same picture.
    ElementChange changeFrom(const Element& older) const override {
        const auto& other = static_cast<const ImageElement&>(older);
        const Image::Source& a = *source_;
        const Image::Source& b = *other.source_;
        const bool sameSource = a.name == b.name && a.surface == b.surface && a.size == b.size &&
                                a.isTemplate == b.isTemplate;
        return {!sameSource || other.resizable_ != resizable_, !sameSource};
    }

    AnimatedValue::Values animatableData(const Node& node) const override {
        return foregroundData(node);
    }

    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext&) const override {
        const Size natural = naturalSize(node);
        if (!resizable_) return natural;
        const Size offered = proposal.replacingUnspecified(natural);
        if (natural.width <= 0 || natural.height <= 0) return offered;
        const double scale =
            std::min(offered.width / natural.width, offered.height / natural.height);
        return {natural.width * scale, natural.height * scale};
    }

    void draw(const Node& node, DrawContext& context) const override {
        const Size size = node.presentedFrame(context.now).size;
        cairo_t* cr = context.cr;
        const Color color = node.presentedColor(0, context.now).opacity(context.opacity);
        if (!source_->surface) {
            setSourceColor(cr, color);
            context.icons.draw(cr, source_->name, Rect(0, 0, size.width, size.height));
            return;
        }
        cairo_save(cr);
        cairo_scale(cr, size.width / surfaceWidth(), size.height / surfaceHeight());
        if (source_->isTemplate) {
            setSourceColor(cr, color);
            cairo_mask_surface(cr, source_->surface.get(), 0, 0);
        } else {
            cairo_set_source_surface(cr, source_->surface.get(), 0, 0);
            cairo_paint_with_alpha(cr, context.opacity);
        }
        cairo_restore(cr);
    }

    OpacityHandling opacityHandling(const Node&) const override { return OpacityHandling::applies; }
    Node* hitTest(Node& node, Point point, cairo_t*) const override {
        return hitInBounds(node, point);
    }
    std::optional<Color> presentedColor(const Node& node, ColorRole role,
                                        double now) const override {
        return foregroundAt(node, role, now);
    }
    std::vector<AccessibilityNode> accessibility(const Node&, double) const override { return {}; }
    std::string debugName() const override { return "Image " + source_->name; }

  private:
    double surfaceWidth() const {
        return std::max(1, cairo_image_surface_get_width(source_->surface.get()));
    }
    double surfaceHeight() const {
        return std::max(1, cairo_image_surface_get_height(source_->surface.get()));
    }

    Size naturalSize(const Node& node) const {
        if (source_->surface) return source_->size;
        if (IconCatalog::isSymbolName(source_->name)) {
            const double side = node.environment().font.size;
            return {side, side};
        }
        return {kAssetSide, kAssetSide};
    }

    std::shared_ptr<const Image::Source> source_;
    bool resizable_;
};

}  // namespace

Image::Image(std::shared_ptr<const Source> source, bool resizable)
    : View(std::make_shared<ImageElement>(source, resizable)), source_(std::move(source)) {}

Image::Image(std::string name)
    : Image(std::make_shared<const Source>(Source{std::move(name), nullptr, {}, true}), false) {}

Image::Image(std::shared_ptr<cairo_surface_t> surface, Size size, bool isTemplate)
    : Image(std::make_shared<const Source>(Source{{}, std::move(surface), size, isTemplate}),
            false) {}

Image Image::resizable() const {
    return Image(source_, true);
}

std::shared_ptr<cairo_surface_t> shareSurface(cairo_surface_t* surface) {
    return std::shared_ptr<cairo_surface_t>(surface, cairo_surface_destroy);
}

}  // namespace talvori::ui
