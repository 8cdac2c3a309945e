#include "GlobalShortcuts/GlobalKeyboardShortcutViewModifier.hpp"

#include "GlobalShortcuts/EventStreams.hpp"
#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/ViewShortcut.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"

namespace GlobalShortcuts {

namespace {

using talvori::Async;
using talvori::Notification;
using talvori::NotificationDelivery;
using talvori::ui::View;

void toggle(talvori::Observable<bool>& flag) {
    flag.set(!flag.peek());
}

View runningStream(View content, std::function<talvori::AsyncStream<EventType>()> makeStream,
                   std::function<void(EventType)> action) {
    // The stream lives as long as the view: the view's going cancels the task, which ends it.
    return content.task(
        [makeStream = std::move(makeStream), action = std::move(action)]() -> Async {
            auto stream = makeStream();
            while (const auto event = co_await stream.next()) action(*event);
        });
}

}  // namespace

View GlobalKeyboardShortcutViewModifier::body(talvori::ui::ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    (void)state.triggerRefresh();
    View view = content;
    if (!state.isRecorderActive()) {
        if (const auto shortcut = getShortcut(name)) {
            if (const auto keyboardShortcut = toKeyboardShortcut(*shortcut)) {
                view = view.keyboardShortcut(*keyboardShortcut);
            }
        }
    }
    return view.onAppear([&ctx, name = name] {
        auto& center = talvori::platform().notificationCenter();
        const auto weak = ctx.weakState();
        ctx.state.shortcutChanges = center.addObserver(
            kShortcutByNameDidChangeNotification, nullptr, NotificationDelivery::synchronous,
            talvori::weakly(weak, [name](State& state, const Notification& notification) {
                const auto changed = shortcutName(notification);
                if (changed && changed->rawValue == name.rawValue) toggle(state.triggerRefresh);
            }));
        ctx.state.recorderChanges = center.addObserver(
            kRecorderActiveStatusDidChangeNotification, nullptr, NotificationDelivery::synchronous,
            talvori::weakly(weak, [](State& state, const Notification& notification) {
                state.isRecorderActive.set(isActive(notification));
                toggle(state.triggerRefresh);
            }));
    });
}

View globalKeyboardShortcut(View content, const Name& name) {
    return GlobalKeyboardShortcutViewModifier{std::move(content), name};
}

View onKeyboardShortcut(View content, const Name& name, std::function<void(EventType)> action) {
    return runningStream(
        std::move(content), [name] { return events(name); }, std::move(action));
}

View onKeyboardShortcut(View content, const Name& name, EventType type,
                        std::function<void()> action) {
    return runningStream(
        std::move(content), [name, type] { return events(type, name); },
        [action = std::move(action)](EventType) { action(); });
}

}  // namespace GlobalShortcuts
