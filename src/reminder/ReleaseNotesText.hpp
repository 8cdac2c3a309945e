#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace talvori {

// Reads the few things the update reminder needs out of downloaded HTML, in one pass over the text
// each: pages come from the network, so nothing here may take more than linear time or recurse.
struct ReleaseNotesText {
    // The raw content of the first element named `tag` (compared without case) that has a closing
    // tag. `<link>` is no `<li>` and `<pre>` no `<p>`; comments and the content of script and style
    // elements are passed over.
    static std::optional<std::string_view> firstElementContent(std::string_view html,
                                                               std::string_view tag);
    // Removes everything between "<" and the next ">" (at least one character between them).
    static std::string stripTags(std::string_view text);
    // Turns every run of white space into one space and trims both ends.
    static std::string collapseWhitespace(std::string_view text);
    static bool isValidUTF8(std::string_view text);
};

}  // namespace talvori
