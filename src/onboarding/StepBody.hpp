#pragma once

#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// The explaining text under a first-run headline: centred lines in a column exactly `width` wide,
// shown verbatim.
struct StepBody {
    std::string text;
    double width = 0;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
