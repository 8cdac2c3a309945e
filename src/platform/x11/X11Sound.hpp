#pragma once

#include <memory>

#include "platform/desktop/Sound.hpp"

namespace talvori::x11 {

class X11Connection;

// The server's bell: the desktop plays the user's alert sound for it, or flashes, or nothing, as
// the user set it up.
class X11Sound final : public Sound {
  public:
    explicit X11Sound(std::shared_ptr<X11Connection> connection)
        : connection_(std::move(connection)) {}
    void beep() override;

  private:
    std::shared_ptr<X11Connection> connection_;
};

}  // namespace talvori::x11
