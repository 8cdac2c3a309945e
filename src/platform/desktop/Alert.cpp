#include "platform/desktop/Alert.hpp"

namespace talvori {

std::vector<std::string> Alert::buttonTitles() const {
    if (buttons.empty()) return {kDefaultButtonTitle};
    return buttons;
}

std::size_t Alert::defaultButton() const {
    return initialButton < buttonTitles().size() ? initialButton : 0;
}

std::optional<std::size_t> Alert::cancelButton() const {
    const auto titles = buttonTitles();
    if (escapeButton) {
        if (*escapeButton < titles.size()) return escapeButton;
        return std::nullopt;
    }
    for (std::size_t index = 0; index < titles.size(); ++index) {
        if (titles[index] == kCancelButtonTitle) return index;
    }
    if (titles.size() == 1) return 0;
    return std::nullopt;
}

}  // namespace talvori
