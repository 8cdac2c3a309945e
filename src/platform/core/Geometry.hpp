#pragma once

#include "platform/core/Point.hpp"
#include "platform/core/Rect.hpp"
#include "platform/core/Size.hpp"

// Points, sizes and rectangles in points. Which way y grows depends on the space: the global
// screen space has its origin at the bottom left of the first screen with y up; view content has
// its origin at the top left with y down.
