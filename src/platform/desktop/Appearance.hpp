#pragma once

namespace talvori {

// The look of a window's frame and of the controls the desktop draws for it.
enum class Appearance { light, dark };

}  // namespace talvori
