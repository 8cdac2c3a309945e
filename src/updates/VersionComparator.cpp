#include "updates/VersionComparator.hpp"

#include <cctype>

namespace talvori::updates {

namespace {

enum class PartKind { number, letters, end };

struct Part {
    PartKind kind;
    std::string_view text;
};

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool isLetter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return std::isalpha(byte) || byte >= 0x80;
}

// Takes the next run of digits or of letters off the front of `rest`. Separators only part the
// runs: which one stands between two runs, and any at either end, mean nothing, so that no two
// spellings of one version order differently against a third.
Part nextPart(std::string_view& rest) {
    while (!rest.empty() && !isDigit(rest.front()) && !isLetter(rest.front())) {
        rest.remove_prefix(1);
    }
    if (rest.empty()) return {PartKind::end, {}};
    const bool digits = isDigit(rest.front());
    std::size_t length = 1;
    while (length < rest.size() && (digits ? isDigit(rest[length]) : isLetter(rest[length]))) {
        ++length;
    }
    const Part part{digits ? PartKind::number : PartKind::letters, rest.substr(0, length)};
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

// The kinds in their order: letters where the other version ends mark a pre-release of it (1.0b
// before 1.0), digits a later release (1.0.1 after 1.0).
int rank(PartKind kind) {
    switch (kind) {
        case PartKind::letters:
            return 0;
        case PartKind::end:
            return 1;
        case PartKind::number:
            return 2;
    }
    return 1;
}

}  // namespace

// Part by part, each version ending in an end part that sorts between letters and numbers: a
// lexicographic order over totally ordered parts, which is a strict weak ordering however odd
// the text.
std::weak_ordering VersionComparator::compare(std::string_view left, std::string_view right) {
    for (;;) {
        const Part a = nextPart(left);
        const Part b = nextPart(right);
        if (a.kind != b.kind) return rank(a.kind) <=> rank(b.kind);
        if (a.kind == PartKind::end) return std::weak_ordering::equivalent;
        const auto ordering = a.kind == PartKind::number ? compareNumbers(a.text, b.text)
                                                         : a.text.compare(b.text) <=> 0;
        if (ordering != 0) return ordering;
    }
}

}  // namespace talvori::updates
