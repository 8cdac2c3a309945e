// Release notes: an HTML page from the network, of which the update reminder reads a summary.
#include "FuzzTarget.hpp"
#include "reminder/ReleaseNotesText.hpp"
#include "reminder/UpdateReminder.hpp"

using namespace talvori;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto html = fuzz::text(data, size);
    (void)UpdateReminder::firstElementText(html);
    (void)ReleaseNotesText::firstElementContent(html, "p");
    (void)ReleaseNotesText::collapseWhitespace(ReleaseNotesText::stripTags(html));
    return 0;
}
