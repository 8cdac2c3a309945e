#include "GlobalShortcuts/FunctionKeys.hpp"

namespace GlobalShortcuts {

const std::set<talvori::SpecialKey>& FunctionKeys::all() {
    static const auto* const keys = [] {
        auto* set = new std::set<talvori::SpecialKey>();
        // The function keys follow F1 in order.
        for (int index = 0; index < 35; ++index) {
            set->insert(static_cast<talvori::SpecialKey>(static_cast<int>(talvori::SpecialKey::f1) +
                                                         index));
        }
        return set;
    }();
    return *keys;
}

}  // namespace GlobalShortcuts
