#pragma once

#include "ui/View.hpp"

namespace talvori::ui {

// A small indeterminate spinner: spokes around a centre, the brightest one stepping round in the
// foreground colour. It wakes the run loop only while its window is on screen (a spinner in a
// hidden window or out of the tree costs nothing), one step at a time.
class ProgressSpinner : public View {
  public:
    static constexpr double kDiameter = 16;
    static constexpr int kSpokes = 8;
    // One turn a second: one step per spoke.
    static constexpr double kStepInterval = 1.0 / kSpokes;

    ProgressSpinner();
};

}  // namespace talvori::ui
