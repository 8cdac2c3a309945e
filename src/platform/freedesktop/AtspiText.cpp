#include "platform/freedesktop/AtspiText.hpp"

#include <algorithm>

namespace talvori::freedesktop {

namespace {

bool isContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The bytes of the character starting at `byte`: its lead byte and the continuation bytes after
// it, as many as the lead promises and no more.
std::size_t characterBytes(std::string_view text, std::size_t byte) {
    const auto lead = static_cast<unsigned char>(text[byte]);
    const std::size_t promised = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t length = 1;
    while (length < promised && byte + length < text.size() &&
           isContinuation(text[byte + length])) {
        ++length;
    }
    return length;
}

}  // namespace

AtspiText::AtspiText(std::string_view text) : text_(text) {
    for (std::size_t byte = 0; byte < text_.size(); byte += characterBytes(text_, byte)) ++length_;
}

int AtspiText::clamp(int offset) const {
    return std::clamp(offset, 0, length_);
}

std::size_t AtspiText::byteOffset(int offset) const {
    const int wanted = clamp(offset);
    std::size_t byte = 0;
    for (int index = 0; index < wanted; ++index) byte += characterBytes(text_, byte);
    return byte;
}

int AtspiText::offsetOfByte(std::size_t byte) const {
    int offset = 0;
    for (std::size_t at = 0; at < std::min(byte, text_.size()); at += characterBytes(text_, at)) {
        ++offset;
    }
    return offset;
}

std::string AtspiText::slice(int start, int end) const {
    const int first = clamp(start);
    const int last = end < 0 ? length_ : std::max(first, clamp(end));
    const std::size_t from = byteOffset(first);
    return std::string(text_.substr(from, byteOffset(last) - from));
}

int AtspiText::codePointAt(int offset) const {
    if (offset < 0 || offset >= length_) return 0;
    const std::size_t byte = byteOffset(offset);
    const std::size_t bytes = characterBytes(text_, byte);
    auto value = static_cast<unsigned char>(text_[byte]);
    int code = bytes == 1 ? value : value & (0x7F >> bytes);
    for (std::size_t index = 1; index < bytes; ++index) {
        code = (code << 6) | (static_cast<unsigned char>(text_[byte + index]) & 0x3F);
    }
    return code;
}

bool AtspiText::isSpace(int offset) const {
    const int code = codePointAt(offset);
    return code == ' ' || code == '\t' || code == '\n' || code == 0xA0;
}

std::pair<int, int> AtspiText::unitAt(int offset, Unit unit) const {
    const int at = clamp(offset);
    switch (unit) {
        case Unit::character:
            return at < length_ ? std::pair{at, at + 1} : std::pair{at, at};
        case Unit::line:
            return {0, length_};
        case Unit::word: {
            // A word starts where spaces end; the spaces after it belong to it.
            int start = at;
            while (start > 0 && !(isSpace(start - 1) && !isSpace(start))) --start;
            int end = start;
            while (end < length_ && !isSpace(end)) ++end;
            while (end < length_ && isSpace(end)) ++end;
            return {start, end};
        }
    }
    return {at, at};
}

}  // namespace talvori::freedesktop
