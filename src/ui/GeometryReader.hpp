#pragma once

#include <functional>

#include "ui/View.hpp"

namespace talvori::ui {

// Builds its content from the size it is given, which is all the space offered; the content sits
// at its top leading corner. The content is built during layout, in the transaction of the change
// that laid it out, so a size that follows animated state animates with it; what the content reads
// of observables is tracked as a body's reads are. It is built again only for a new size, a new
// reader from the enclosing body, or a change to what it read.
class GeometryReader : public View {
  public:
    explicit GeometryReader(std::function<View(Size)> content);
};

}  // namespace talvori::ui
