#include "updates/VersionComparator.hpp"

#include <cctype>

namespace talvori::updates {

namespace {

enum class PartKind { number, letters, separator };

struct Part {
    PartKind kind;
    std::string_view text;
};

PartKind kindOf(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isdigit(byte)) return PartKind::number;
    if (std::isalpha(byte) || byte >= 0x80) return PartKind::letters;
    return PartKind::separator;
}

// Takes the next run of one kind off the front of `rest`; separators come one at a time.
Part nextPart(std::string_view& rest) {
    const PartKind kind = kindOf(rest.front());
    std::size_t length = 1;
    if (kind != PartKind::separator) {
        while (length < rest.size() && kindOf(rest[length]) == kind) ++length;
    }
    Part part{kind, rest.substr(0, length)};
    rest.remove_prefix(length);
    return part;
}

// Compares digit runs of any length by value, without converting them to integers.
std::strong_ordering compareNumbers(std::string_view left, std::string_view right) {
    while (left.size() > 1 && left.front() == '0') left.remove_prefix(1);
    while (right.size() > 1 && right.front() == '0') right.remove_prefix(1);
    if (left.size() != right.size()) return left.size() <=> right.size();
    return left.compare(right) <=> 0;
}

// What the remaining part of the longer version makes of it: more digits make it later, letters
// (a pre-release suffix) make it earlier.
std::strong_ordering remainderOrdering(std::string_view rest) {
    while (!rest.empty() && kindOf(rest.front()) == PartKind::separator) rest.remove_prefix(1);
    if (rest.empty()) return std::strong_ordering::equal;
    return kindOf(rest.front()) == PartKind::number ? std::strong_ordering::greater
                                                    : std::strong_ordering::less;
}

}  // namespace

std::strong_ordering VersionComparator::compare(std::string_view left, std::string_view right) {
    while (!left.empty() && !right.empty()) {
        const Part a = nextPart(left);
        const Part b = nextPart(right);
        if (a.kind != b.kind) {
            // A number where the other has letters or a separator is the later release.
            if (a.kind == PartKind::number) return std::strong_ordering::greater;
            if (b.kind == PartKind::number) return std::strong_ordering::less;
            // A separator against letters: the letters mark a pre-release.
            return a.kind == PartKind::separator ? std::strong_ordering::greater
                                                 : std::strong_ordering::less;
        }
        const auto ordering = a.kind == PartKind::number ? compareNumbers(a.text, b.text)
                                                         : a.text.compare(b.text) <=> 0;
        if (ordering != 0) return ordering;
    }
    if (!left.empty()) return remainderOrdering(left);
    if (!right.empty()) return 0 <=> remainderOrdering(right);
    return std::strong_ordering::equal;
}

}  // namespace talvori::updates
