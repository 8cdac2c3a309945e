#pragma once

#include <memory>
#include <utility>

namespace talvori {

// A callback that runs `body(owner, arguments...)` only while `owner` exists.
template <class Owner, class Body>
auto weakly(std::weak_ptr<Owner> owner, Body body) {
    return [owner = std::move(owner), body = std::move(body)](auto&&... arguments) {
        if (auto strong = owner.lock())
            body(*strong, std::forward<decltype(arguments)>(arguments)...);
    };
}

template <class Owner, class Body>
auto weakly(const std::shared_ptr<Owner>& owner, Body body) {
    return weakly(std::weak_ptr<Owner>(owner), std::move(body));
}

}  // namespace talvori
