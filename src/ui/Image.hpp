#pragma once

#include <cairo.h>

#include <memory>
#include <string>

#include "ui/View.hpp"

namespace talvori::ui {

// An icon by asset name ("icon-pencil") or system symbol name ("sun.max"), tinted with the
// foreground colour, or a picture of our own. A symbol is as large as the font; an asset is 24
// points square. A resizable image scales to fit the frame it is offered, keeping its shape.
class Image : public View {
  public:
    explicit Image(std::string name);
    // A picture of `size` points; a template picture is drawn as a mask in the foreground colour.
    Image(std::shared_ptr<cairo_surface_t> surface, Size size, bool isTemplate = false);

    Image resizable() const;

    struct Source;

  private:
    Image(std::shared_ptr<const Source> source, bool resizable);
    std::shared_ptr<const Source> source_;
};

// Wraps a cairo surface so that it is released with the last image using it.
std::shared_ptr<cairo_surface_t> shareSurface(cairo_surface_t* surface);

}  // namespace talvori::ui
