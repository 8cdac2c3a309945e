#include "platform/x11/X11PanelPainter.hpp"

#include <cairo-xcb.h>
#include <xcb/shape.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Panel.hpp"

namespace talvori::x11 {

namespace {

// An animation's next frame, at the usual display rate.
constexpr double kFrameInterval = 1.0 / 60;

void roundedRectangle(cairo_t* context, Size size, double radius) {
    radius = std::clamp(radius, 0.0, std::min(size.width, size.height) / 2);
    if (radius <= 0) {
        cairo_rectangle(context, 0, 0, size.width, size.height);
        return;
    }
    const double right = size.width;
    const double bottom = size.height;
    cairo_new_sub_path(context);
    cairo_arc(context, right - radius, radius, radius, -M_PI / 2, 0);
    cairo_arc(context, right - radius, bottom - radius, radius, 0, M_PI / 2);
    cairo_arc(context, radius, bottom - radius, radius, M_PI / 2, M_PI);
    cairo_arc(context, radius, radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(context);
}

void setSource(cairo_t* context, const Color& color) {
    cairo_set_source_rgba(context, color.red, color.green, color.blue, color.alpha);
}

}  // namespace

X11PanelPainter::X11PanelPainter(X11Panel& panel,
                                 const std::shared_ptr<X11Application>& application,
                                 xcb_window_t window)
    : panel_(panel),
      application_(application),
      connection_(application->sharedConnection()),
      window_(window) {}

X11PanelPainter::~X11PanelPainter() {
    releaseSurface();
}

void X11PanelPainter::releaseSurface() {
    if (!surface_) return;
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
}

void X11PanelPainter::resizeSurface() {
    if (surface_)
        cairo_xcb_surface_set_size(surface_, panel_.placed().width, panel_.placed().height);
}

void X11PanelPainter::damageContent(const std::vector<Rect>& rects) {
    // Only what the content changed is drawn and sent, in whole pixels around each rectangle.
    for (const Rect& rect : rects) {
        const double left = std::floor(std::max(0.0, rect.minX() * panel_.scale()));
        const double top = std::floor(std::max(0.0, rect.minY() * panel_.scale()));
        const double right =
            std::ceil(std::min(rect.maxX(), panel_.frame().width()) * panel_.scale());
        const double bottom =
            std::ceil(std::min(rect.maxY(), panel_.frame().height()) * panel_.scale());
        if (!(right > left && bottom > top)) continue;  // also what is no number
        damage({static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                static_cast<std::uint32_t>(right - left),
                static_cast<std::uint32_t>(bottom - top)});
    }
}

void X11PanelPainter::damage(const RootRect& area) {
    if (panel_.isWindowDestroyed() || panel_.isClosed() || area.width == 0 || area.height == 0)
        return;
    if (!damagedWhole_) damage_.push_back(area);
    if (auto application = application_.lock()) {
        application->setNeedsPaint(std::static_pointer_cast<X11Panel>(panel_.shared_from_this()));
    }
}

void X11PanelPainter::setNeedsPaint() {
    damagedWhole_ = true;
    drawnAgainToShow_ = false;
    damage_.clear();
    if (panel_.isWindowDestroyed() || panel_.isClosed()) return;
    if (auto application = application_.lock()) {
        application->setNeedsPaint(std::static_pointer_cast<X11Panel>(panel_.shared_from_this()));
    }
}

void X11PanelPainter::showAgain() {
    if (panel_.isWindowDestroyed() || panel_.isClosed() || !panel_.isMapped()) return;
    if (!drawsIntoBackground()) {
        setNeedsPaint();
        drawnAgainToShow_ = true;
        return;
    }
    // The background is the picture: cleared to it, the window is damaged whole.
    if (background_) xcb_clear_area(connection_->raw(), 0, window_, 0, 0, 0, 0);
}

bool X11PanelPainter::needsWholePaint() const {
    const RootRect whole{0, 0, panel_.placed().width, panel_.placed().height};
    if (drawnAgainToShow_) return false;
    return damagedWhole_ || std::find(damage_.begin(), damage_.end(), whole) != damage_.end();
}

void X11PanelPainter::paint() {
    drawnAgainToShow_ = false;
    if (!panel_.isMapped() || panel_.isClosed()) return;
    if (drawsIntoBackground()) {
        damagedWhole_ = false;
        damage_.clear();
        drawBackground();
        return;
    }
    dropBackground();
    if (!surface_) {
        const xcb_visualid_t visual = connection_->argbVisual() ? connection_->argbVisual()
                                                                : connection_->screen().root_visual;
        xcb_visualtype_t* type = connection_->visualType(visual);
        if (!type) return;
        surface_ =
            connection_->createSurface(window_, type, static_cast<int>(panel_.placed().width),
                                       static_cast<int>(panel_.placed().height));
    }
    cairo_t* context = cairo_create(surface_);
    const bool whole = damagedWhole_ || damage_.empty();
    if (!whole) {
        // Only what was damaged is drawn and sent; the rest of the window keeps its pixels.
        for (const RootRect& area : damage_) {
            cairo_rectangle(context, area.x, area.y, area.width, area.height);
        }
        cairo_clip(context);
    }
    damagedWhole_ = false;
    damage_.clear();
    // The content draws in points; the views follow the scale and draw sharp at it.
    cairo_scale(context, panel_.scale(), panel_.scale());
    cairo_push_group_with_content(context, CAIRO_CONTENT_COLOR_ALPHA);
    paintContent(context, panel_.frame().size);
    cairo_pop_group_to_source(context);
    cairo_set_operator(context, CAIRO_OPERATOR_SOURCE);
    cairo_paint_with_alpha(context, panel_.fadesByOpacity() ? 1 : panel_.alphaValue());
    cairo_destroy(context);
    cairo_surface_flush(surface_);
    // What the content covers changes only with the content as a whole.
    if (whole) updateBoundingShape();
    // A layer colour animation shows through the presentation value: keep drawing until it ends.
    const auto shown = panel_.presentationBackgroundColor();
    if (!panel_.hostedContent() && shown && *shown != panel_.contentLayer().backgroundColor) {
        scheduleAnimationFrame();
    }
}

bool X11PanelPainter::drawsIntoBackground() const {
    if (panel_.hostedContent() || !panel_.fadesByOpacity()) return false;
    // A layer colour animation changes the pixels every frame.
    const auto shown = panel_.presentationBackgroundColor();
    return !shown || *shown == panel_.contentLayer().backgroundColor;
}

void X11PanelPainter::drawBackground() {
    const DrawnBackground wanted{panel_.placed().width, panel_.placed().height,
                                 panel_.backgroundColor(), panel_.isOpaque(),
                                 panel_.contentLayer()};
    if (background_ == wanted || panel_.placed().width == 0 || panel_.placed().height == 0) return;
    xcb_connection_t* raw = connection_->raw();
    if (const auto pixel = uniformPixel()) {
        xcb_change_window_attributes(raw, window_, XCB_CW_BACK_PIXEL, &*pixel);
    } else {
        const bool argb = connection_->argbVisual() != 0;
        xcb_visualtype_t* type = connection_->visualType(argb ? connection_->argbVisual()
                                                              : connection_->screen().root_visual);
        if (!type) return;
        const xcb_pixmap_t pixmap = xcb_generate_id(raw);
        xcb_create_pixmap(raw, argb ? 32 : connection_->screen().root_depth, pixmap, window_,
                          static_cast<std::uint16_t>(panel_.placed().width),
                          static_cast<std::uint16_t>(panel_.placed().height));
        cairo_surface_t* surface =
            connection_->createSurface(pixmap, type, static_cast<int>(panel_.placed().width),
                                       static_cast<int>(panel_.placed().height));
        cairo_t* context = cairo_create(surface);
        cairo_set_operator(context, CAIRO_OPERATOR_CLEAR);
        cairo_paint(context);
        cairo_set_operator(context, CAIRO_OPERATOR_OVER);
        cairo_scale(context, panel_.scale(), panel_.scale());
        paintContent(context, panel_.frame().size);
        cairo_destroy(context);
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
        xcb_change_window_attributes(raw, window_, XCB_CW_BACK_PIXMAP, &pixmap);
        // The window holds on to its background.
        xcb_free_pixmap(raw, pixmap);
    }
    xcb_clear_area(raw, 0, window_, 0, 0, 0, 0);
    background_ = wanted;
    updateBoundingShape();
}

std::optional<std::uint32_t> X11PanelPainter::uniformPixel() const {
    const Color layer = panel_.contentLayer().backgroundColor;
    if (connection_->argbVisual() == 0 ||
        (panel_.contentLayer().cornerRadius > 0 && layer.alpha > 0)) {
        return std::nullopt;
    }
    xcb_visualtype_t* type = connection_->visualType(connection_->argbVisual());
    if (!type) return std::nullopt;
    Color below = panel_.backgroundColor();
    if (panel_.isOpaque()) below.alpha = 1;
    // The layer over the background, premultiplied as the visual holds it.
    const double alpha = layer.alpha + below.alpha * (1 - layer.alpha);
    const auto channel = [&](double top, double bottom) {
        return top * layer.alpha + bottom * below.alpha * (1 - layer.alpha);
    };
    const auto place = [](double value, std::uint32_t mask) {
        if (mask == 0) return 0U;
        const int shift = std::countr_zero(mask);
        const std::uint32_t most = mask >> shift;
        const auto scaled =
            static_cast<std::uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * most));
        return (scaled << shift) & mask;
    };
    const std::uint32_t colours = type->red_mask | type->green_mask | type->blue_mask;
    return place(channel(layer.red, below.red), type->red_mask) |
           place(channel(layer.green, below.green), type->green_mask) |
           place(channel(layer.blue, below.blue), type->blue_mask) | place(alpha, ~colours);
}

void X11PanelPainter::dropBackground() {
    if (!background_) return;
    background_.reset();
    const std::uint32_t transparent = 0;
    xcb_change_window_attributes(connection_->raw(), window_, XCB_CW_BACK_PIXEL, &transparent);
    damagedWhole_ = true;
    damage_.clear();
}

void X11PanelPainter::paintContent(cairo_t* context, Size size) {
    Color background = panel_.backgroundColor();
    if (panel_.isOpaque()) background.alpha = 1;
    if (background.alpha > 0) {
        setSource(context, background);
        cairo_paint(context);
    }
    if (const auto& content = panel_.hostedContent()) {
        cairo_save(context);
        content->draw(context, size);
        cairo_restore(context);
        return;
    }
    const Color layer =
        panel_.presentationBackgroundColor().value_or(panel_.contentLayer().backgroundColor);
    if (layer.alpha <= 0) return;
    roundedRectangle(context, size, panel_.contentLayer().cornerRadius);
    setSource(context, layer);
    cairo_fill(context);
}

void X11PanelPainter::updateBoundingShape() {
    if (!connection_->hasShape()) return;
    const bool shaped =
        !connection_->hasCompositor() && !panel_.isOpaque() && panel_.isShapedToContent();
    if (!shaped) {
        if (!boundingShape_) return;
        boundingShape_.reset();
        xcb_shape_mask(connection_->raw(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window_, 0, 0,
                       XCB_PIXMAP_NONE);
        return;
    }
    auto rectangles = opaqueRectangles();
    const auto same = [](const xcb_rectangle_t& a, const xcb_rectangle_t& b) {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
    };
    if (boundingShape_ && std::equal(rectangles.begin(), rectangles.end(), boundingShape_->begin(),
                                     boundingShape_->end(), same)) {
        return;
    }
    xcb_shape_rectangles(connection_->raw(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                         XCB_CLIP_ORDERING_YX_BANDED, window_, 0, 0,
                         static_cast<std::uint32_t>(rectangles.size()), rectangles.data());
    boundingShape_ = std::move(rectangles);
}

// The content drawn once more into an alpha mask; each run of pixels at least three quarters
// opaque in a row becomes a rectangle, and rows with the same runs share one band. A shadow (70 %
// black at its darkest, densest just below a card it is cast down from) stays out.
std::vector<xcb_rectangle_t> X11PanelPainter::opaqueRectangles() {
    constexpr unsigned char kShownAlpha = 192;
    const int width = static_cast<int>(panel_.placed().width);
    const int height = static_cast<int>(panel_.placed().height);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* context = cairo_create(mask);
    cairo_scale(context, panel_.scale(), panel_.scale());
    paintContent(context, panel_.frame().size);
    cairo_destroy(context);
    cairo_surface_flush(mask);
    const unsigned char* data = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    std::vector<xcb_rectangle_t> rectangles;
    std::vector<std::pair<int, int>> runs;
    std::vector<std::pair<int, int>> bandRuns;
    std::size_t bandStart = 0;
    for (int y = 0; y < height; ++y) {
        runs.clear();
        for (int x = 0; x < width;) {
            while (x < width && data[y * stride + x] < kShownAlpha) ++x;
            const int start = x;
            while (x < width && data[y * stride + x] >= kShownAlpha) ++x;
            if (x > start) runs.emplace_back(start, x);
        }
        if (y > 0 && runs == bandRuns) {
            for (std::size_t index = bandStart; index < rectangles.size(); ++index) {
                ++rectangles[index].height;
            }
            continue;
        }
        bandStart = rectangles.size();
        for (const auto& [start, end] : runs) {
            rectangles.push_back({static_cast<std::int16_t>(start), static_cast<std::int16_t>(y),
                                  static_cast<std::uint16_t>(end - start), 1});
        }
        bandRuns = runs;
    }
    cairo_surface_destroy(mask);
    return rectangles;
}

void X11PanelPainter::scheduleAnimationFrame() {
    if (animationFramePending_) return;
    auto application = application_.lock();
    if (!application) return;
    animationFramePending_ = true;
    std::weak_ptr<Panel> weak = panel_.weak_from_this();
    application->loop()->runAfter(kFrameInterval, weakly(weak, [this](Panel&) {
                                      animationFramePending_ = false;
                                      setNeedsPaint();
                                  }));
}

}  // namespace talvori::x11
