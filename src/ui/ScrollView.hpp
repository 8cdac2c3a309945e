#pragma once

#include "ui/View.hpp"

namespace talvori::ui {

// Vertical scrolling: the content keeps its ideal height and is clipped to the scroll view, which
// takes the height offered (or, offered none, the content's). The wheel scrolls within the
// content; a thin indicator shows where, when there is more than fits.
class ScrollView : public View {
  public:
    explicit ScrollView(View content, bool showsIndicators = true);
};

}  // namespace talvori::ui
