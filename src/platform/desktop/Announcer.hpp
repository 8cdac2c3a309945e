#pragma once

#include <string>

namespace talvori {

// Spoken announcements for users of a screen reader. Cannot fail and reports nothing.
class Announcer {
  public:
    static constexpr int kHighPriority = 90;

    virtual ~Announcer() = default;
    virtual void announce(const std::string& text, int priority) = 0;
};

}  // namespace talvori
