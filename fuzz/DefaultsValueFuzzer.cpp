// Stored values: the tagged file form of every value in the settings store.
#include "FuzzTarget.hpp"
#include "platform/core/DefaultsValue.hpp"
#include "platform/core/Json.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto json = Json::parse(fuzz::text(data, size));
    if (!json) return 0;
    const auto value = DefaultsValue::fromJson(*json);
    if (!value) return 0;
    // What decodes is written back as a value that decodes to itself.
    const auto written = value->toJson();
    const auto again = DefaultsValue::fromJson(written);
    fuzz::check(again && *again == *value, "a stored value does not read back as itself");
    fuzz::check(Json::dump(written).has_value(), "a stored value cannot be written as JSON");
    return 0;
}
