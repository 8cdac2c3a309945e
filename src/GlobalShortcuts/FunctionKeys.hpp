#pragma once

#include <set>

#include "platform/desktop/Event.hpp"

namespace GlobalShortcuts {

// The function keys F1 to F35 as key events name them: keys a recorder takes without modifiers.
struct FunctionKeys {
    static const std::set<talvori::SpecialKey>& all();
    static bool contains(talvori::SpecialKey key) { return all().contains(key); }
};

}  // namespace GlobalShortcuts
