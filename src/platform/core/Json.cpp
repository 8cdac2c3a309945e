#include "platform/core/Json.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

namespace talvori {

namespace {

// Builds a document from the parser's events. The parser's own builder looks every key up in its
// ordered object first, a pass over the members before it, and the object copies all its members
// each time it outgrows its room (its keys are const, so they cannot move): a settings file of
// 20,000 keys took most of a second to read. Here an object's members are gathered first and put
// in place once, when it closes. Repeated keys are settled then, as the parser's own builder
// settles them: the last value, in the place of the first.
class DocumentBuilder {
  public:
    using number_integer_t = JsonValue::number_integer_t;
    using number_unsigned_t = JsonValue::number_unsigned_t;
    using number_float_t = JsonValue::number_float_t;
    using string_t = JsonValue::string_t;
    using binary_t = JsonValue::binary_t;

    // Literals and strings end with their last character; a number may have been cut short, and
    // is known whole only once what follows it is read.
    bool null() { return addWhole(nullptr); }
    bool boolean(bool value) { return addWhole(value); }
    bool number_integer(number_integer_t value) { return add(value); }
    bool number_unsigned(number_unsigned_t value) { return add(value); }
    bool number_float(number_float_t value, const string_t&) { return add(value); }
    bool string(string_t& value) { return addWhole(std::move(value)); }
    bool binary(binary_t& value) { return add(JsonValue::binary(std::move(value))); }
    bool start_object(std::size_t) { return open(JsonValue::object()); }
    bool key(string_t& key) {
        // A key of the document's own object follows a comma: every member before it is whole.
        if (open_.size() == 1) wholeMembers_ = open_.front().members.size();
        key_ = std::move(key);
        return true;
    }
    bool end_object() {
        Open& open = open_.back();
        auto& gathered = open.members;
        settleRepeatedKeys(gathered);
        auto& members = static_cast<JsonValue::object_t::Container&>(
            open.value->get_ref<JsonValue::object_t&>());
        members.reserve(gathered.size());
        for (auto& [key, value] : gathered) members.emplace_back(std::move(key), std::move(value));
        close();
        return true;
    }
    bool start_array(std::size_t) { return open(JsonValue::array()); }
    bool end_array() {
        close();
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
        return false;
    }

    JsonValue& document() { return document_; }

    // After a failed parse: the members of the document's object that were read whole.
    JsonValue wholeMembers() {
        JsonValue object = JsonValue::object();
        if (open_.empty() || open_.front().value != &document_ || !document_.is_object()) {
            return object;
        }
        auto& gathered = open_.front().members;
        gathered.resize(std::min(gathered.size(), wholeMembers_));
        settleRepeatedKeys(gathered);
        auto& members =
            static_cast<JsonValue::object_t::Container&>(object.get_ref<JsonValue::object_t&>());
        for (auto& [key, value] : gathered) members.emplace_back(std::move(key), std::move(value));
        return object;
    }

  private:
    using Member = std::pair<std::string, JsonValue>;
    // An array or object being read, and for an object the members read so far. A value being
    // read is the last one of its parent, which grows only after it closes, so pointers to it
    // stay valid.
    struct Open {
        JsonValue* value;
        std::vector<Member> members;
    };

    // Where a new value goes: the document itself, the end of the open array, or the open
    // object's members under the last key.
    JsonValue* place(JsonValue value) {
        if (open_.empty()) {
            document_ = std::move(value);
            return &document_;
        }
        Open& parent = open_.back();
        if (parent.value->is_array()) {
            auto& elements = parent.value->get_ref<JsonValue::array_t&>();
            elements.push_back(std::move(value));
            return &elements.back();
        }
        parent.members.emplace_back(std::move(key_), std::move(value));
        return &parent.members.back().second;
    }
    bool add(JsonValue value) {
        place(std::move(value));
        return true;
    }
    bool addWhole(JsonValue value) {
        add(std::move(value));
        noteWholeMember();
        return true;
    }
    void close() {
        open_.pop_back();
        noteWholeMember();
    }
    void noteWholeMember() {
        if (open_.size() == 1) wholeMembers_ = open_.front().members.size();
    }
    bool open(JsonValue container) {
        if (open_.size() >= Json::kMaximumNesting) return false;
        JsonValue* placed = place(std::move(container));
        open_.push_back({placed, {}});
        return true;
    }

    static void settleRepeatedKeys(std::vector<Member>& members) {
        if (members.size() < 2) return;
        std::vector<bool> repeated(members.size(), false);
        bool anyRepeated = false;
        const auto settle = [&](std::size_t first, std::size_t later) {
            members[first].second = std::move(members[later].second);
            repeated[later] = anyRepeated = true;
        };
        // Small objects, the usual ones, are compared pairwise; large ones through a table.
        constexpr std::size_t kPairwiseLimit = 16;
        if (members.size() <= kPairwiseLimit) {
            for (std::size_t later = 1; later < members.size(); ++later) {
                for (std::size_t first = 0; first < later; ++first) {
                    if (!repeated[first] && members[first].first == members[later].first) {
                        settle(first, later);
                        break;
                    }
                }
            }
        } else {
            std::unordered_map<std::string_view, std::size_t> firstIndex;
            firstIndex.reserve(members.size());
            for (std::size_t later = 0; later < members.size(); ++later) {
                const auto [found, inserted] = firstIndex.emplace(members[later].first, later);
                if (!inserted) settle(found->second, later);
            }
        }
        if (!anyRepeated) return;
        std::size_t kept = 0;
        for (std::size_t index = 0; index < members.size(); ++index) {
            if (repeated[index]) continue;
            if (kept != index) members[kept] = std::move(members[index]);
            ++kept;
        }
        members.resize(kept);
    }

    JsonValue document_;
    std::vector<Open> open_;
    std::string key_;
    std::size_t wholeMembers_ = 0;
};

}  // namespace

std::optional<JsonValue> Json::parse(std::string_view text) {
    DocumentBuilder builder;
    if (!JsonValue::sax_parse(text, &builder)) return std::nullopt;
    return std::move(builder.document());
}

JsonValue Json::wholeMembers(std::string_view text) {
    DocumentBuilder builder;
    if (JsonValue::sax_parse(text, &builder)) {
        JsonValue& document = builder.document();
        return document.is_object() ? std::move(document) : JsonValue::object();
    }
    return builder.wholeMembers();
}

std::optional<std::string> Json::dump(const JsonValue& value) {
    if (!isFinite(value)) return std::nullopt;
    // Invalid UTF-8 in a string is replaced rather than thrown on.
    return value.dump(-1, ' ', false, JsonValue::error_handler_t::replace);
}

JsonValue Json::object(std::size_t capacity) {
    JsonValue value = JsonValue::object();
    value.get_ref<JsonValue::object_t&>().reserve(capacity);
    return value;
}

void Json::append(JsonValue& object, std::string key, JsonValue value) {
    object.get_ref<JsonValue::object_t&>().emplace_back(std::move(key), std::move(value));
}

bool Json::isNestedDeeperThan(const JsonValue& value, std::size_t levels) {
    if (!value.is_structured()) return false;
    if (levels == 0) return true;
    for (const auto& element : value) {
        if (isNestedDeeperThan(element, levels - 1)) return true;
    }
    return false;
}

bool Json::isFinite(const JsonValue& value) {
    switch (value.type()) {
        case JsonValue::value_t::number_float:
            return std::isfinite(value.get<double>());
        case JsonValue::value_t::array:
        case JsonValue::value_t::object:
            for (const auto& element : value) {
                if (!isFinite(element)) return false;
            }
            return true;
        default:
            return true;
    }
}

}  // namespace talvori
