#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/desktop/KeyboardLayout.hpp"

namespace talvori::sim {

// The simulated keyboard layout: a US layout by default, a German one (Y and Z swapped, ß, umlauts
// and dead accent keys) for layout-dependent tests, and a layout that cannot be read.
class SimKeyboardLayout final : public KeyboardLayout {
  public:
    enum class Layout { us, german };

    std::optional<std::string> characters(std::uint16_t keyCode) const override;
    ModifierNaming modifierNaming() const override { return naming_; }
    void setModifierNaming(ModifierNaming naming) { naming_ = naming; }

    void selectLayout(Layout layout) { layout_ = layout; }
    Layout layout() const { return layout_; }
    // No layout able to type Latin letters, a layout without a character table, or a failing
    // translation: the caller sees the same absence for each.
    void setUnavailable(bool unavailable) { unavailable_ = unavailable; }
    // Makes `keyCode` type `text` in every layout, until cleared.
    void overrideKey(std::uint16_t keyCode, std::string text) {
        overrides_.insert_or_assign(keyCode, std::move(text));
    }
    void clearOverrides() { overrides_.clear(); }

  private:
    Layout layout_ = Layout::us;
    bool unavailable_ = false;
    ModifierNaming naming_ = ModifierNaming::signs;
    std::map<std::uint16_t, std::string> overrides_;
};

}  // namespace talvori::sim
