#pragma once

#include <functional>

#include "GlobalShortcuts/EventType.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "ui/UI.hpp"

namespace GlobalShortcuts {

// Gives a view (a button) the current shortcut of a name as its keyboard shortcut, follows the
// name's changes, and drops the shortcut while one of the library's recorders records, so that
// the keys being recorded trigger nothing.
struct GlobalKeyboardShortcutViewModifier {
    talvori::ui::View content;
    Name name;

    struct State {
        talvori::Observable<bool> isRecorderActive{false};
        // Toggled to build the view again; its value means nothing.
        talvori::Observable<bool> triggerRefresh{false};
        talvori::Registration shortcutChanges;
        talvori::Registration recorderChanges;
    };

    talvori::ui::View body(talvori::ui::ViewContext<State>& ctx) const;
};

// `content` with the current shortcut of `name` as its keyboard shortcut.
talvori::ui::View globalKeyboardShortcut(talvori::ui::View content, const Name& name);
// Runs `action` for every press and release of the name's shortcut while `content` is shown.
talvori::ui::View onKeyboardShortcut(talvori::ui::View content, const Name& name,
                                     std::function<void(EventType)> action);
// The same, for the events of `type` only.
talvori::ui::View onKeyboardShortcut(talvori::ui::View content, const Name& name, EventType type,
                                     std::function<void()> action);

}  // namespace GlobalShortcuts
