#pragma once

#include <string>
#include <string_view>

namespace talvori {

// A typed name without the spaces (every Unicode space separator) and tabs at either end; line
// breaks stay, as the user typed them. Text that is not UTF-8 is trimmed at its ASCII ends only.
std::string trimmedName(std::string_view text);

}  // namespace talvori
