#include "platform/sim/ScreenPicture.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/TitleBar.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "platform/sim/SimPanel.hpp"
#include "platform/sim/SimStatusBar.hpp"
#include "platform/sim/SimStatusItem.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

namespace {

constexpr double kTitleBarHeight = TitleBar::kHeight;

// Draws in image coordinates: x from the left of the image, y down from its top.
class Painter {
  public:
    Painter(cairo_t* context, Rect bounds) : cr_(context), bounds_(bounds) {}

    // A global rectangle in image coordinates.
    Rect toImage(const Rect& rect) const {
        return {rect.minX() - bounds_.minX(), bounds_.maxY() - rect.maxY(), rect.width(),
                rect.height()};
    }

    void setColor(const Color& color) const {
        cairo_set_source_rgba(cr_, color.red, color.green, color.blue, color.alpha);
    }

    void roundedRect(const Rect& rect, double radius) const {
        radius = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2);
        if (radius <= 0) {
            cairo_rectangle(cr_, rect.minX(), rect.minY(), rect.width(), rect.height());
            return;
        }
        const double degrees = M_PI / 180.0;
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, rect.maxX() - radius, rect.minY() + radius, radius, -90 * degrees, 0);
        cairo_arc(cr_, rect.maxX() - radius, rect.maxY() - radius, radius, 0, 90 * degrees);
        cairo_arc(cr_, rect.minX() + radius, rect.maxY() - radius, radius, 90 * degrees,
                  180 * degrees);
        cairo_arc(cr_, rect.minX() + radius, rect.minY() + radius, radius, 180 * degrees,
                  270 * degrees);
        cairo_close_path(cr_);
    }

    void fill(const Rect& rect, const Color& color, double radius = 0) const {
        roundedRect(rect, radius);
        setColor(color);
        cairo_fill(cr_);
    }

    void text(const std::string& text, double x, double y, double size, const Color& color) const {
        cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                               CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr_, size);
        setColor(color);
        cairo_move_to(cr_, x, y);
        cairo_show_text(cr_, text.c_str());
    }

    cairo_t* context() const { return cr_; }

  private:
    cairo_t* cr_;
    Rect bounds_;
};

// Three box passes approximate a Gaussian blur of the premultiplied pixels.
void boxBlur(cairo_surface_t* surface, int radius) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> line(static_cast<std::size_t>(std::max(width, height)) * 4);
    auto pass = [&](int count, int length, auto pixel) {
        for (int index = 0; index < count; ++index) {
            for (int channel = 0; channel < 4; ++channel) {
                int sum = 0;
                for (int k = -radius; k <= radius; ++k) {
                    sum += *pixel(index, std::clamp(k, 0, length - 1), channel);
                }
                for (int position = 0; position < length; ++position) {
                    line[static_cast<std::size_t>(position) * 4 + channel] =
                        static_cast<unsigned char>(sum / (2 * radius + 1));
                    sum += *pixel(index, std::min(position + radius + 1, length - 1), channel);
                    sum -= *pixel(index, std::max(position - radius, 0), channel);
                }
            }
            for (int position = 0; position < length; ++position) {
                for (int channel = 0; channel < 4; ++channel) {
                    *pixel(index, position, channel) =
                        line[static_cast<std::size_t>(position) * 4 + channel];
                }
            }
        }
    };
    auto horizontal = [&](int row, int column, int channel) {
        return data + row * stride + column * 4 + channel;
    };
    auto vertical = [&](int column, int row, int channel) {
        return data + row * stride + column * 4 + channel;
    };
    for (int round = 0; round < 3; ++round) {
        pass(height, width, horizontal);
        pass(width, height, vertical);
    }
    cairo_surface_mark_dirty(surface);
}

void drawDesktop(const Painter& painter, const SimWorld& world) {
    for (const Screen& screen : world.screens()) {
        const Rect area = painter.toImage(screen.frame);
        cairo_pattern_t* gradient =
            cairo_pattern_create_linear(area.minX(), area.minY(), area.minX(), area.maxY());
        cairo_pattern_add_color_stop_rgb(gradient, 0, 0.23, 0.42, 0.55);
        cairo_pattern_add_color_stop_rgb(gradient, 1, 0.12, 0.20, 0.33);
        cairo_rectangle(painter.context(), area.minX(), area.minY(), area.width(), area.height());
        cairo_set_source(painter.context(), gradient);
        cairo_fill(painter.context());
        cairo_pattern_destroy(gradient);
    }
}

void drawOtherWindow(const Painter& painter, const SimWindow& window) {
    cairo_t* cr = painter.context();
    const Rect area = painter.toImage(window.frame);
    cairo_save(cr);
    cairo_push_group(cr);
    if (window.level == WindowLevel::mainMenu) {
        painter.fill(area, {0.94, 0.94, 0.95, 1});
    } else {
        painter.fill(area, {0.96, 0.96, 0.96, 1}, 6);
        const Rect bar(area.minX(), area.minY(), area.width(),
                       std::min(kTitleBarHeight, area.height()));
        cairo_save(cr);
        painter.roundedRect(area, 6);
        cairo_clip(cr);
        painter.fill(bar, {0.82, 0.82, 0.84, 1});
        painter.text(window.title, bar.minX() + 10, bar.minY() + 15, 12, {0.15, 0.15, 0.15, 1});
        cairo_restore(cr);
        painter.roundedRect(area.width() > 1 ? Rect(area.minX() + 0.5, area.minY() + 0.5,
                                                    area.width() - 1, area.height() - 1)
                                             : area,
                            6);
        painter.setColor({0.35, 0.35, 0.38, 1});
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, std::clamp(window.alpha, 0.0, 1.0));
    cairo_restore(cr);
}

void drawStatusItem(const Painter& painter, const SimStatusItem& item) {
    const auto& image = item.image();
    if (!image || !image->draw) return;
    cairo_t* cr = painter.context();
    const Rect area = painter.toImage(item.frameOnScreen());
    const Size size = image->size;
    cairo_save(cr);
    cairo_translate(cr, std::round(area.midX() - size.width / 2),
                    std::round(area.midY() - size.height / 2));
    cairo_push_group(cr);
    image->draw(cr, size);
    cairo_pattern_t* drawn = cairo_pop_group(cr);
    if (image->isTemplate) {
        // A template is a mask, tinted to suit the light menu bar.
        cairo_set_source_rgba(cr, 0, 0, 0, 0.85);
        cairo_mask(cr, drawn);
    } else {
        cairo_set_source(cr, drawn);
        cairo_paint(cr);
    }
    cairo_pattern_destroy(drawn);
    cairo_restore(cr);
}

void drawBlurredBackdrop(const Painter& painter, cairo_surface_t* target, const Rect& area,
                         int radius, double cornerRadius) {
    const int x = static_cast<int>(std::floor(area.minX()));
    const int y = static_cast<int>(std::floor(area.minY()));
    const int width = static_cast<int>(std::ceil(area.width()));
    const int height = static_cast<int>(std::ceil(area.height()));
    if (width <= 0 || height <= 0) return;
    cairo_surface_t* backdrop = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* copy = cairo_create(backdrop);
    cairo_set_source_surface(copy, target, -x, -y);
    cairo_paint(copy);
    cairo_destroy(copy);
    boxBlur(backdrop, std::max(1, radius / 2));
    cairo_t* cr = painter.context();
    cairo_save(cr);
    painter.roundedRect(area, cornerRadius);
    cairo_clip(cr);
    cairo_set_source_surface(cr, backdrop, x, y);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(backdrop);
}

void drawPanel(const Painter& painter, cairo_surface_t* target, const SimPanel& panel) {
    cairo_t* cr = painter.context();
    const Rect area = painter.toImage(panel.frame());
    const ContentLayer& layer = panel.contentLayer();
    cairo_save(cr);
    cairo_push_group(cr);
    if (panel.backgroundBlurRadius() > 0) {
        drawBlurredBackdrop(painter, target, area, panel.backgroundBlurRadius(),
                            layer.cornerRadius);
    }
    if (panel.backgroundColor().alpha > 0) painter.fill(area, panel.backgroundColor());
    if (const auto& content = panel.hostedContent()) {
        cairo_save(cr);
        cairo_rectangle(cr, area.minX(), area.minY(), area.width(), area.height());
        cairo_clip(cr);
        cairo_translate(cr, area.minX(), area.minY());
        content->draw(cr, panel.frame().size);
        cairo_restore(cr);
    } else {
        const Color color = panel.presentationBackgroundColor().value_or(layer.backgroundColor);
        painter.fill(area, color, layer.cornerRadius);
    }
    if ((panel.styleMask() & StyleMask::titled) != 0 &&
        (panel.styleMask() & StyleMask::fullSizeContentView) == 0) {
        const Rect bar(area.minX(), area.minY(), area.width(),
                       std::min(kTitleBarHeight, area.height()));
        const bool dark = panel.appearance() == Appearance::dark;
        painter.fill(bar, dark ? Color{0.17, 0.17, 0.19, 1} : Color{0.82, 0.82, 0.84, 1});
        painter.text(panel.title(), bar.minX() + 10, bar.minY() + 15, 12,
                     dark ? Color{0.86, 0.86, 0.88, 1} : Color{0.15, 0.15, 0.15, 1});
    }
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, std::clamp(panel.alphaValue(), 0.0, 1.0));
    cairo_restore(cr);
}

Rect screenBounds(const SimWorld& world) {
    const auto& screens = world.screens();
    if (screens.empty()) return {0, 0, 1, 1};
    double left = screens.front().frame.minX(), right = screens.front().frame.maxX();
    double bottom = screens.front().frame.minY(), top = screens.front().frame.maxY();
    for (const Screen& screen : screens) {
        left = std::min(left, screen.frame.minX());
        right = std::max(right, screen.frame.maxX());
        bottom = std::min(bottom, screen.frame.minY());
        top = std::max(top, screen.frame.maxY());
    }
    return {std::floor(left), std::floor(bottom), std::ceil(right - left), std::ceil(top - bottom)};
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

ScreenPicture ScreenPicture::render(const SimWorld& world, const SimStatusBar* statusBar) {
    const Rect bounds = screenBounds(world);
    Surface surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(bounds.width()),
                                   static_cast<int>(bounds.height())),
        cairo_surface_destroy);
    cairo_t* cr = cairo_create(surface.get());
    const Painter painter(cr, bounds);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    drawDesktop(painter, world);
    const auto& stack = world.stack();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        const SimWindow& window = *world.window(*it);
        if (window.isDesktopElement) continue;
        if (auto panel = world.panelOf(window)) {
            drawPanel(painter, surface.get(), *panel);
        } else if (window.isStatusItem) {
            if (!statusBar) continue;
            for (const auto& item : statusBar->items()) {
                if (item->windowNumber() == window.number) drawStatusItem(painter, *item);
            }
        } else {
            drawOtherWindow(painter, window);
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    return ScreenPicture(std::move(surface), bounds);
}

int ScreenPicture::width() const {
    return cairo_image_surface_get_width(surface_.get());
}

int ScreenPicture::height() const {
    return cairo_image_surface_get_height(surface_.get());
}

Color ScreenPicture::colorAt(const Point& point) const {
    const int x = static_cast<int>(std::floor(point.x - bounds_.minX()));
    const int y = static_cast<int>(std::floor(bounds_.maxY() - point.y));
    if (x < 0 || y < 0 || x >= width() || y >= height()) return Color::clear();
    const unsigned char* data = cairo_image_surface_get_data(surface_.get());
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, data + y * cairo_image_surface_get_stride(surface_.get()) + x * 4, 4);
    const double alpha = ((pixel >> 24) & 0xFF) / 255.0;
    if (alpha == 0) return Color::clear();
    // Premultiplied: undo it.
    auto channel = [&](int shift) { return ((pixel >> shift) & 0xFF) / 255.0 / alpha; };
    return {channel(16), channel(8), channel(0), alpha};
}

std::vector<std::uint8_t> ScreenPicture::pngData() const {
    std::vector<std::uint8_t> bytes;
    cairo_surface_write_to_png_stream(surface_.get(), appendBytes, &bytes);
    return bytes;
}

bool ScreenPicture::writePNG(const std::string& path) const {
    return cairo_surface_write_to_png(surface_.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace talvori::sim
