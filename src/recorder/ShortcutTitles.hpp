#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GlobalShortcuts/Name.hpp"

namespace talvori {

// The display title of one of the application's shortcut names.
struct ShortcutTitle {
    GlobalShortcuts::Name name;
    std::string title;
};

// The seven shortcut names of the application with their titles, in the order the recorder
// looks for another name already holding a shortcut. Made once for the installed platform.
const std::vector<ShortcutTitle>& shortcutTitles();

// The title of `name` looked up by its raw name; a name not in the table is shown by its raw name.
std::string titleForName(const GlobalShortcuts::Name& name);

// Whether `keyCode` is one of F1 to F20, the keys that may be recorded without a modifier.
bool isModifierFreeKey(std::int64_t keyCode);

}  // namespace talvori
