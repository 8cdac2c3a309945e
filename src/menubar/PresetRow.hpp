#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "covers/PresetModel.hpp"
#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori {
class Session;
struct PresetChangeSummary;
}  // namespace talvori

namespace talvori::ui {

// One saved layout: the eye that opens or closes it, its name (renamed in place), the number of
// its covers, rename, and delete behind a confirmation that closes by itself after five seconds.
// The active layout also lists how the open covers differ from it, with "Save to layout" and
// "Dismiss". The pointer on the row previews the layout's covers on screen.
struct PresetRow {
    static constexpr std::int64_t kDeleteCountdown = 5;
    static constexpr double kCountdownTick = 1.0;
    static constexpr double kLineHeight = 20;
    static constexpr double kCrossFadeDuration = 0.2;

    PresetModel preset;
    std::weak_ptr<Session> session;

    struct State {
        Observable<bool> isEditing{false};
        Observable<std::string> editingName;
        Observable<bool> confirmingDelete{false};
        Observable<std::int64_t> deleteCountdown{kDeleteCountdown};
        Observable<bool> isHoveringEye{false};
        Observable<bool> isHoveringPencil{false};
        Observable<bool> isHoveringTrash{false};
        Observable<bool> isHoveringSave{false};
        Observable<bool> isHoveringDismiss{false};
        Observable<bool> nameFieldFocused{false};
        Observable<bool> isHoveringDelete{false};
        Observable<bool> isHoveringKeep{false};
        // Each countdown takes a new number; a tick of an earlier one finds it changed and stops,
        // so a confirmation opened again never counts twice as fast.
        std::uint64_t countdownGeneration = 0;
    };

    View body(ViewContext<State>& ctx) const;

  private:
    View lineArea(ViewContext<State>& ctx, bool isActive) const;
    View mainLine(ViewContext<State>& ctx, bool isActive) const;
    View nameArea(ViewContext<State>& ctx) const;
    View deleteConfirmation(ViewContext<State>& ctx) const;
    View pendingChanges(ViewContext<State>& ctx, const PresetChangeSummary& summary) const;
    View textButton(const char* asset, double iconSide, const char* text, Color color,
                    Observable<bool>& isHovering, std::function<void()> action) const;
};

}  // namespace talvori::ui
