#include "covers/BlurSliderNote.hpp"

#include "platform/Platform.hpp"

namespace talvori {

std::optional<std::string> blurSliderNote() {
    const auto& application = platform().application();
    if (!application.blursBehindWindows().get()) return "Your desktop does not blur";
    if (application.blursAtItsOwnStrength()) return "Your desktop blurs at a strength of its own";
    return std::nullopt;
}

}  // namespace talvori
