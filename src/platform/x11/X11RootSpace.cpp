#include "platform/x11/X11RootSpace.hpp"

#include <algorithm>
#include <cmath>

#include "platform/core/SaturatingCast.hpp"

namespace talvori::x11 {

namespace {

RootRect rounded(double x, double y, double width, double height) {
    const double left = std::round(x);
    const double top = std::round(y);
    const double right = std::round(x + width);
    const double bottom = std::round(y + height);
    return {saturatingCast<std::int32_t>(left), saturatingCast<std::int32_t>(top),
            std::max<std::uint32_t>(1, saturatingCast<std::uint32_t>(right - left)),
            std::max<std::uint32_t>(1, saturatingCast<std::uint32_t>(bottom - top))};
}

}  // namespace

RootRect X11RootSpace::toRoot(const Rect& global) const {
    return rounded(global.minX() * scale + originX, originY + height - global.maxY() * scale,
                   global.width() * scale, global.height() * scale);
}

Rect X11RootSpace::toGlobal(const RootRect& root) const {
    const double bottom = root.y + static_cast<double>(root.height);
    return {(root.x - originX) / scale, (originY + height - bottom) / scale, root.width / scale,
            root.height / scale};
}

}  // namespace talvori::x11
