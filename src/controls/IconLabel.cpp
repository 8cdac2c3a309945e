#include "controls/IconLabel.hpp"

namespace talvori::ui {

View assetIcon(const std::string& asset, double side) {
    return Image(asset).resizable().frame(side, side);
}

View unbrokenText(const std::string& text) {
    return Text(text).fixedSize(true, false);
}

View iconLabel(View icon, const std::string& text, const Font& font, double spacing) {
    return HStack(spacing, {std::move(icon), unbrokenText(text).font(font)})
        .accessibilityLabel(text);
}

}  // namespace talvori::ui
