#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace talvori {

// Calls `action` on `self` alone. The ignored arguments only make the call depend on them, so
// that a compiler checks it once the action is known to take none of them, not before.
template <class Action, class T, class... Ignored>
decltype(auto) callWithoutArguments(const Action& action, T& self, const Ignored&...) {
    return std::invoke(action, self);
}

// Calls `action` as action(self, arguments...), or as action(self) when it takes none of them.
template <class Action, class T, class... Arguments>
decltype(auto) callOnOwner(const Action& action, T& self, Arguments&&... arguments) {
    if constexpr (std::is_invocable_v<const Action&, T&, Arguments...>) {
        return std::invoke(action, self, std::forward<Arguments>(arguments)...);
    } else {
        return callWithoutArguments(action, self, arguments...);
    }
}

// What a weak callback answers once its owner is gone: a given value, or what a given function
// makes of the callback's arguments (passThrough hands the first one back).
template <class Result, class Fallback, class... Arguments>
Result fallbackResult(const Fallback& fallback, const Arguments&... arguments) {
    if constexpr (std::is_invocable_v<const Fallback&, const Arguments&...>) {
        return Result(std::invoke(fallback, arguments...));
    } else {
        return Result(fallback);
    }
}

// The fallback of a monitor that hands on what it was given once its owner is gone, so that an
// event is never swallowed for an owner that no longer exists.
inline constexpr auto passThrough = [](const auto& first, const auto&...) { return first; };

// Marks a weak callback without a fallback: once the owner is gone it answers a default value, or
// nothing when its result has none.
struct NoFallback {};

// A callback that reaches its owner only while the owner exists, and does nothing once it is gone.
// `action` is a member function of T or anything callable as action(T&, arguments...); an action
// that takes none of the callback's arguments (a timer's tick that ignores its timer) is called
// without them. The owner is held strongly for the length of the call, so an action that drops the
// owner's last other reference finishes safely. What the action returns is returned; once the
// owner is gone the callback returns `fallback` (a value, or a function of the arguments), or
// without one a default value.
//
//     panel.onMove = weakly(weak_from_this(), &Controller::panelDidMove);
//     timer = Timer::scheduledTimer(loop, 1, true, weakly(weak, &Controller::tick));
//     monitor = input.addLocalMonitor(mask, weakly(weak, &Controller::keyDown, passThrough));
template <class T, class Action, class Fallback = NoFallback>
auto weakly(std::weak_ptr<T> owner, Action action, Fallback fallback = {}) {
    return [owner = std::move(owner), action = std::move(action),
            fallback = std::move(fallback)](auto&&... arguments) {
        using Result = decltype(callOnOwner(action, std::declval<T&>(),
                                            std::forward<decltype(arguments)>(arguments)...));
        constexpr bool answers =
            !std::is_void_v<Result> &&
            (!std::is_same_v<Fallback, NoFallback> ||
             (!std::is_reference_v<Result> && std::is_default_constructible_v<Result>));
        auto self = owner.lock();
        if constexpr (!answers) {
            if (self) callOnOwner(action, *self, std::forward<decltype(arguments)>(arguments)...);
        } else if constexpr (std::is_same_v<Fallback, NoFallback>) {
            if (!self) return Result{};
            return Result(
                callOnOwner(action, *self, std::forward<decltype(arguments)>(arguments)...));
        } else {
            if (!self) return fallbackResult<Result>(fallback, arguments...);
            return Result(
                callOnOwner(action, *self, std::forward<decltype(arguments)>(arguments)...));
        }
    };
}

// Calls `action` on the owner now, if it still exists: a coroutine reaches its owner afresh after
// each suspension this way, never holding it across one. Answers whether the owner was there, or
// for an action with a result, that result if it was.
//
//     co_await Task::sleep(delay);
//     if (!withOwner(weak, &Controller::step)) co_return;
template <class T, class Action, class... Arguments>
auto withOwner(const std::weak_ptr<T>& owner, const Action& action, Arguments&&... arguments) {
    using Result = decltype(callOnOwner(action, std::declval<T&>(), arguments...));
    auto self = owner.lock();
    if constexpr (std::is_void_v<Result>) {
        if (self) callOnOwner(action, *self, std::forward<Arguments>(arguments)...);
        return self != nullptr;
    } else {
        if (!self) return std::optional<std::decay_t<Result>>();
        return std::optional<std::decay_t<Result>>(
            callOnOwner(action, *self, std::forward<Arguments>(arguments)...));
    }
}

}  // namespace talvori
