#pragma once

#include <functional>
#include <memory>

#include "GlobalShortcuts/Name.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/Task.hpp"
#include "recorder/ShortcutRecorder.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// One global shortcut in the settings: the stored shortcut as key caps (or "Add Shortcut"), a
// clear button, and recording on a click, Return or Space, with the recorder's popover below the
// field while it records. The field looks the same in every phase; it changes only with the
// stored shortcut, recording, hover, focus and a short settle after the shortcut changed.
struct ShortcutRecorderField {
    static constexpr double kHeight = 24;
    static constexpr double kCornerRadius = 6;
    static constexpr double kClearSlotWidth = 20;
    // How long fill and border stay away after the stored shortcut changed, and their return.
    static constexpr double kSettleDelay = 0.42;
    static constexpr double kSettleFade = 0.2;
    static constexpr double kHoverFade = 0.15;
    // A stored shortcut the desktop holds never fires: it says so until another is recorded.
    static constexpr const char* kTakenHelp =
        "Your desktop already uses this shortcut. Click to record another.";
    static constexpr const char* kTakenValue = "taken: your desktop already uses it";
    // The system's keyboard focus ring.
    static constexpr Color kKeyboardFocusIndicator = Color::rgb255(27, 149, 255, 0.5);

    GlobalShortcuts::Name name;
    // Runs after every store or clear made through the field.
    std::function<void()> onChange;

    struct State {
        // Made once, from the name and action the field first got.
        std::shared_ptr<ShortcutRecorder> recorder;
        Observable<bool> isHovering{false};
        Observable<bool> isSettling{false};
        // The recording now was started by a click, so its end also ends the keyboard focus.
        bool startedByClick = false;
        TaskSlot settleTask;
        Observable<bool> isFocused{false};
        Registration shortcutChanges;
        // The window the recording runs in giving up key status ends the recording.
        Registration windowResignation;
    };

    View body(ViewContext<State>& ctx) const;

  private:
    View label(ViewContext<State>& ctx) const;
    static View chrome(const View& label, const State& state, bool hasShortcut, bool recording);
};

}  // namespace talvori::ui
