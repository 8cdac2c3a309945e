// Stored shortcuts: the JSON text of a key code and its modifiers under each shortcut's name.
#include "FuzzTarget.hpp"
#include "GlobalShortcuts/Shortcut.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto shortcut =
        GlobalShortcuts::Shortcut::fromJsonText(std::string(fuzz::text(data, size)));
    if (!shortcut) return 0;
    fuzz::check(GlobalShortcuts::Shortcut::fromJsonText(shortcut->jsonText()) == shortcut,
                "a stored shortcut does not read back as itself");
    return 0;
}
