#pragma once

#include <functional>
#include <string>
#include <vector>

#include "onboarding/FinishVariant.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// The last page of the first-run window, in two variants: with the permission granted, or
// skipped, where an inline link still offers to grant it. Its button starts using the product.
struct FinishStep {
    FinishVariant variant = FinishVariant::granted;
    std::function<void()> onGrantedInPlace;
    std::function<void()> onStart;

    // The lines under the picture, in order.
    static const std::vector<std::string>& lines(FinishVariant variant);

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
