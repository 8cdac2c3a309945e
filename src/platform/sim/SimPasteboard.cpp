#include "platform/sim/SimPasteboard.hpp"

namespace talvori::sim {

bool SimPasteboard::setString(const std::string& text) {
    text_ = text;
    ++changeCount_;
    return true;
}

void SimPasteboard::clearContents() {
    text_.reset();
    ++changeCount_;
}

}  // namespace talvori::sim
