#include "covers/announceForAccessibility.hpp"

#include "platform/Platform.hpp"

namespace talvori {

void announceForAccessibility(const std::string& text) {
    platform().announcer().announce(text, Announcer::kHighPriority);
}

}  // namespace talvori
