#pragma once

#include <functional>
#include <optional>

#include "ui/Animation.hpp"

namespace talvori::ui {

// The context of a state change: whether the view changes it causes animate, and how. A change
// made inside withAnimation carries that animation to the views it rebuilds, even though they are
// rebuilt on a later run-loop turn.
struct Transaction {
    std::optional<Animation> animation;
    // Also silences animations that a subtree ties to a value (View::animation(curve, value)).
    bool disablesAnimations = false;
    bool operator==(const Transaction&) const = default;

    // The transaction of the change being made right now (empty outside withTransaction).
    static const Transaction& current();
    bool animates() const { return animation.has_value(); }
};

// Runs `body` with `transaction` as the current transaction.
void withTransaction(const Transaction& transaction, const std::function<void()>& body);
// Runs `body` so that the changes it makes animate with `animation` (none: no animation, as under
// Reduce Motion).
void withAnimation(const std::optional<Animation>& animation, const std::function<void()>& body);
// Runs `body` so that its changes happen at once, even inside an animated subtree.
void withoutAnimation(const std::function<void()>& body);

}  // namespace talvori::ui
