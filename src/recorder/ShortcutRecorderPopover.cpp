#include "recorder/ShortcutRecorderPopover.hpp"

#include <limits>

#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/KeyboardLayout.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "recorder/Keycap.hpp"
#include "recorder/ShortcutGlyphs.hpp"

namespace talvori::ui {

namespace {

using Phase = ShortcutRecorder::Phase;
using Glyphs = std::vector<std::string>;
using Style = Keycap::Style;

Glyphs exampleKeycaps() {
    Glyphs glyphs = modifierGlyphs(ModifierFlags::option | ModifierFlags::command);
    glyphs.emplace_back("N");
    return glyphs;
}

View styledText(std::string text, double size, FontWeight weight, Color color) {
    return Text(std::move(text)).font(Font::system(size, weight)).foregroundColor(color);
}

View headline(std::string text) {
    return styledText(std::move(text), 13, FontWeight::medium, Palette::white(0.85));
}

// A line under the caps that keeps its full height and wraps instead of being cut.
View note(std::string text, double opacity = 0.5) {
    return styledText(std::move(text), 11, FontWeight::regular, Palette::white(opacity))
        .fixedSize(false, true);
}

View popoverCap(std::string glyph, Style style) {
    return Keycap{std::move(glyph), Keycap::Size::popover, style};
}

// Over a cap, ignoring the pointer: a tint, a rim and a halo in the glow colour at `flash`.
View glow(Color color, double flash) {
    const RoundedRectangle shape(5);
    return shape.fill(color.opacity(flash * 0.45))
        .overlay(shape.strokeBorder(color.opacity(flash), 1))
        .shadow(color.opacity(flash * 0.6), 6)
        .allowsHitTesting(false)
        .accessibilityIdentifier("ShortcutRecorderPopover.glow");
}

View capRow(const Glyphs& glyphs, Style style, std::optional<Color> glowColor = std::nullopt,
            double flash = 0) {
    ViewList caps;
    for (const auto& glyph : glyphs) {
        View cap = popoverCap(glyph, style);
        if (glowColor) cap = cap.overlay(glow(*glowColor, flash));
        caps.push_back(cap);
    }
    return HStack(4, std::move(caps));
}

View slot() {
    return popoverCap("", Style::slot);
}

View deleteHint() {
    const Color grey = Palette::white(0.6);
    return HStack(
        5, {styledText("Press", 12, FontWeight::regular, grey),
            Keycap{platform().keyboardLayout().keyName("⌫"), Keycap::Size::footer, Style::rest},
            styledText("to delete", 12, FontWeight::regular, grey)});
}

View replaceHint() {
    return note("or press another shortcut to replace it", 0.4);
}

View footerButton(std::string title, double opacity, std::string glyph,
                  std::function<void()> action) {
    const auto weight = opacity > 0.5 ? FontWeight::medium : FontWeight::regular;
    return Button(std::move(action),
                  HStack(6, {styledText(std::move(title), 12, weight, Palette::white(opacity)),
                             Keycap{std::move(glyph), Keycap::Size::footer, Style::rest}})
                      .contentShape(Rectangle()));
}

ViewList rows(const Phase& phase, std::uint64_t held,
              const std::optional<GlobalShortcuts::Shortcut>& current, double flash) {
    using Block = ShortcutRecorderPopover::Block;
    switch (ShortcutRecorderPopover::block(phase, held, current.has_value())) {
        case Block::needsModifier:
            return {
                headline("Add " + platform().keyboardLayout().realModifierChoice()),
                HStack(4, {slot(), capRow(std::get<ShortcutRecorder::NeedsModifier>(phase).keycaps,
                                          Style::lit)}),
                note("A key on its own would fire while you type.")};
        case Block::reserved:
            return {styledText("Your desktop already uses this shortcut", 12, FontWeight::regular,
                               Palette::red),
                    capRow(std::get<ShortcutRecorder::Reserved>(phase).keycaps, Style::rejected,
                           Palette::red, flash),
                    note("Try a different combination.")};
        case Block::conflict: {
            const auto& conflict = std::get<ShortcutRecorder::Conflict>(phase);
            return {VStack(2, {styledText("Already used by", 12, FontWeight::regular, Palette::red),
                               styledText(conflict.title, 12, FontWeight::semibold, Palette::red)}),
                    capRow(keycapGlyphs(conflict.shortcut), Style::rejected, Palette::red, flash),
                    note("Overwrite it or record a new shortcut")};
        }
        case Block::saved:
            return {HStack(5, {Image("checkmark")
                                   .font(Font::system(11, FontWeight::semibold))
                                   .foregroundColor(Palette::green),
                               headline("Saved")}),
                    capRow(keycapGlyphs(std::get<ShortcutRecorder::Saved>(phase).shortcut),
                           Style::rest, Palette::green, flash),
                    deleteHint(), replaceHint()};
        case Block::currentShortcut:
            return {headline("Current shortcut"), capRow(keycapGlyphs(*current), Style::rest),
                    deleteHint(), replaceHint()};
        case Block::holding:
            return {headline("Press a shortcut"),
                    HStack(4, {capRow(modifierGlyphs(held), Style::lit), slot()})};
        case Block::example:
            break;
    }
    return {headline("Press a shortcut"),
            HStack(4, {styledText("e.g.", 12, FontWeight::regular, Palette::white(0.32))
                           .padding(Edges::trailing, 4),
                       capRow(exampleKeycaps(), Style::example)})};
}

bool flashes(const Phase& phase) {
    return !std::holds_alternative<ShortcutRecorder::NeedsModifier>(phase) &&
           !std::holds_alternative<ShortcutRecorder::Waiting>(phase);
}

}  // namespace

ShortcutRecorderPopover::Block ShortcutRecorderPopover::block(const Phase& phase,
                                                              std::uint64_t heldModifiers,
                                                              bool hasCurrent) {
    if (std::holds_alternative<ShortcutRecorder::NeedsModifier>(phase)) return Block::needsModifier;
    if (std::holds_alternative<ShortcutRecorder::Reserved>(phase)) return Block::reserved;
    if (std::holds_alternative<ShortcutRecorder::Conflict>(phase)) return Block::conflict;
    if (std::holds_alternative<ShortcutRecorder::Saved>(phase)) return Block::saved;
    if (heldModifiers == 0 && hasCurrent) return Block::currentShortcut;
    return heldModifiers != 0 ? Block::holding : Block::example;
}

View ShortcutRecorderPopover::body(ViewContext<State>& ctx) const {
    auto& model = *recorder;
    const Phase phase = model.phase();
    const auto held = model.heldModifiers();
    const auto current = model.current();
    const auto attempt = model.attempt();
    const double flash = ctx.state.flash();
    const bool inConflict = std::holds_alternative<ShortcutRecorder::Conflict>(phase);

    ViewList footer{Spacer(0)};
    if (inConflict) {
        footer.push_back(footerButton("Overwrite", 0.85, platform().keyboardLayout().keyName("↩"),
                                      [recorder = recorder] { recorder->confirmOverwrite(); }));
    }
    footer.push_back(
        footerButton("Close", 0.5, platform().keyboardLayout().keyName("⎋"), [recorder = recorder] {
            recorder->isRecording.set(false);
            recorder->stopRecording();
        }));

    constexpr double infinity = std::numeric_limits<double>::infinity();
    return VStack(0,
                  {
                      VStack(10, rows(phase, held, current, flash))
                          .multilineTextAlignment(TextAlignment::center)
                          .frame({.maxWidth = infinity})
                          .padding({16, 14, 14, 14}),
                      Rectangle().fill(Color(Palette::white6_3)).frame({.height = 1}),
                      HStack(14, std::move(footer)).padding({8, 10, 8, 10}),
                  })
        .frame({.width = kWidth})
        .background(Color(Palette::ink))
        .onChange(attempt, [&ctx, recorder = recorder](std::int64_t) {
            if (!flashes(recorder->phase.peek())) return;
            withoutAnimation([&] { ctx.state.flash.set(0.5); });
            // Each attempt fades on its own; the earliest pending fade ends a quick second glow.
            const auto weak = ctx.weakState();
            (void)Task::start(platform().runLoop(), [weak]() -> Async {
                co_await Task::sleep(kFlashHold);
                withOwner(weak, [](auto& state) {
                    withAnimation(Animation::easeOut(kFlashFade), [&] { state.flash.set(0); });
                });
            });
        });
}

}  // namespace talvori::ui
