#include "controlpanel/ControlPanelHeaderView.hpp"

#include "controls/trimmedName.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/Palette.hpp"

namespace talvori::ui {

namespace {

const Font kNameFont = Font::system(13, FontWeight::medium);

}  // namespace

View ControlPanelHeaderView::body(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    return HStack(8,
                  {
                      Circle().fill(Color(Palette::green)).frame(8, 8).accessibilityHidden(),
                      state.isEditingName() ? editingRow(state) : nameRow(state),
                  })
        .frame({.height = 22})
        .padding(Edges::vertical, 14)
        .padding(Edges::horizontal, 16);
}

View ControlPanelHeaderView::nameRow(State& state) const {
    const Color nameColor =
        state.isHoveringName() ? Color(Palette::white80).opacity(0.7) : Color(Palette::white80);
    return Group({
        Button([this, &state] { beginEditing(state); },
               Text(viewModel->name()).font(kNameFont).foregroundColor(nameColor).lineLimit(1))
            .onHover([&state](bool hovering) { state.isHoveringName.set(hovering); }),
        Spacer(),
        Button([this, &state] { beginEditing(state); },
               Image("icon-pencil").resizable().frame(13, 13).foregroundColor(Palette::white48))
            .frame(28, 28)
            .accessibilityLabel("Rename cover", viewModel->name()),
    });
}

View ControlPanelHeaderView::editingRow(State& state) const {
    return HStack(
        4, {
               TextField("Name", state.editingName)
                   .onSubmit([this, &state] { commit(state); })
                   .onExitCommand([&state] { state.isEditingName.set(false); })
                   .font(kNameFont)
                   .foregroundColor(Color::black())
                   .focused(state.nameFieldFocused)
                   .padding(EdgeInsets{2, 4, 2, 4})
                   .background(RoundedRectangle(4).fill(Color(Palette::white(0.85))))
                   .onAppear([&state] { state.nameFieldFocused.set(true); }),
               Button([this, &state] { commit(state); }, Image("icon-check-circle")
                                                             .resizable()
                                                             .frame(18, 18)
                                                             .foregroundColor(Palette::accent))
                   .accessibilityLabel("Confirm name"),
           });
}

void ControlPanelHeaderView::beginEditing(State& state) const {
    state.editingName.set(viewModel->model.peek().name);
    state.isEditingName.set(true);
}

void ControlPanelHeaderView::commit(State& state) const {
    if (std::string name = trimmedName(state.editingName.peek()); !name.empty()) {
        viewModel->rename(std::move(name));
    }
    state.isEditingName.set(false);
}

}  // namespace talvori::ui
