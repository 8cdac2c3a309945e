#include "reminder/ReleaseNotesText.hpp"

#include <cctype>

namespace talvori {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Whether `text` at `position` holds `name` (any case) followed by white space, "/" or ">", or
// ends there: the whole name of a tag, not the start of a longer one.
bool namesTag(std::string_view text, std::size_t position, std::string_view name) {
    if (text.size() - position < name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (lower(text[position + i]) != lower(name[i])) return false;
    }
    const std::size_t after = position + name.size();
    return after == text.size() || isSpace(text[after]) || text[after] == '/' || text[after] == '>';
}

// The first "</name" closing tag at or after `from`.
std::size_t findClosingTag(std::string_view text, std::size_t from, std::string_view name) {
    for (std::size_t at = text.find("</", from); at != std::string_view::npos;
         at = text.find("</", at + 2)) {
        if (namesTag(text, at + 2, name)) return at;
    }
    return std::string_view::npos;
}

// Where scanning goes on after a comment or a script or style element that starts at `open`
// (the "<"); `open` itself when none starts there.
std::size_t skipOpaque(std::string_view text, std::size_t open) {
    if (text.substr(open, 4) == "<!--") {
        const auto end = text.find("-->", open + 4);
        return end == std::string_view::npos ? text.size() : end + 3;
    }
    for (std::string_view name : {"script", "style"}) {
        if (namesTag(text, open + 1, name)) {
            const auto end = findClosingTag(text, open + 1, name);
            return end == std::string_view::npos ? text.size() : end + 2;
        }
    }
    return open;
}

// Length of the UTF-8 white-space character at the front of `text` beyond ASCII (no-break space,
// the typographic spaces, line and paragraph separators), or 0.
std::size_t unicodeSpaceLength(std::string_view text) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.size() >= 2 && byte(0) == 0xC2 && (byte(1) == 0xA0 || byte(1) == 0x85)) return 2;
    if (text.size() >= 3 && byte(0) == 0xE2 && byte(1) == 0x80 &&
        (byte(2) <= 0x8A || byte(2) == 0xA8 || byte(2) == 0xA9 || byte(2) == 0xAF)) {
        return 3;
    }
    if (text.size() >= 3 && byte(0) == 0xE2 && byte(1) == 0x81 && byte(2) == 0x9F) return 3;
    if (text.size() >= 3 && byte(0) == 0xE3 && byte(1) == 0x80 && byte(2) == 0x80) return 3;
    if (text.size() >= 3 && byte(0) == 0xE1 && byte(1) == 0x9A && byte(2) == 0x80) return 3;
    return 0;
}

}  // namespace

std::optional<std::string_view> ReleaseNotesText::firstElementContent(std::string_view html,
                                                                      std::string_view tag) {
    std::size_t at = 0;
    while ((at = html.find('<', at)) != std::string_view::npos) {
        const std::size_t skipped = skipOpaque(html, at);
        if (skipped != at) {
            at = skipped;
            continue;
        }
        if (!namesTag(html, at + 1, tag)) {
            ++at;
            continue;
        }
        const auto openEnd = html.find('>', at);
        if (openEnd == std::string_view::npos) return std::nullopt;
        const auto close = findClosingTag(html, openEnd + 1, tag);
        // Without a closing tag after this element, none comes after a later one either.
        if (close == std::string_view::npos) return std::nullopt;
        return html.substr(openEnd + 1, close - openEnd - 1);
    }
    return std::nullopt;
}

std::string ReleaseNotesText::stripTags(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto open = text.find('<', at);
        if (open == std::string_view::npos) break;
        const auto close = text.find('>', open + 1);
        if (close == std::string_view::npos) break;  // no tag can end any more
        if (close == open + 1) {
            // "<>" is no tag: keep the "<" and go on from the ">".
            result.append(text.substr(at, close - at));
            at = close;
            continue;
        }
        result.append(text.substr(at, open - at));
        at = close + 1;
    }
    result.append(text.substr(std::min(at, text.size())));
    return result;
}

std::string ReleaseNotesText::collapseWhitespace(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    bool pendingSpace = false;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = isSpace(text[at]) ? 1 : unicodeSpaceLength(text.substr(at));
        if (length) {
            pendingSpace = true;
            at += length;
            continue;
        }
        if (pendingSpace && !result.empty()) result += ' ';
        pendingSpace = false;
        result += text[at++];
    }
    return result;
}

bool ReleaseNotesText::isValidUTF8(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        std::size_t length = 0;
        std::uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++at;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - at < length) return false;
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < kSmallest[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        at += length;
    }
    return true;
}

}  // namespace talvori
