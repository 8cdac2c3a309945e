#pragma once

#include <cstdint>

namespace talvori {

// "The newer request wins": take a number when a delayed request starts, and act at its end only if
// the number is still current.
class Generation {
  public:
    std::uint64_t next() { return ++value_; }
    std::uint64_t current() const { return value_; }
    bool isCurrent(std::uint64_t value) const { return value == value_; }

  private:
    std::uint64_t value_ = 0;
};

}  // namespace talvori
