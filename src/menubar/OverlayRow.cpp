#include "menubar/OverlayRow.hpp"

#include "controls/IconLabel.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/Palette.hpp"
#include "menubar/RenameField.hpp"
#include "platform/core/weakly.hpp"
#include "session/Session.hpp"

namespace talvori::ui {

namespace {

Color swatchColor(const OverlayModel& model) {
    if (model.effectType == EffectType::glass) return Color::white(0.25);
    const auto& color = model.color;
    return Color{color.red, color.green, color.blue, color.alpha};
}

}  // namespace

View OverlayRow::body(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const auto current = session.lock();
    const bool closing = current && current->closingOverlayIds().contains(overlay->id());
    const View swatch = RoundedRectangle(2)
                            .fill(swatchColor(overlay->model()))
                            .frame(20, 9)
                            .frame({.width = 26, .alignment = Alignment::leading()})
                            .accessibilityHidden();
    auto beginRename = [&state, overlay = overlay] {
        state.editingName.set(overlay->name());
        state.isEditing.set(true);
    };
    auto close = [&ctx, overlay = overlay, weak = session] {
        withAnimation(ctx.animation(Animation::easeOut(kCloseDuration)), [&] {
            withOwner(weak, [&](auto& owner) { owner.closeCover(overlay->id()); });
        });
    };
    return HStack(0,
                  {swatch, nameArea(ctx), Spacer(8),
                   iconButton("icon-pencil", "Rename cover", state.isHoveringPencil, beginRename),
                   iconButton("icon-x", "Close cover", state.isHoveringClose, close)})
        .padding(Edges::horizontal, 10)
        .frame({.height = kHeight})
        .background(RoundedRectangle(6).fill(Color::white(0.031)))
        .opacity(closing ? 0 : 1)
        .offset(closing ? kClosingOffset : 0, 0)
        .onHover([overlay = overlay](bool hovering) { overlay->isHighlighted.set(hovering); });
}

View OverlayRow::nameArea(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    if (!state.isEditing()) {
        auto openSettings = [row = ctx.weakState(), overlay = overlay, weak = session] {
            withOwner(weak, [&](auto& owner) {
                owner.openCoverSettings(overlay->id(), [row] {
                    withOwner(row, [](State& back) { back.nameFocused.set(true); });
                });
            });
        };
        return Text(overlay->name())
            .font(Font::system(12))
            .foregroundColor(Color::white(0.8))
            .lineLimit(1)
            .keyboardFocusable()
            .focused(Binding<bool>(state.nameFocused))
            .onKeyPress([openSettings](const KeyPress& press) {
                const bool opens = (press.key == Key::returnKey || press.key == Key::space) &&
                                   press.modifiers == Modifiers::none;
                if (opens) openSettings();
                return opens;
            })
            // By mouse too: a click-through cover has no other way back to its settings.
            .contentShape(Rectangle())
            .onTapGesture(openSettings)
            // One element around the focusable view, so that readers hear where the focus is.
            .accessibilityElement(AccessibilityChildren::combine)
            .accessibilityAddTraits(AccessibilityTrait::isButton)
            .accessibilityHint("Press Return for the cover's settings")
            .accessibilityAction(openSettings);
    }
    return RenameField{state.editingName, state.isEditing, state.nameFieldFocused, 12,
                       [overlay = overlay](const std::string& name) { overlay->rename(name); }}
        .view();
}

View OverlayRow::iconButton(const char* asset, const char* label, Observable<bool>& isHovering,
                            std::function<void()> action) const {
    return Button(std::move(action), assetIcon(asset, 13.2)
                                         .foregroundColor(Color::white(isHovering() ? 0.7 : 0.35))
                                         .padding(6)
                                         .contentShape(Rectangle()))
        .onHover([&isHovering](bool hovering) { isHovering.set(hovering); })
        // With several covers every row has these buttons: each says whose it is.
        .accessibilityLabel(label, overlay->name());
}

}  // namespace talvori::ui
