#pragma once

namespace talvori {

// A width and height in points.
struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

}  // namespace talvori
