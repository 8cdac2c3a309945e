#pragma once

namespace talvori {

// regular: a dock icon and a menu bar; accessory: neither, windows only; prohibited: no windows.
enum class ActivationPolicy { regular, accessory, prohibited };

}  // namespace talvori
