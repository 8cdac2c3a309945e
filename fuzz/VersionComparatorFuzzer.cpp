// Version comparison: the feed names the versions, and sorting them needs a strict weak ordering.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzTarget.hpp"
#include "updates/VersionComparator.hpp"

using namespace talvori;
using updates::VersionComparator;

namespace {

bool less(std::string_view a, std::string_view b) {
    return VersionComparator::compare(a, b) < 0;
}

bool same(std::string_view a, std::string_view b) {
    return VersionComparator::compare(a, b) == 0;
}

}  // namespace

// One version per line; the first few lines are checked in every combination.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kMostVersions = 12;
    std::vector<std::string_view> versions;
    std::string_view rest = fuzz::text(data, size);
    while (versions.size() < kMostVersions) {
        const auto end = rest.find('\n');
        versions.push_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    for (const auto a : versions) {
        fuzz::check(!less(a, a), "a version is older than itself");
        for (const auto b : versions) {
            fuzz::check(!(less(a, b) && less(b, a)), "two versions are each older than the other");
            fuzz::check(less(a, b) == (VersionComparator::compare(b, a) > 0),
                        "the comparison is not symmetric");
            for (const auto c : versions) {
                fuzz::check(!(less(a, b) && less(b, c)) || less(a, c), "older is not transitive");
                fuzz::check(!(same(a, b) && same(b, c)) || same(a, c),
                            "the same version is not transitive");
            }
        }
    }
    std::vector<std::string_view> sorted = versions;
    std::sort(sorted.begin(), sorted.end(), less);
    fuzz::check(std::is_sorted(sorted.begin(), sorted.end(), less), "sorting left them unsorted");
    return 0;
}
