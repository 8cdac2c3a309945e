#include "ui/Shadow.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace talvori::ui {

namespace {

// The largest shadow mask, in pixels a side: beyond it a shadow costs more than it shows.
constexpr double kLargestMask = 8192;

// One pass of a running-sum box blur along rows (step 1) or columns (step = stride).
void boxBlur(unsigned char* data, int length, int lines, int step, int lineStep, int radius) {
    std::vector<unsigned char> copy(static_cast<std::size_t>(length));
    const int window = 2 * radius + 1;
    for (int line = 0; line < lines; ++line) {
        unsigned char* start = data + line * lineStep;
        for (int i = 0; i < length; ++i) copy[static_cast<std::size_t>(i)] = start[i * step];
        int sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += (i >= 0 && i < length) ? copy[static_cast<std::size_t>(i)] : 0;
        for (int i = 0; i < length; ++i) {
            start[i * step] = static_cast<unsigned char>(sum / window);
            const int out = i - radius, in = i + radius + 1;
            if (out >= 0) sum -= copy[static_cast<std::size_t>(out)];
            if (in < length) sum += copy[static_cast<std::size_t>(in)];
        }
    }
}

// The pixels of the mask that `area` (device pixels of `cr`) needs, given that each pixel of the
// blurred mask depends on those within `reach` of it. `cr` maps the mask's pixels to the device.
bool neededPixels(cairo_t* cr, const Rect& area, int reach, int width, int height, int& x0, int& y0,
                  int& x1, int& y1) {
    double minX = infinity, minY = infinity, maxX = -infinity, maxY = -infinity;
    for (const Point corner : {area.origin, Point{area.maxX(), area.minY()},
                               Point{area.minX(), area.maxY()}, Point{area.maxX(), area.maxY()}}) {
        double x = corner.x, y = corner.y;
        cairo_device_to_user(cr, &x, &y);
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
    if (!std::isfinite(minX) || !std::isfinite(minY) || !std::isfinite(maxX) ||
        !std::isfinite(maxY))
        return true;
    auto clampTo = [](double value, int limit) {
        return static_cast<int>(std::clamp(value, 0.0, static_cast<double>(limit)));
    };
    x0 = clampTo(std::floor(minX) - reach, width);
    y0 = clampTo(std::floor(minY) - reach, height);
    x1 = clampTo(std::ceil(maxX) + reach, width);
    y1 = clampTo(std::ceil(maxY) + reach, height);
    return x0 < x1 && y0 < y1;
}

// The pixels [x0, x0 + width) x [y0, y0 + height) of the blurred mask: what `drawContent` draws
// in `box`, at `scale` pixels a point, with `margin` points around it for the blur to spread into.
std::shared_ptr<cairo_surface_t> blurredMask(
    const Rect& box, double scale, double margin, int blurRadius, int x0, int y0, int width,
    int height, const std::function<void(cairo_t*, const Rect& needed)>& drawContent) {
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* maskContext = cairo_create(mask);
    cairo_translate(maskContext, -x0, -y0);
    cairo_scale(maskContext, scale, scale);
    cairo_translate(maskContext, margin - box.minX(), margin - box.minY());
    drawContent(maskContext, Rect(0, 0, width, height));
    cairo_destroy(maskContext);

    cairo_surface_flush(mask);
    if (blurRadius > 0) {
        unsigned char* data = cairo_image_surface_get_data(mask);
        const int stride = cairo_image_surface_get_stride(mask);
        for (int i = 0; i < 3; ++i) {
            boxBlur(data, width, height, 1, stride, blurRadius);
            boxBlur(data, height, width, stride, 1, blurRadius);
        }
    }
    cairo_surface_mark_dirty(mask);
    return std::shared_ptr<cairo_surface_t>(mask, cairo_surface_destroy);
}

}  // namespace

void drawShadow(cairo_t* cr, const Rect& box, const Color& color, double radius, Point offset,
                const std::optional<Rect>& area,
                const std::function<void(cairo_t*, const Rect& needed)>& drawContent,
                KeptShadowMask* kept) {
    if (color.isClear() || box.width() <= 0 || box.height() <= 0) return;
    // Work at device resolution so the blur looks the same at any scale.
    double scaleX = 1, scaleY = 0;
    cairo_user_to_device_distance(cr, &scaleX, &scaleY);
    const double scale = std::max(0.01, std::hypot(scaleX, scaleY));
    const double margin = std::ceil(radius * 2) + 1;
    const double pixelWidth = std::ceil((box.width() + 2 * margin) * scale);
    const double pixelHeight = std::ceil((box.height() + 2 * margin) * scale);
    // Checked before they become integers: a radius or size that is no number fails here too.
    auto fits = [](double pixels) { return pixels > 0 && pixels <= kLargestMask; };
    if (!fits(pixelWidth) || !fits(pixelHeight)) return;
    const int width = static_cast<int>(pixelWidth), height = static_cast<int>(pixelHeight);
    // Three box blurs of radius r spread like a Gaussian of deviation about r; the deviation of a
    // shadow is about half its radius.
    const int blurRadius = static_cast<int>(std::lround(radius * scale / 2));

    // Where the mask's pixels land: moved by the offset, back to points.
    cairo_save(cr);
    cairo_translate(cr, offset.x + box.minX() - margin, offset.y + box.minY() - margin);
    cairo_scale(cr, 1 / scale, 1 / scale);
    // Only the part of the mask the area needs: each blurred pixel reads three blur radii around
    // it, and filtering one more.
    int x0 = 0, y0 = 0, x1 = width, y1 = height;
    if (area && !neededPixels(cr, *area, 3 * blurRadius + 2, width, height, x0, y0, x1, y1)) {
        cairo_restore(cr);
        return;
    }
    std::shared_ptr<cairo_surface_t> mask;
    if (kept) {
        if (!kept->surface || kept->box != box || kept->radius != radius || kept->scale != scale) {
            *kept = {blurredMask(box, scale, margin, blurRadius, 0, 0, width, height, drawContent),
                     box, radius, scale};
        }
        mask = kept->surface;
        x0 = y0 = 0;
    } else {
        mask = blurredMask(box, scale, margin, blurRadius, x0, y0, x1 - x0, y1 - y0, drawContent);
    }

    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
    cairo_mask_surface(cr, mask.get(), x0, y0);
    cairo_restore(cr);
}

}  // namespace talvori::ui
