#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "covers/AttachmentTarget.hpp"
#include "ui/UI.hpp"

namespace talvori {
class OverlayViewModel;
}

namespace talvori::ui {

// "ATTACHMENT": ties the cover to another application's window. A free cover offers "Attach to
// window", which (once Accessibility is granted) lists the running applications' windows, each by
// its application's name and its title, to pick from; an attached cover shows the name it stored
// with a detach button.
struct ControlPanelAttachmentSection {
    std::shared_ptr<OverlayViewModel> viewModel;
    std::function<void(const AttachmentTarget&)> onAttach;
    std::function<void()> onDetach;

    struct State {
        Observable<bool> showingAppList{false};
        // The row under the pointer, by rowKey().
        Observable<std::optional<std::int64_t>> hoveredRow;
        Observable<std::vector<AttachmentTarget>> cachedApps;
    };

    // The regular applications other than this one, by name in Unicode scalar order after
    // canonical composition (upper case before lower case; no name sorts first).
    static std::vector<RunningApplication> attachableApps();

    View body(ViewContext<State>& ctx) const;

  private:
    void openList(ViewContext<State>& ctx) const;
    View attachButton(ViewContext<State>& ctx) const;
    View appList(State& state) const;
    View appRow(State& state, const AttachmentTarget& target) const;
    // The application's icon when it has one, its name, the window's title and the space that
    // fills the row.
    static std::vector<View> rowLabel(const AttachmentTarget& target);
    // A row's identity: its window, or (negated) its application's process.
    static std::int64_t rowKey(const AttachmentTarget& target);
    View attachedRow() const;
};

}  // namespace talvori::ui
