#pragma once

#include <memory>

#include "recorder/ShortcutRecorder.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// What hangs below a recording field: one short block of text and key caps telling what the
// recorder waits for or what went wrong with the last key, and a footer with "Close" (and
// "Overwrite" in a conflict). Taken and saved combinations glow red or green for a moment.
struct ShortcutRecorderPopover {
    static constexpr double kWidth = 232;
    // How long a glow holds before it fades, and how long it fades.
    static constexpr double kFlashHold = 0.12;
    static constexpr double kFlashFade = 0.5;

    // Which message the recorder's state calls for.
    enum class Block {
        needsModifier,
        reserved,
        conflict,
        saved,
        currentShortcut,
        holding,
        example
    };
    static Block block(const ShortcutRecorder::Phase& phase, std::uint64_t heldModifiers,
                       bool hasCurrent);

    std::shared_ptr<ShortcutRecorder> recorder;

    struct State {
        // The glow level of the caps: 0.5 right after a judged key, fading to 0.
        Observable<double> flash{0};
    };

    View body(ViewContext<State>& ctx) const;
};

}  // namespace talvori::ui
