#include "platform/core/Logger.hpp"

#include <cstdio>

namespace talvori {

namespace {

// The conversion letters printf knows; anything else ends the directive as plain text.
bool isConversion(char character) {
    return std::string_view("diouxXeEfFgGaAcspn").find(character) != std::string_view::npos;
}

// A width or precision beyond this would have printf allocate and fill as much memory; no log line
// needs more, and a format that ever comes from data must not be able to ask for it.
constexpr std::size_t kMaximumFieldLength = 1000;

// The digits at `position` onwards, advancing past them, capped at kMaximumFieldLength.
std::string cappedNumber(std::string_view format, std::size_t& position) {
    const std::size_t start = position;
    while (position < format.size() && format[position] >= '0' && format[position] <= '9') {
        ++position;
    }
    auto digits = format.substr(start, position - start);
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    const std::string cap = std::to_string(kMaximumFieldLength);
    if (digits.size() > cap.size() || (digits.size() == cap.size() && digits > cap)) return cap;
    return std::string(digits);
}

// A printf directive from `position` (just past the % and any privacy marker) in its one
// well-formed order: flags, width, precision, length modifiers (dropped: the argument decides
// the width). Leaves `position` on what follows, which is the conversion letter when there is one.
std::string parseDirective(std::string_view format, std::size_t& position) {
    std::string directive = "%";
    while (position < format.size() &&
           std::string_view("-+ #0").find(format[position]) != std::string_view::npos) {
        directive.push_back(format[position++]);
    }
    directive += cappedNumber(format, position);
    if (position < format.size() && format[position] == '.') {
        ++position;
        directive += "." + cappedNumber(format, position);
    }
    while (position < format.size() &&
           std::string_view("hlLqjzt").find(format[position]) != std::string_view::npos) {
        ++position;
    }
    return directive;
}

std::string formatOne(const std::string& directive, char conversion, const LogArgument* argument) {
    if (!argument) return "<missing>";
    const auto print = [](const std::string& pattern, auto value) {
        const int length = std::snprintf(nullptr, 0, pattern.c_str(), value);
        if (length < 0) return std::string();
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        std::snprintf(text.data(), text.size(), pattern.c_str(), value);
        text.pop_back();
        return text;
    };
    const std::string& flags = directive;
    switch (conversion) {
        case 'd':
        case 'i':
            if (auto* value = std::get_if<std::int64_t>(argument))
                return print(flags + "lld", static_cast<long long>(*value));
            if (auto* value = std::get_if<std::uint64_t>(argument))
                return print(flags + "llu", static_cast<unsigned long long>(*value));
            break;
        case 'c':
            // A length modifier on %c is undefined in printf; a character is passed as an int.
            if (auto* value = std::get_if<std::int64_t>(argument))
                return print(flags + 'c', static_cast<int>(*value));
            if (auto* value = std::get_if<std::uint64_t>(argument))
                return print(flags + 'c', static_cast<int>(*value));
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            if (auto* value = std::get_if<std::uint64_t>(argument))
                return print(flags + "ll" + conversion, static_cast<unsigned long long>(*value));
            if (auto* value = std::get_if<std::int64_t>(argument))
                return print(flags + "ll" + conversion, static_cast<unsigned long long>(*value));
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (auto* value = std::get_if<double>(argument))
                return print(flags + conversion, *value);
            break;
        case 's':
            if (auto* value = std::get_if<std::string>(argument))
                return print(flags + 's', value->c_str());
            break;
        case 'p':
            if (auto* value = std::get_if<const void*>(argument)) return print(flags + 'p', *value);
            break;
        default:
            break;
    }
    // A mismatch prints the argument plainly instead of reinterpreting it.
    return std::visit(
        [](const auto& value) -> std::string {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return value;
            } else if constexpr (std::is_same_v<T, const void*>) {
                char text[32];
                std::snprintf(text, sizeof text, "%p", value);
                return text;
            } else {
                return std::to_string(value);
            }
        },
        *argument);
}

}  // namespace

std::string formatLogMessage(std::string_view format, const std::vector<LogArgument>& arguments) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out.push_back(format[i]);
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        if (j < format.size() && format[j] == '{') {
            const auto close = format.find('}', j);
            if (close == std::string_view::npos) break;
            j = close + 1;
        }
        const std::string directive = parseDirective(format, j);
        if (j >= format.size() || !isConversion(format[j]) || format[j] == 'n') {
            out.append(format.substr(i, j - i));
            i = j - 1;
            continue;
        }
        out +=
            formatOne(directive, format[j], next < arguments.size() ? &arguments[next] : nullptr);
        ++next;
        i = j;
    }
    return out;
}

}  // namespace talvori
