#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace talvori {

// A callback that reaches its owner only while the owner exists, and does nothing once it is gone.
// `action` is a member function of T or anything callable as action(T&, arguments...); an action
// that takes none of the callback's arguments (a timer's tick that ignores its timer) is called
// without them. The owner is held strongly for the length of the call, so an action that drops the
// owner's last other reference finishes safely. What the action returns is dropped.
//
//     panel.onMove = weakly(weak_from_this(), &Controller::panelDidMove);
//     timer = Timer::scheduledTimer(loop, 1, true, weakly(weak, &Controller::tick));
// Calls `action` on `self` alone. The ignored arguments only make the call depend on them, so
// that a compiler checks it once the action is known to take none of them, not before.
template <class Action, class T, class... Ignored>
void callWithoutArguments(const Action& action, T& self, const Ignored&...) {
    std::invoke(action, self);
}

template <class T, class Action>
auto weakly(std::weak_ptr<T> owner, Action action) {
    return [owner = std::move(owner), action = std::move(action)](auto&&... arguments) {
        auto self = owner.lock();
        if (!self) return;
        if constexpr (std::is_invocable_v<const Action&, T&, decltype(arguments)...>) {
            std::invoke(action, *self, std::forward<decltype(arguments)>(arguments)...);
        } else {
            callWithoutArguments(action, *self, arguments...);
        }
    };
}

}  // namespace talvori
