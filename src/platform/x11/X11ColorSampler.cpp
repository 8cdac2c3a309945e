#include "platform/x11/X11ColorSampler.hpp"

#include "platform/core/RunLoop.hpp"

namespace talvori::x11 {

void X11ColorSampler::begin(std::function<void(std::optional<Color>)> handler) {
    auto loop = loop_.lock();
    if (!loop || !handler) return;
    loop->post([handler = std::move(handler)] { handler(std::nullopt); });
}

}  // namespace talvori::x11
