#pragma once

#include <memory>

#include "covers/OverlayViewModel.hpp"
#include "ui/UI.hpp"

namespace talvori {

// The cover's four edges and four corner brackets, drawn over its content: the hovered, dragged
// and snapped ones stronger, a locked cover's faint, and, during a resize, an outline of the size
// the resize started from. Reads the cover's view model and writes nothing.
struct ResizeHandleOverlay {
    std::shared_ptr<OverlayViewModel> viewModel;
    ui::Color handleColor;

    bool operator==(const ResizeHandleOverlay&) const = default;

    ui::View body(ui::ViewContext<ui::NoState>& context) const;

    // What an edge's flags make of its opacity; the first rule that applies wins.
    static double handleOpacity(bool isLocked, bool isSnapped, bool isResizingThisEdge,
                                bool isHovered);
};

}  // namespace talvori
