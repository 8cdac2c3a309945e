#include "platform/core/Registration.hpp"

namespace talvori {

Registration& Registration::operator=(Registration&& other) noexcept {
    if (this != &other) {
        reset();
        remove_ = std::exchange(other.remove_, nullptr);
    }
    return *this;
}

void Registration::reset() {
    if (auto remove = std::exchange(remove_, nullptr)) remove();
}

}  // namespace talvori
