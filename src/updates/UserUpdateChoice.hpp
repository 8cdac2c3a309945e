#pragma once

namespace talvori::updates {

// What the user chose for a found update. The values are fixed: callers rely on 0 for a skip.
enum class UserUpdateChoice { skip = 0, install = 1, dismiss = 2 };

}  // namespace talvori::updates
