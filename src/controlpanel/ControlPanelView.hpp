#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "covers/AttachmentTarget.hpp"
#include "platform/core/UUID.hpp"
#include "ui/UI.hpp"

namespace talvori {
class OverlayViewModel;
}

namespace talvori::ui {

// The control panel's content: a dark card 300 points wide stacking the header, the appearance,
// behaviour and attachment sections and the actions. Everything below it starts afresh for another
// cover; the appearance section also at every new presentation of the panel.
struct ControlPanelView {
    static constexpr double kWidth = 300;
    static constexpr double kCornerRadius = 12;
    // The shadow is cast by a shape inset this much from the card's sides and top: the panel's
    // window leaves only a narrow margin beside and above the card (it must not lie over the
    // cover), and a shadow as large as the card would end there in a hard edge. Inset so, its blur
    // has faded out by the window's edge.
    static constexpr double kShadowInset = 20;
    static constexpr double kShadowTopInset = 10;

    std::shared_ptr<OverlayViewModel> viewModel;
    std::int64_t presentationGeneration = 0;
    std::function<void(bool)> onHoverChange;
    std::function<void()> onDuplicate;
    std::function<void()> onClose;
    std::function<void(const AttachmentTarget&)> onAttach;
    std::function<void()> onDetach;
    std::function<void()> onLockChange;
    std::function<void()> onClickThroughChange;
    std::function<std::optional<UUID>()> onSamplingBegin;
    std::function<bool(const UUID&)> onSamplingResolve;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
