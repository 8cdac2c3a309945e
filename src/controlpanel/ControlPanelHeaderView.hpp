#pragma once

#include <memory>
#include <string>

#include "ui/UI.hpp"

namespace talvori {
class OverlayViewModel;
}

namespace talvori::ui {

// The control panel's top row: a green dot and the cover's name, renamed in place by clicking the
// name or the pencil. Return or the check mark keeps a new name (a blank one keeps the old);
// Escape leaves the name as it was.
struct ControlPanelHeaderView {
    std::shared_ptr<OverlayViewModel> viewModel;

    struct State {
        Observable<bool> isEditingName{false};
        Observable<std::string> editingName;
        Observable<bool> isHoveringName{false};
        Observable<bool> nameFieldFocused{false};
    };

    View body(ViewContext<State>& ctx) const;

  private:
    View nameRow(State& state) const;
    View editingRow(State& state) const;
    void beginEditing(State& state) const;
    void commit(State& state) const;
};

}  // namespace talvori::ui
