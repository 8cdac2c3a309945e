// The settings file: read at every start, rewritten after every change.
#include <algorithm>
#include <fstream>
#include <map>

#include "FuzzTarget.hpp"
#include "platform/core/Clock.hpp"
#include "platform/core/DefaultsFile.hpp"
#include "platform/core/Json.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzz::scratchFolder() / "defaults.json";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    static const VirtualClock clock;
    DefaultsFile file(path.string(), clock, Logger());
    const auto loaded = file.load();

    // A change written over whatever the file held loses no key that loaded, and keeps what did
    // not load as it stands.
    const std::string key = "fuzz.written";
    const auto one = std::make_shared<const DefaultsValue>(std::int64_t{1});
    fuzz::check(file.write({{key, one}}, loaded, 0).written,
                "the settings file could not be written");
    auto expected = loaded;
    expected.insert_or_assign(key, one);
    const auto reloaded = file.load();
    fuzz::check(std::equal(reloaded.begin(), reloaded.end(), expected.begin(), expected.end(),
                           [](const auto& a, const auto& b) {
                               return a.first == b.first && *a.second == *b.second;
                           }),
                "a write lost or changed a setting");

    std::ifstream written(path, std::ios::binary);
    const auto document = Json::parse(std::string(std::istreambuf_iterator<char>(written), {}));
    fuzz::check(document && document->is_object(), "the settings file was written as no object");
    bool setAside = false;
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
        setAside =
            setAside || entry.path().filename().string().find(".corrupt-") != std::string::npos;
    }
    const auto original = Json::parse(fuzz::text(data, size));
    if (!original || !original->is_object() || setAside) return 0;
    for (const auto& [name, value] : original->items()) {
        if (name == key || loaded.contains(name)) continue;
        const auto kept = document->find(name);
        fuzz::check(kept != document->end() && *kept == value,
                    "a value that did not load was not kept as it stood");
    }
    return 0;
}
