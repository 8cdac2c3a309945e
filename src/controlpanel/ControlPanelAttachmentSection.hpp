#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/desktop/RunningApplication.hpp"
#include "ui/UI.hpp"

namespace talvori {
class OverlayViewModel;
}

namespace talvori::ui {

// "ATTACHMENT": ties the cover to another application's window. A free cover offers "Attach to
// window", which (once Accessibility is granted) lists the running applications to pick from; an
// attached cover shows the application's name with a detach button.
struct ControlPanelAttachmentSection {
    std::shared_ptr<OverlayViewModel> viewModel;
    std::function<void(const RunningApplication&)> onAttach;
    std::function<void()> onDetach;

    struct State {
        Observable<bool> showingAppList{false};
        Observable<std::optional<std::int32_t>> hoveredAppPID;
        Observable<std::vector<RunningApplication>> cachedApps;
    };

    // The regular applications other than this one, by name in Unicode scalar order after
    // canonical composition (upper case before lower case; no name sorts first).
    static std::vector<RunningApplication> attachableApps();

    View body(ViewContext<State>& ctx) const;

  private:
    void openList(ViewContext<State>& ctx) const;
    View attachButton(ViewContext<State>& ctx) const;
    View appList(State& state) const;
    View appRow(State& state, const RunningApplication& application) const;
    // The application's icon when it has one, its name and the space that fills the row.
    static std::vector<View> rowLabel(const RunningApplication& application);
    View attachedRow() const;
};

}  // namespace talvori::ui
