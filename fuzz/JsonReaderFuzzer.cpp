// The JSON reader: every stored document and record goes through it.
#include "FuzzTarget.hpp"
#include "platform/core/Json.hpp"
#include "platform/core/JsonReader.hpp"
#include "platform/core/UUID.hpp"

using namespace talvori;

namespace {

// Records have a handful of members: the reader finds each by a pass over the object, so only
// the first few are read by name, and every member's value is decoded directly. An object of many
// members then costs a pass, not a pass per member.
constexpr std::size_t kMembersReadByName = 16;

template <class... Types>
void readEveryMemberAs(const JsonValue& object) {
    JsonReader reader(object);
    std::size_t index = 0;
    for (const auto& [key, value] : object.items()) {
        if (index++ < kMembersReadByName) ((void)reader.optional<Types>(key), ...);
        ((void)decodeJson<Types>(value), ...);
    }
}

// The library's objects keep their members in order by a pass over those read so far for each new
// one, quadratic in the member count: the reference reads into sorted maps, and the document is
// compared with it as written out and read back that way.
using SortedJson = nlohmann::json;

bool isNestedDeeperThan(const SortedJson& value, std::size_t levels) {
    if (!value.is_structured()) return false;
    if (levels == 0) return true;
    for (const auto& element : value) {
        if (isNestedDeeperThan(element, levels - 1)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = fuzz::text(data, size);
    const auto document = Json::parse(input);
    // The library's own reader, which builds its documents another way, is the reference.
    const auto reference = SortedJson::parse(input, nullptr, /*allow_exceptions=*/false);
    // Past the reader's nesting limit only the library reads the text; comparing with what it
    // built would recurse as deep.
    if (!reference.is_discarded() && isNestedDeeperThan(reference, Json::kMaximumNesting)) {
        fuzz::check(!document, "the reader read a document nested beyond its limit");
        return 0;
    }
    fuzz::check(document.has_value() == !reference.is_discarded(),
                "the reader and the library disagree on whether the text is JSON");
    if (!document) return 0;

    const auto dumped = Json::dump(*document);
    fuzz::check(dumped.has_value(), "a document that was read cannot be written");
    fuzz::check(SortedJson::parse(*dumped, nullptr, false) == reference,
                "the reader builds another document than the library");
    const auto again = Json::parse(*dumped);
    fuzz::check(again && *again == *document, "a written document reads back differently");

    if (document->is_object()) {
        readEveryMemberAs<bool, double, std::int8_t, std::int32_t, std::uint32_t, std::int64_t,
                          std::string, UUID, std::vector<std::string>, std::vector<double>,
                          JsonValue>(*document);
    }
    return 0;
}
