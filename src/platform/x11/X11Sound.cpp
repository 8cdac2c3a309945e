#include "platform/x11/X11Sound.hpp"

#include "platform/x11/X11Connection.hpp"

namespace talvori::x11 {

void X11Sound::beep() {
    // At the user's base volume; the request goes out before the loop next sleeps.
    xcb_bell(connection_->raw(), 0);
}

}  // namespace talvori::x11
