#include "ui/IconCatalog.hpp"

#include <librsvg/rsvg.h>

#include <cmath>
#include <filesystem>

#include "platform/Platform.hpp"

#ifndef TALVORI_ICON_DIR
#define TALVORI_ICON_DIR "icons"
#endif

namespace talvori::ui {

const std::map<std::string_view, std::string_view>& IconCatalog::table() {
    static const std::map<std::string_view, std::string_view> entries{
        // Image assets of the interface.
        {"icon-layers", "layers"},
        {"icon-settings", "settings"},
        {"icon-plus", "plus"},
        {"icon-bookmark", "bookmark"},
        {"icon-pencil", "pencil"},
        {"icon-trash", "trash-2"},
        {"icon-eye", "eye"},
        {"icon-eye-off", "eye-off"},
        {"icon-check-circle", "circle-check"},
        {"icon-window", "app-window"},
        {"icon-x", "x"},
        {"icon-copy", "copy"},
        {"icon-pointer-click", "mouse-pointer-click"},
        {"icon-lock", "lock"},
        {"icon-monitor", "monitor"},
        {"icon-move", "move"},
        {"icon-resize", "scaling"},
        {"icon-power", "power"},
        // The status item's artwork is our own drawing, not one of the line icons.
        {"icon-menubar", "talvori-menubar"},
        // System symbol names.
        {"sun.max", "sun"},
        {"gearshape", "settings"},
        {"keyboard", "keyboard"},
        {"info.circle", "info"},
        {"arrow.up", "arrow-up"},
        {"arrow.up.circle", "circle-arrow-up"},
        {"arrow.up.right", "arrow-up-right"},
        {"arrow.uturn.backward", "undo-2"},
        {"checkmark", "check"},
        {"exclamationmark.triangle", "triangle-alert"},
        {"chevron.down", "chevron-down"},
        {"eyedropper", "pipette"},
        {"gift", "gift"},
        {"xmark", "x"},
    };
    return entries;
}

std::optional<std::string_view> IconCatalog::fileFor(std::string_view name) {
    const auto found = table().find(name);
    if (found == table().end()) return std::nullopt;
    return found->second;
}

bool IconCatalog::isSymbolName(std::string_view name) {
    return !name.starts_with("icon-");
}

std::string IconCatalog::defaultDirectory() {
    // An installed program has its icons in ../share/talvori/icons beside its bin folder; one in
    // the build tree has the build's copy.
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto installed = program.parent_path().parent_path() / "share" / "talvori" / "icons";
        if (std::filesystem::is_directory(installed, error)) return installed.string();
    }
    return TALVORI_ICON_DIR;
}

IconCatalog::IconCatalog(std::string directory) : directory_(std::move(directory)) {}

IconCatalog::~IconCatalog() {
    for (auto& [file, handle] : handles_) {
        if (handle) g_object_unref(handle);
    }
    for (auto& [key, surface] : masks_) cairo_surface_destroy(surface);
}

RsvgHandle* IconCatalog::handle(std::string_view file) {
    if (const auto found = handles_.find(file); found != handles_.end()) return found->second;
    const std::string path = directory_ + "/" + std::string(file) + ".svg";
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(path.c_str(), &error);
    if (!handle) {
        platform().logger("UI").error("Cannot load icon %{public}s: %{public}s", path.c_str(),
                                      error ? error->message : "unknown error");
        if (error) g_error_free(error);
    }
    handles_.emplace(std::string(file), handle);
    return handle;
}

cairo_surface_t* IconCatalog::mask(std::string_view file, int pixels) {
    const auto key = std::make_pair(std::string(file), pixels);
    if (const auto found = masks_.find(key); found != masks_.end()) return found->second;
    RsvgHandle* svg = handle(file);
    if (!svg) return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels);
    cairo_t* cr = cairo_create(surface);
    const RsvgRectangle viewport{0, 0, static_cast<double>(pixels), static_cast<double>(pixels)};
    rsvg_handle_render_document(svg, cr, &viewport, nullptr);
    cairo_destroy(cr);
    masks_.emplace(key, surface);
    return surface;
}

bool IconCatalog::hasIcon(std::string_view name) {
    const auto file = fileFor(name);
    return file && handle(*file);
}

bool IconCatalog::draw(cairo_t* cr, std::string_view name, const Rect& rect) {
    const auto file = fileFor(name);
    if (!file || rect.width() <= 0 || rect.height() <= 0) return false;
    // Rasterised at the device size of the square (sharp at any scale), then tinted through it.
    const double side = std::min(rect.width(), rect.height());
    double originX = rect.midX() - side / 2, originY = rect.midY() - side / 2;
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    const bool axisAligned = matrix.xy == 0 && matrix.yx == 0 && matrix.xx > 0 && matrix.yy > 0;
    const double deviceSide = side * std::max(std::abs(matrix.xx), std::abs(matrix.yy));
    const int pixels = std::clamp(static_cast<int>(std::lround(deviceSide)), 1, 1024);
    cairo_surface_t* surface = mask(*file, pixels);
    if (!surface) return false;
    cairo_save(cr);
    if (axisAligned && std::abs(matrix.xx - matrix.yy) < 1e-9) {
        // Pixel for pixel on the device grid: the fastest way through, and the sharpest.
        cairo_user_to_device(cr, &originX, &originY);
        cairo_identity_matrix(cr);
        cairo_mask_surface(cr, surface, std::round(originX + (deviceSide - pixels) / 2),
                           std::round(originY + (deviceSide - pixels) / 2));
    } else {
        cairo_translate(cr, originX, originY);
        cairo_scale(cr, side / pixels, side / pixels);
        cairo_mask_surface(cr, surface, 0, 0);
    }
    cairo_restore(cr);
    return true;
}

}  // namespace talvori::ui
