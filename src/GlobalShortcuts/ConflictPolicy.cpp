#include "GlobalShortcuts/ConflictPolicy.hpp"

namespace GlobalShortcuts {

bool conflictAccepts(ConflictBehavior behavior, int response) {
    switch (behavior) {
        case ConflictBehavior::block:
            return false;
        case ConflictBehavior::warn:
            return response == kSecondButtonResponse;
        case ConflictBehavior::allow:
            return true;
    }
    return false;
}

}  // namespace GlobalShortcuts

std::size_t std::hash<GlobalShortcuts::ConflictPolicy>::operator()(
    const GlobalShortcuts::ConflictPolicy& policy) const noexcept {
    // The three ordinals in field order.
    std::size_t seed = 0;
    for (const auto behavior : {policy.menuItem, policy.systemShortcut, policy.disallowed}) {
        seed = seed * 31 + static_cast<std::size_t>(behavior);
    }
    return seed;
}
