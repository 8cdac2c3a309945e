#pragma once

namespace talvori {

// A location in points; which way y grows depends on the space (see Geometry.hpp).
struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

}  // namespace talvori
