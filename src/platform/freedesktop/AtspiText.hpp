#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace talvori::freedesktop {

// A UTF-8 text as readers count it: offsets are characters (code points), not bytes. Offsets
// out of range are clamped; bytes that are no valid UTF-8 count one character each.
class AtspiText {
  public:
    // What a reader asks for around an offset.
    enum class Unit { character, word, line };

    explicit AtspiText(std::string_view text);

    int length() const { return length_; }
    std::size_t byteOffset(int offset) const;
    int offsetOfByte(std::size_t byte) const;
    // The characters from `start` to `end` (end -1: to the end).
    std::string slice(int start, int end) const;
    // The character's code point; 0 outside the text.
    int codePointAt(int offset) const;
    // The character, word (with the spaces after it) or line holding `offset`: start and end.
    std::pair<int, int> unitAt(int offset, Unit unit) const;

  private:
    int clamp(int offset) const;
    bool isSpace(int offset) const;

    std::string_view text_;
    int length_ = 0;
};

}  // namespace talvori::freedesktop
