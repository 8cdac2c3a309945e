#pragma once

#include <string>

namespace talvori {

// Asks the screen reader to speak `text` at high priority. Cannot fail and reports nothing.
void announceForAccessibility(const std::string& text);

}  // namespace talvori
