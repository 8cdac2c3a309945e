#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "covers/OverlayViewModel.hpp"
#include "platform/desktop/Screen.hpp"
#include "ui/UI.hpp"

namespace talvori {

// The small readout of a cover's position and size, shown while the user moves or resizes it.
struct OverlayInfoView {
    std::shared_ptr<OverlayViewModel> viewModel;

    bool operator==(const OverlayInfoView&) const = default;

    ui::View body(ui::ViewContext<ui::NoState>& context) const;

    // Whole points, truncated toward zero: x from the left, y down from the top of the main
    // screen (nothing: of a screen of height 0 at the origin) to the cover's top edge.
    struct Numbers {
        std::int64_t x = 0;
        std::int64_t y = 0;
        std::int64_t width = 0;
        std::int64_t height = 0;
    };
    static Numbers numbers(const Rect& frame, const std::optional<Screen>& mainScreen);
    static std::string positionText(const Numbers& numbers);
    static std::string sizeText(const Numbers& numbers);
};

}  // namespace talvori
