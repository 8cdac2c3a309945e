#pragma once

#include <cairo.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ui/ProposedSize.hpp"

typedef struct _RsvgHandle RsvgHandle;

namespace talvori::ui {

// The program's one table of icons: the image asset names of the interface ("icon-pencil") and the
// system symbol names views ask for ("sun.max"), each drawn by a line icon of the pinned icon set
// installed with the program, or by artwork of our own (src/ui/icons). Add an entry here when a
// view needs another icon.
class IconCatalog {
  public:
    // Name to the icon set's file name (without ".svg").
    static const std::map<std::string_view, std::string_view>& table();
    // The icon file for `name`; none for a name not in the table.
    static std::optional<std::string_view> fileFor(std::string_view name);
    // Whether `name` is a system symbol name (sized by the font) rather than an asset.
    static bool isSymbolName(std::string_view name);
    // Where the build put the icons.
    static std::string defaultDirectory();

    explicit IconCatalog(std::string directory = defaultDirectory());
    ~IconCatalog();
    IconCatalog(const IconCatalog&) = delete;
    IconCatalog& operator=(const IconCatalog&) = delete;

    // Whether `name` is in the table and its file loads.
    bool hasIcon(std::string_view name);
    // Fills the icon's lines inside `rect` with cairo's current source (a template tint). False,
    // drawing nothing, for an unknown name or a missing file.
    bool draw(cairo_t* cr, std::string_view name, const Rect& rect);

  private:
    RsvgHandle* handle(std::string_view file);
    cairo_surface_t* mask(std::string_view file, int pixels);

    std::string directory_;
    std::map<std::string, RsvgHandle*, std::less<>> handles_;
    std::map<std::pair<std::string, int>, cairo_surface_t*> masks_;
};

}  // namespace talvori::ui
