// The desktop's settings table, as any program that owns the settings selection publishes it.
#include "FuzzTarget.hpp"
#include "XSettingsBlob.hpp"

using namespace talvori;
using x11::X11XSettings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> blob(data, data + size);
    const auto table = X11XSettings::parse(blob);
    fuzz::check(table.size() <= size / 12, "more settings read than the table has room for");
    // What was read is what the table says: written again and read back, it is the same table.
    fuzz::check(X11XSettings::parse(fuzz::xsettingsBlob(table)) == table,
                "a table read back differs from the one written");
    return 0;
}
