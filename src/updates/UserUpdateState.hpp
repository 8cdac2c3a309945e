#pragma once

namespace talvori::updates {

// How the session that found an update came about.
struct UserUpdateState {
    // True for a check the user asked for, false for a scheduled one.
    bool userInitiated = false;
};

}  // namespace talvori::updates
