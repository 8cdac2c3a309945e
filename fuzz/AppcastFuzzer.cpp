// The update feed: an RSS document from the network.
#include "FuzzTarget.hpp"
#include "updates/Appcast.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto appcast = updates::Appcast::parse(fuzz::text(data, size));
    if (!appcast) return 0;
    for (const char* build : {"", "1", "100", "1.2.3"}) {
        (void)appcast->bestItem(build, "14.0", "");
        (void)appcast->bestItem(build, "10.13", build);
    }
    return 0;
}
