#pragma once

#include <memory>

#include "covers/BlurHostView.hpp"
#include "ui/UI.hpp"

namespace talvori {

// The layer at the back of a cover that asks the window server to blur what lies behind the
// cover's window; it draws nothing itself and hands every new radius and readout state to its
// blur host.
struct WindowBlurView {
    double radius = 0;
    bool hudVisible = false;
    std::shared_ptr<BlurHostView> host;

    bool operator==(const WindowBlurView&) const = default;

    ui::View body(ui::ViewContext<ui::NoState>& context) const;
};

}  // namespace talvori
