#include "recorder/ShortcutRecorderField.hpp"

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Panel.hpp"
#include "recorder/ClearButton.hpp"
#include "recorder/Keycap.hpp"
#include "recorder/ShortcutGlyphs.hpp"
#include "recorder/ShortcutRecorderPopover.hpp"

namespace talvori::ui {

namespace {

struct Colors {
    Color fill;
    Color border;
};

// The first condition that holds decides.
Colors fieldColors(bool settling, bool recording, bool hovering, bool focused, bool hasShortcut) {
    if (settling) return {Color::clear(), Color::clear()};
    if (recording) return {Palette::accent.withAlpha(0.1), Palette::accent.withAlpha(0.55)};
    if (hovering) return {Palette::white(0.08), Palette::white(0.16)};
    if (focused) return {Palette::white(0.05), Palette::white(0.1)};
    if (!hasShortcut) return {Palette::white(0.04), Color::clear()};
    return {Color::clear(), Color::clear()};
}

// Recording ends when its window stops being the key window: the keys go elsewhere then, and the
// global shortcuts must not stay off.
void watchWindow(ViewContext<ShortcutRecorderField::State>& ctx) {
    const auto window = ctx.window();
    if (!window) return;
    const auto recorder = ctx.state.recorder;
    ctx.state.windowResignation = platform().notificationCenter().addObserver(
        Panel::kDidResignKeyNotification, window.get(), NotificationDelivery::synchronous,
        weakly(std::weak_ptr<ShortcutRecorder>(recorder), [](ShortcutRecorder& resigned) {
            if (!resigned.isRecording.peek()) return;
            resigned.isRecording.set(false);
            resigned.stopRecording();
        }));
}

// The old label fades out quickly; the new one fades in once it is gone.
Transition labelTransition() {
    return Transition::asymmetric(
        Transition::opacity().animation(Animation::easeOut(0.24).delay(0.16)),
        Transition::opacity().animation(Animation::easeIn(0.16)));
}

}  // namespace

View ShortcutRecorderField::label(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const auto& recorder = state.recorder;
    const auto current = recorder->current();
    const bool recording = recorder->isRecording();
    const bool hovering = state.isHovering();
    if (!current) {
        return Text("Add Shortcut")
            .font(Font::system(12))
            .foregroundColor(Palette::white(hovering || recording ? 0.7 : 0.45))
            .padding(Edges::horizontal, 8)
            .fixedSize();
    }
    const bool taken = recorder->currentIsTaken();
    ViewList caps;
    if (taken) {
        caps.push_back(Text("Taken")
                           .font(Font::system(11, FontWeight::medium))
                           .foregroundColor(Palette::red)
                           .padding(Edges::trailing, 3));
    }
    const auto style = taken ? Keycap::Style::rejected : Keycap::Style::rest;
    for (auto& glyph : keycapGlyphs(*current)) {
        caps.push_back(Keycap{std::move(glyph), Keycap::Size::field, style});
    }
    const bool showsClear = hovering || state.isFocused() || recording;
    View clear;
    if (showsClear) {
        const ClearButton button{[&ctx] {
            ctx.state.recorder->clear();
            ctx.resignFocus();
        }};
        // The field's own keys record and clear: the button is for the pointer.
        clear = View(button)
                    .focusable(false)
                    .help("Clear shortcut")
                    .accessibilityIdentifier("ShortcutRecorderField.clear");
    }
    return HStack(0, {HStack(3, std::move(caps)), clear.frame({.width = kClearSlotWidth})})
        .padding(Edges::leading, 5)
        .fixedSize();
}

View ShortcutRecorderField::chrome(const View& label, const State& state, bool hasShortcut,
                                   bool recording) {
    const bool focused = state.isFocused();
    const auto colors =
        fieldColors(state.isSettling(), recording, state.isHovering(), focused, hasShortcut);
    const RoundedRectangle shape(kCornerRadius);
    const View ring = RoundedRectangle(8)
                          .stroke(kKeyboardFocusIndicator, 3)
                          .padding(-2)
                          .opacity(focused && !recording ? 1 : 0)
                          .allowsHitTesting(false)
                          .accessibilityIdentifier("ShortcutRecorderField.ring");
    return label.frame({.height = kHeight})
        .background(shape.fill(colors.fill).accessibilityIdentifier("ShortcutRecorderField.fill"))
        .overlay(shape.strokeBorder(colors.border, 1)
                     .accessibilityIdentifier("ShortcutRecorderField.border"))
        .overlay(ring)
        .contentShape(Rectangle());
}

View ShortcutRecorderField::body(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    if (!state.recorder) state.recorder = std::make_shared<ShortcutRecorder>(name, onChange);
    const auto recorder = state.recorder;
    const auto current = recorder->current();
    const bool recording = recorder->isRecording();
    const bool taken = current && recorder->currentIsTaken();

    // The transition sits inside the identity, on the view that comes and goes with it: outside,
    // it would not be found and both labels would cross-fade at once, glyphs over glyphs.
    View field = chrome(label(ctx).transition(labelTransition()).id(current), state,
                        current.has_value(), recording);
    if (!current) field = field.padding(Edges::trailing, kClearSlotWidth);

    return field.animation(Animation::easeOut(0.24), current)
        .animation(ctx.animation(Animation::easeOut(kHoverFade)), state.isFocused())
        .onTapGesture([&ctx] {
            ctx.state.startedByClick = true;
            ctx.state.recorder->startRecording();
        })
        .onHover([&ctx](bool hovering) {
            withAnimation(ctx.animation(Animation::easeOut(kHoverFade)),
                          [&] { ctx.state.isHovering.set(hovering); });
        })
        .focusable()
        .focused(state.isFocused)
        .onKeyPress([&ctx](const KeyPress& press) {
            // While recording, the recorder sees every key before the field does. Escape while
            // not recording is the window's: it closes Settings.
            if (press.key == Key::returnKey || press.key == Key::space) {
                ctx.state.recorder->startRecording();
                return true;
            }
            return false;
        })
        .onChange(recording,
                  [&ctx](bool isRecording) {
                      auto& state = ctx.state;
                      if (isRecording) {
                          watchWindow(ctx);
                          return;
                      }
                      state.windowResignation.reset();
                      state.recorder->stopRecording();
                      if (!state.startedByClick) return;
                      state.startedByClick = false;
                      ctx.resignFocus();
                  })
        .onChange(current,
                  [&ctx](const std::optional<GlobalShortcuts::Shortcut>&) {
                      auto& state = ctx.state;
                      withoutAnimation([&] { state.isSettling.set(true); });
                      const auto weak = ctx.weakState();
                      state.settleTask.replace(Task::start(platform().runLoop(), [weak]() -> Async {
                          if (!co_await Task::sleep(kSettleDelay)) co_return;
                          withOwner(weak, [](State& settled) {
                              withAnimation(Animation::easeOut(kSettleFade),
                                            [&] { settled.isSettling.set(false); });
                          });
                      }));
                  })
        .onAppear([&ctx] {
            const auto weak = ctx.weakState();
            // A shortcut changed anywhere (another field's overwrite, a restore) shows here
            // too.
            ctx.state.shortcutChanges = platform().notificationCenter().addObserver(
                GlobalShortcuts::kShortcutByNameDidChangeNotification, nullptr,
                NotificationDelivery::synchronous,
                weakly(weak, [](State& state) { state.recorder->refresh(); }));
        })
        // The recorder itself, not the field's state: the state goes before its views' handlers.
        .onDisappear([recorder] {
            if (recorder->isRecording.peek()) recorder->isRecording.set(false);
            recorder->stopRecording();
        })
        .popover(Binding<bool>(recorder->isRecording),
                 [recorder] { return View(ShortcutRecorderPopover{recorder}); },
                 {.background = Color(Palette::ink)})
        // No tooltip over the popover while recording.
        .help(recording ? ""
              : taken   ? kTakenHelp
                        : "Record a new shortcut")
        .accessibilityElement(AccessibilityChildren::ignore)
        .accessibilityAddTraits(AccessibilityTrait::isButton)
        .accessibilityValue(!current ? "None"
                            : taken  ? spokenShortcut(*current) + ", " + kTakenValue
                                     : spokenShortcut(*current))
        .accessibilityHint("Press Return to record a new shortcut.")
        .accessibilityAction([recorder] { recorder->startRecording(); })
        .accessibilityAction("Clear " + recorder->title + " shortcut",
                             [recorder] { recorder->clear(); })
        .accessibilityLabel(recorder->title + " shortcut");
}

}  // namespace talvori::ui
