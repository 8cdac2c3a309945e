#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace talvori {

// The handle of a notification observer, a monitor, an observation or any other registration: it
// ends the registration when reset or destroyed. An empty handle from the desktop means it refused
// the registration. Resetting twice, or inside the registered callback itself, is safe.
class [[nodiscard]] Registration {
  public:
    Registration() = default;
    explicit Registration(std::function<void()> remove) : remove_(std::move(remove)) {}
    // Lasts as long as it holds `registrant`, which the other side holds only weakly.
    explicit Registration(std::shared_ptr<void> registrant)
        : remove_([registrant = std::move(registrant)] {}) {}
    Registration(Registration&& other) noexcept : remove_(std::exchange(other.remove_, nullptr)) {}
    Registration& operator=(Registration&& other) noexcept;
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration() { reset(); }

    void reset();
    explicit operator bool() const { return remove_ != nullptr; }

  private:
    std::function<void()> remove_;
};

}  // namespace talvori
