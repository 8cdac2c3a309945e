// The hot-key library's text bundle: a table of texts per language, read from beside the program.
#include <fstream>

#include "FuzzTarget.hpp"
#include "GlobalShortcuts/ResourceBundle.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto folder = fuzz::scratchFolder();
    const auto bundle = folder / GlobalShortcuts::ResourceBundle::kBundleName;
    std::filesystem::create_directories(bundle);
    std::ofstream(bundle / "en.json", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const auto found = GlobalShortcuts::ResourceBundle::find({folder}, {"de", "en"});
    fuzz::check(found.has_value(), "a bundle folder was not found");
    for (const char* key :
         {"space_key", "record_shortcut", "keyboard_shortcut_used_by_menu_item"}) {
        (void)found->localizedString(key);
    }
    return 0;
}
