#pragma once

#include <nlohmann/json_fwd.hpp>

namespace talvori {

// A JSON document. Objects keep their keys in insertion order, so records are written with their
// keys in the order their coding gives. Headers that only name it include this; code that builds
// or reads documents includes platform/core/Json.hpp.
using JsonValue = nlohmann::ordered_json;

}  // namespace talvori
