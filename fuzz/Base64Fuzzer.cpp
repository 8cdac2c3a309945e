// Base-64: the text form of the data values in the settings file.
#include "FuzzTarget.hpp"
#include "platform/core/Base64.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto decoded = Base64::decode(fuzz::text(data, size))) {
        fuzz::check(Base64::decode(Base64::encode(*decoded)) == decoded,
                    "decoded bytes do not encode and decode to themselves");
    }
    const std::vector<std::uint8_t> bytes(data, data + size);
    fuzz::check(Base64::decode(Base64::encode(bytes)) == bytes,
                "bytes do not encode and decode to themselves");
    return 0;
}
