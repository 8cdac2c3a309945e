#pragma once

#include <string>

namespace talvori {

// The file `path` names once the symbolic links there are followed (a dotfile manager's link to
// the copy it keeps), to be written beside, so that the link stays; `path` itself when it is no
// link. A link to nothing still names where it leads; a loop of links ends where it gave up.
std::string linkTarget(const std::string& path);

// The folder `path` is in: "." for a bare name.
std::string folderOf(const std::string& path);

}  // namespace talvori
