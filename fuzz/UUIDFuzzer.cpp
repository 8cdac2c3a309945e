// UUIDs: the identifiers of covers and layouts in stored documents.
#include "FuzzTarget.hpp"
#include "platform/core/UUID.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto uuid = UUID::parse(fuzz::text(data, size));
    if (!uuid) return 0;
    const std::string text = uuid->uuidString();
    fuzz::check(text.size() == 36, "a UUID's text is not 36 characters long");
    fuzz::check(UUID::parse(text) == uuid, "a UUID's text does not read back as itself");
    return 0;
}
