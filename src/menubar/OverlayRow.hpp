#pragma once

#include <memory>
#include <string>

#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori {
class OverlayViewModel;
class Session;
}  // namespace talvori

namespace talvori::ui {

// One open cover in the covers card: its colour, its name (renamed in place), rename and close.
// The pointer on the row highlights the cover on screen. A close-all slides it away to the left.
// From the keyboard the name is a stop of its own: Return or Space there opens the cover's control
// panel (which the pointer opens by resting on the cover), and Escape there comes back to it.
struct OverlayRow {
    static constexpr double kHeight = 36;
    static constexpr double kClosingOffset = -360;
    static constexpr double kCloseDuration = 0.15;

    std::shared_ptr<OverlayViewModel> overlay;
    std::weak_ptr<Session> session;

    struct State {
        Observable<bool> isEditing{false};
        Observable<std::string> editingName;
        Observable<bool> isHoveringPencil{false};
        Observable<bool> isHoveringClose{false};
        Observable<bool> nameFieldFocused{false};
        // The name, which opens the cover's control panel from the keyboard.
        Observable<bool> nameFocused{false};
    };

    View body(ViewContext<State>& ctx) const;

  private:
    View nameArea(ViewContext<State>& ctx) const;
    View iconButton(const char* asset, const char* label, Observable<bool>& isHovering,
                    std::function<void()> action) const;
};

}  // namespace talvori::ui
