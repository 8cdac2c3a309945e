#include "GlobalShortcuts/UnicodeText.hpp"

#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <memory>

namespace GlobalShortcuts {

namespace {

std::string toUtf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

// The number of scalars in `text`, stopping at two; -1 for text that is not valid UTF-8.
int scalarCountUpToTwo(const std::string& text) {
    int count = 0;
    std::int32_t offset = 0;
    const auto length = static_cast<std::int32_t>(text.size());
    while (offset < length && count < 2) {
        UChar32 scalar = 0;
        U8_NEXT(text.data(), offset, length, scalar);
        if (scalar < 0) return -1;
        ++count;
    }
    return count;
}

}  // namespace

bool UnicodeText::isSingleGrapheme(const std::string& text) {
    // One scalar is one grapheme; only combined sequences need the segmentation rules.
    const int scalars = scalarCountUpToTwo(text);
    if (scalars <= 1) return scalars == 1;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return false;
    const auto unicode = icu::UnicodeString::fromUTF8(text);
    characters->setText(unicode);
    characters->first();
    return characters->next() == unicode.length();
}

std::string UnicodeText::capitalized(const std::string& text) {
    // A single word, the usual case, needs no word segmentation.
    if (text.find_first_of(" \t\n") == std::string::npos) {
        std::string result;
        icu::StringByteSink<std::string> sink(&result);
        UErrorCode status = U_ZERO_ERROR;
        icu::CaseMap::utf8ToTitle("", U_TITLECASE_WHOLE_STRING, nullptr, text, sink, nullptr,
                                  status);
        if (U_SUCCESS(status)) return result;
    }
    auto unicode = icu::UnicodeString::fromUTF8(text);
    unicode.toTitle(nullptr, icu::Locale::getRoot());
    return toUtf8(unicode);
}

std::string UnicodeText::lowercased(const std::string& text) {
    auto unicode = icu::UnicodeString::fromUTF8(text);
    unicode.toLower(icu::Locale::getRoot());
    return toUtf8(unicode);
}

std::optional<std::string> UnicodeText::scalarText(std::int64_t value) {
    if (value < 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
    return toUtf8(icu::UnicodeString(static_cast<UChar32>(value)));
}

}  // namespace GlobalShortcuts
