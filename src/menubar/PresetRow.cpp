#include "menubar/PresetRow.hpp"

#include <limits>

#include "controls/DarkTooltip.hpp"
#include "controls/IconLabel.hpp"
#include "covers/Palette.hpp"
#include "menubar/RenameField.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "session/Session.hpp"

namespace talvori::ui {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// One second of the delete countdown; each tick starts the next while its countdown lasts.
void scheduleTick(std::weak_ptr<PresetRow::State> weak, std::uint64_t generation) {
    (void)Task::start(platform().runLoop(), [weak, generation]() -> Async {
        // A sleep cut short counts as a full second.
        co_await Task::sleep(PresetRow::kCountdownTick);
        withOwner(weak, [&](PresetRow::State& state) {
            if (!state.confirmingDelete.peek() || state.countdownGeneration != generation) return;
            const std::int64_t count = state.deleteCountdown.peek() - 1;
            state.deleteCountdown.set(count);
            if (count <= 0) {
                state.confirmingDelete.set(false);
                return;
            }
            scheduleTick(weak, generation);
        });
    });
}

std::string coverCountText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " cover" : " covers") + " in layout";
}

std::string changeLine(const PresetChange& change) {
    return "\"" + change.overlayName + "\" " + change.description;
}

std::string hiddenChangesLine(std::size_t count) {
    return "and " + std::to_string(count) + " more " + (count == 1 ? "change" : "changes");
}

}  // namespace

View PresetRow::body(ViewContext<State>& ctx) const {
    const auto current = session.lock();
    if (!current) return View();
    const bool isActive = current->activePresetId() == preset.id;
    const bool showsChanges =
        isActive && current->activePresetHasChanges() && !ctx.state.confirmingDelete();
    // The block's own visibility drives its slide, so it also leaves when a confirmation opens.
    return VStack(
               HorizontalAlignment::leading, 0,
               {lineArea(ctx, isActive),
                showsChanges ? pendingChanges(ctx, current->activePresetChangeSummary()) : View()})
        .animation(ctx.animation(Animation::easeOut(kCrossFadeDuration)), showsChanges)
        .padding(EdgeInsets{8, 10, 8, 10})
        .background(RoundedRectangle(6).fill(Color::white(0.04)))
        .onHover(weakly(session, [id = preset.id](auto& owner, bool hovering) {
            if (hovering) {
                owner.showGhostPanels(id);
            } else {
                owner.hideGhostPanels();
            }
        }));
}

View PresetRow::lineArea(ViewContext<State>& ctx, bool isActive) const {
    const bool confirming = ctx.state.confirmingDelete();
    // The main line stays under the confirmation, keeping an open rename field.
    // The confirmation exists only while it shows or fades: a card of many rows carries no hidden
    // lines.
    return ZStack({mainLine(ctx, isActive).opacity(confirming ? 0 : 1),
                   confirming ? deleteConfirmation(ctx).transition(Transition::opacity()) : View()})
        .animation(ctx.animation(Animation::easeOut(kCrossFadeDuration)), confirming)
        .frame({.height = kLineHeight});
}

View PresetRow::mainLine(ViewContext<State>& ctx, bool isActive) const {
    auto& state = ctx.state;
    const auto weak = session;
    const bool eyeHovered = state.isHoveringEye();
    const Color eyeColor = isActive ? Color(Palette::green).opacity(eyeHovered ? 0.9 : 0.7)
                                    : Color::white(eyeHovered ? 0.5 : 0.3);
    const std::string eyeLabel = isActive ? "Deactivate layout" : "Activate layout";
    // The hit area reaches 6 points beyond the 20-point slot without taking room in the line.
    const View eye =
        Button(weakly(weak, [preset = preset](auto& owner) { owner.togglePreset(preset); }),
               assetIcon(isActive ? "icon-eye" : "icon-eye-off", 13.2)
                   .foregroundColor(eyeColor)
                   .frame({.width = 20})
                   .padding(6)
                   .contentShape(Rectangle()))
            .padding(-6)
            .onHover([&state](bool hovering) { state.isHoveringEye.set(hovering); })
            .accessibilityLabel(eyeLabel, preset.name);
    const std::size_t count = preset.overlays.size();
    const View badge =
        HStack(3, {assetIcon("icon-layers", 9),
                   Text(std::to_string(count))
                       .font(Font::system(11, FontWeight::medium).monospacedDigit())})
            .foregroundColor(Color::white(0.3))
            .padding(EdgeInsets{2, 6, 2, 6})
            .background(RoundedRectangle(4).fill(Color::white(0.04)))
            .frame({.minWidth = 32});
    // Every layout's row has these buttons: each says whose it is.
    auto iconButton = [&name = preset.name](const char* asset, const char* label,
                                            Observable<bool>& isHovering,
                                            std::function<void()> action) {
        return darkTooltip(
            Button(std::move(action), assetIcon(asset, 13.2)
                                          .foregroundColor(Color::white(isHovering() ? 0.7 : 0.35))
                                          .padding(9)
                                          .contentShape(Rectangle()))
                .onHover([&isHovering](bool hovering) { isHovering.set(hovering); })
                .accessibilityLabel(label, name),
            label);
    };
    auto beginRename = [&state, name = preset.name] {
        state.editingName.set(name);
        state.isEditing.set(true);
    };
    auto startDeleteCountdown = [&ctx] {
        auto& row = ctx.state;
        row.deleteCountdown.set(kDeleteCountdown);
        row.confirmingDelete.set(true);
        scheduleTick(ctx.weakState(), ++row.countdownGeneration);
    };
    return HStack(
        10,
        {darkTooltip(eye, eyeLabel), nameArea(ctx), Spacer(),
         darkTooltip(badge, coverCountText(count)),
         iconButton("icon-pencil", "Rename layout", state.isHoveringPencil, beginRename),
         iconButton("icon-trash", "Delete layout", state.isHoveringTrash, startDeleteCountdown)});
}

View PresetRow::nameArea(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    if (!state.isEditing()) {
        return Text(preset.name)
            .font(Font::system(13))
            .foregroundColor(Color::white(0.8))
            .lineLimit(1);
    }
    return RenameField{state.editingName, state.isEditing, state.nameFieldFocused, 13,
                       weakly(session,
                              [id = preset.id](auto& owner, const std::string& name) {
                                  owner.renamePreset(id, name);
                              })}
        .view();
}

View PresetRow::deleteConfirmation(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const bool deleteHovered = state.isHoveringDelete();
    const bool keepHovered = state.isHoveringKeep();
    const std::string text = "Delete layout (" + std::to_string(state.deleteCountdown()) + "s)";
    const View confirm =
        Button(
            [&state, weak = session, id = preset.id] {
                withOwner(weak, [&](auto& owner) { owner.deletePreset(id); });
                state.confirmingDelete.set(false);
            },
            HStack(5, {assetIcon("icon-trash", 11),
                       Text(text).font(Font::system(12, FontWeight::medium))})
                .foregroundColor(deleteHovered ? Color::white() : Color(Palette::red))
                .frame({.maxWidth = kInfinity})
                .frame({.height = kLineHeight})
                .background(
                    RoundedRectangle(4).fill(deleteHovered ? Color(Palette::red) : Color::clear()))
                .overlay(RoundedRectangle(4).strokeBorder(Color(Palette::red), 1))
                .contentShape(Rectangle()))
            .onHover([&state](bool hovering) { state.isHoveringDelete.set(hovering); })
            .accessibilityLabel(text, preset.name);
    const View keep =
        Button([&state] { state.confirmingDelete.set(false); },
               HStack(4, {Image("arrow.uturn.backward").font(Font::system(10, FontWeight::medium)),
                          Text("Keep").font(Font::system(12, FontWeight::medium))})
                   .foregroundColor(Color::white(keepHovered ? 0.8 : 0.4))
                   .padding(Edges::horizontal, 10)
                   .frame({.height = kLineHeight})
                   .background(
                       RoundedRectangle(4).fill(keepHovered ? Color::white(0.1) : Color::clear()))
                   .overlay(RoundedRectangle(4).strokeBorder(Color::white(0.12), 1))
                   .contentShape(Rectangle()))
            .onHover([&state](bool hovering) { state.isHoveringKeep.set(hovering); })
            .accessibilityLabel("Keep", preset.name);
    return HStack(8, {confirm, keep});
}

View PresetRow::pendingChanges(ViewContext<State>& ctx, const PresetChangeSummary& summary) const {
    auto& state = ctx.state;
    ViewList lines;
    for (const auto& change : summary.lines) {
        lines.push_back(Text(changeLine(change))
                            .font(Font::system(11))
                            .foregroundColor(Color::white(0.55))
                            .lineLimit(1));
    }
    if (summary.hiddenCount > 0) {
        lines.push_back(Text(hiddenChangesLine(summary.hiddenCount))
                            .font(Font::system(11))
                            .foregroundColor(Color::white(0.35)));
    }
    const auto weak = session;
    const View buttons = HStack(
        12,
        {textButton("icon-bookmark", 10, "Save to layout",
                    Color(Palette::accent).opacity(state.isHoveringSave() ? 0.8 : 1),
                    state.isHoveringSave,
                    weakly(weak, [](auto& owner) { owner.updateActivePreset(); })),
         textButton("icon-x", 9, "Dismiss", Color::white(state.isHoveringDismiss() ? 0.6 : 0.44),
                    state.isHoveringDismiss, weakly(weak, [](auto& owner) {
                        if (const auto id = owner.activePresetId.peek()) owner.applyPreset(*id);
                    }))});
    return VStack(HorizontalAlignment::leading, 6,
                  {VStack(HorizontalAlignment::leading, 1, lines), buttons})
        .padding(EdgeInsets{6, 8, 6, 8})
        .background(RoundedRectangle(5).fill(Color::white(0.03)))
        .overlay(RoundedRectangle(1).fill(Color(Palette::accentTint40)).frame({.width = 2}),
                 Alignment::leading())
        .padding(Edges::leading, 30)
        .padding(Edges::top, 8)
        .transition(Transition::opacity().combined(Transition::move(Edge::top)));
}

View PresetRow::textButton(const char* asset, double iconSide, const char* text, Color color,
                           Observable<bool>& isHovering, std::function<void()> action) const {
    return Button(std::move(action), iconLabel(assetIcon(asset, iconSide), text,
                                               Font::system(11, FontWeight::medium), 4)
                                         .foregroundColor(color))
        .onHover([&isHovering](bool hovering) { isHovering.set(hovering); });
}

}  // namespace talvori::ui
