#pragma once

#include <compare>
#include <string_view>

namespace talvori::updates {

// Orders build numbers and version strings the way people read them: runs of digits compare by
// value (1.10 after 1.9), letters compare as text, and a version that goes on with letters where
// the other ends is a pre-release of it (1.0b2 before 1.0), while one that goes on with digits is
// later (1.0.1 after 1.0). Separators only part the runs: 1.2, 1-2 and 1.2. are one version. The
// order is a strict weak ordering over any text, as sorting needs.
class VersionComparator {
  public:
    static std::weak_ordering compare(std::string_view left, std::string_view right);
};

}  // namespace talvori::updates
