// The login item's autostart entry: the program's path, whatever folder it was put in, written
// into a desktop entry and read back.
#include <glib.h>

#include <algorithm>
#include <sstream>

#include "FuzzTarget.hpp"
#include "platform/freedesktop/AutostartEntry.hpp"

using namespace talvori;
using freedesktop::AutostartEntry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string path(fuzz::text(data, size));
    if (path.empty() || path.front() != '/') path.insert(0, "/");
    // A path no entry can hold is refused before anything is written.
    if (AutostartEntry::unusableProgram(path)) return 0;

    const std::string entry = AutostartEntry::entry(path);
    const std::string plain = AutostartEntry::entry("/usr/bin/talvori");
    fuzz::check(std::count(entry.begin(), entry.end(), '\n') ==
                    std::count(plain.begin(), plain.end(), '\n'),
                "the path made lines of its own in the entry");
    fuzz::check(g_utf8_validate(entry.data(), static_cast<gssize>(entry.size()), nullptr),
                "the entry is not UTF-8");
    std::istringstream stream(entry);
    fuzz::check(AutostartEntry::programIn(stream) == path,
                "the entry starts another program than the one written");
    return 0;
}
