#pragma once

#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// The large title at the top of each first-run page, shown verbatim.
struct StepHeadline {
    std::string text;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
