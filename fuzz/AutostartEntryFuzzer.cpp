// The login item's autostart entry: the program's path, whatever folder it was put in, written
// into a desktop entry and read back.
#include <glib.h>

#include <algorithm>
#include <sstream>

#include "FuzzTarget.hpp"
#include "platform/x11/X11LoginItem.hpp"

using namespace talvori;
using x11::X11LoginItem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string path(fuzz::text(data, size));
    if (path.empty() || path.front() != '/') path.insert(0, "/");
    // A path no entry can hold is refused before anything is written.
    if (X11LoginItem::unusableProgram(path)) return 0;

    const std::string entry = X11LoginItem::entry(path);
    const std::string plain = X11LoginItem::entry("/usr/bin/talvori");
    fuzz::check(std::count(entry.begin(), entry.end(), '\n') ==
                    std::count(plain.begin(), plain.end(), '\n'),
                "the path made lines of its own in the entry");
    fuzz::check(g_utf8_validate(entry.data(), static_cast<gssize>(entry.size()), nullptr),
                "the entry is not UTF-8");
    std::istringstream stream(entry);
    fuzz::check(X11LoginItem::programIn(stream) == path,
                "the entry starts another program than the one written");
    return 0;
}
