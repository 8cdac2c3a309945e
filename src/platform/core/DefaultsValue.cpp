#include "platform/core/DefaultsValue.hpp"

#include <cmath>

#include "platform/core/Base64.hpp"
#include "platform/core/Json.hpp"

namespace talvori {

namespace {
constexpr const char* kDataTag = "data";
constexpr const char* kArrayTag = "array";
constexpr const char* kDictionaryTag = "dictionary";

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;
}  // namespace

JsonValue DefaultsValue::toJson() const {
    return std::visit(
        Overloaded{
            [](bool value) { return JsonValue(value); },
            [](std::int64_t value) { return JsonValue(value); },
            // JSON cannot carry NaN or infinity; the store keeps them as 0 rather than fail.
            [](double value) { return JsonValue(std::isfinite(value) ? value : 0.0); },
            [](const std::string& value) { return JsonValue(value); },
            [](const Data& value) {
                return JsonValue{{kDataTag, Base64::encode(value)}};
            },
            [](const Array& value) {
                JsonValue elements = JsonValue::array();
                for (const auto& element : value) elements.push_back(element.toJson());
                return JsonValue{{kArrayTag, std::move(elements)}};
            },
            [](const Dictionary& value) {
                JsonValue members = Json::object(value.size());
                for (const auto& [key, member] : value) Json::append(members, key, member.toJson());
                return JsonValue{{kDictionaryTag, std::move(members)}};
            },
        },
        storage_);
}

std::optional<DefaultsValue> DefaultsValue::fromJson(const JsonValue& json) {
    return fromJson(json, 0);
}

std::optional<DefaultsValue> DefaultsValue::fromJson(const JsonValue& json, int depth) {
    switch (json.type()) {
        case JsonValue::value_t::boolean:
            return DefaultsValue(json.get<bool>());
        case JsonValue::value_t::number_integer:
            return DefaultsValue(json.get<std::int64_t>());
        case JsonValue::value_t::number_unsigned:
            if (json.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
                return std::nullopt;
            return DefaultsValue(json.get<std::int64_t>());
        case JsonValue::value_t::number_float:
            return DefaultsValue(json.get<double>());
        case JsonValue::value_t::string:
            return DefaultsValue(json.get<std::string>());
        case JsonValue::value_t::object:
            break;
        default:
            return std::nullopt;
    }
    if (json.size() != 1 || depth >= kMaximumDepth) return std::nullopt;
    const std::string& tag = json.begin().key();
    const JsonValue& content = json.front();
    if (tag == kDataTag && content.is_string()) {
        auto bytes = Base64::decode(content.get<std::string>());
        if (!bytes) return std::nullopt;
        return DefaultsValue(std::move(*bytes));
    }
    if (tag == kArrayTag && content.is_array()) {
        Array elements;
        for (const auto& element : content) {
            auto decoded = fromJson(element, depth + 1);
            if (!decoded) return std::nullopt;
            elements.push_back(std::move(*decoded));
        }
        return DefaultsValue(std::move(elements));
    }
    if (tag == kDictionaryTag && content.is_object()) {
        Dictionary members;
        for (auto member = content.begin(); member != content.end(); ++member) {
            auto decoded = fromJson(*member, depth + 1);
            if (!decoded) return std::nullopt;
            members.emplace(member.key(), std::move(*decoded));
        }
        return DefaultsValue(std::move(members));
    }
    return std::nullopt;
}

}  // namespace talvori
