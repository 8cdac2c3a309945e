// The layout document: every saved layout with its covers, under one settings key.
#include "FuzzTarget.hpp"
#include "covers/PresetManager.hpp"
#include "platform/Platform.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::installPlatform();
    auto defaults = UserDefaults::inMemory();
    defaults->set(PresetManager::standardKey, Data(data, data + size));
    PresetManager manager(PresetManager::standardKey, defaults);
    const auto layouts = manager.load();
    if (layouts.empty()) return 0;
    // Saved again, what loaded reads back as itself, and nothing was set aside for it.
    manager.save(layouts);
    fuzz::check(manager.load() == layouts, "saved layouts do not load as themselves");
    fuzz::check(!defaults->object(manager.backupKey()), "a readable document was set aside");
    return 0;
}
