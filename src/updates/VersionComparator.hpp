#pragma once

#include <compare>
#include <string_view>

namespace talvori::updates {

// Orders build numbers and version strings the way people read them: runs of digits compare by
// value (1.10 after 1.9), letters compare as text, and a version that goes on with letters where
// the other ends is a pre-release of it (1.0b2 before 1.0), while one that goes on with digits is
// later (1.0.1 after 1.0).
class VersionComparator {
  public:
    static std::strong_ordering compare(std::string_view left, std::string_view right);
};

}  // namespace talvori::updates
