#pragma once

#include <cstdint>
#include <version>

#ifdef __cpp_lib_source_location
#include <source_location>
#endif

namespace talvori {

#ifdef __cpp_lib_source_location

using SourceLocation = std::source_location;

#else

// Where a call came from, for compilers whose standard library cannot offer std::source_location
// (clang before 15 with libstdc++ lacks the builtin it needs). The same members, from the builtins
// that both compilers have; the function is named without its class and parameters.
class SourceLocation {
  public:
    static constexpr SourceLocation current(const char* file = __builtin_FILE(),
                                            const char* function = __builtin_FUNCTION(),
                                            std::uint_least32_t line = __builtin_LINE()) noexcept {
        SourceLocation location;
        location.file_ = file;
        location.function_ = function;
        location.line_ = line;
        return location;
    }

    constexpr const char* file_name() const noexcept { return file_; }
    constexpr const char* function_name() const noexcept { return function_; }
    constexpr std::uint_least32_t line() const noexcept { return line_; }
    constexpr std::uint_least32_t column() const noexcept { return 0; }

  private:
    const char* file_ = "";
    const char* function_ = "";
    std::uint_least32_t line_ = 0;
};

#endif

}  // namespace talvori
