// The favourite colours row of the colour block: five slots, each a swatch of a favourite or a
// tile that adds the field's code.
#include <string>

#include "controlpanel/ColorCode.hpp"
#include "controlpanel/ColorFavoritesManager.hpp"
#include "controlpanel/ControlPanelAppearanceSection.hpp"
#include "covers/Palette.hpp"

namespace talvori::ui {

namespace {

constexpr double kSlotSize = 28;
constexpr double kLongPress = 0.5;
constexpr double kLongPressSlop = 10;
// Drawn for a favourite that reads as no colour.
constexpr Color kSystemGray = Color::rgb255(142, 142, 147);

View addFavoriteTile() {
    return RoundedRectangle(5)
        .fill(Color(Palette::white4))
        .frame(kSlotSize, kSlotSize)
        .overlay(RoundedRectangle(5).strokeBorder(Color(Palette::white10), 1.5))
        .overlay(
            Text("+").font(Font::system(14, FontWeight::medium)).foregroundColor(Palette::white27));
}

View removeFavoriteBadge(const std::string& code) {
    return Button([code] { ColorFavoritesManager::shared()->remove(code); },
                  Text("×")
                      .font(Font::system(10, FontWeight::bold))
                      .foregroundColor(Color::white())
                      .frame(14, 14)
                      .background(Circle().fill(Color(Palette::black70))))
        .offset(4, -4)
        .accessibilityLabel("Remove color");
}

}  // namespace

View ControlPanelAppearanceSection::favoritesRow(State& state) const {
    const auto& favorites = ColorFavoritesManager::shared()->favorites();
    ViewList slots;
    for (int index = 0; index < static_cast<int>(ColorFavoritesManager::kMaximumCount); ++index) {
        slots.push_back(favoriteSlot(state, index, favorites));
    }
    slots.push_back(Spacer());
    return HStack(8, std::move(slots));
}

View ControlPanelAppearanceSection::favoriteSlot(State& state, int index,
                                                 const std::vector<std::string>& favorites) const {
    if (index >= static_cast<int>(favorites.size())) {
        return Button([&state] { ColorFavoritesManager::shared()->add(state.hexInput.peek()); },
                      addFavoriteTile())
            .accessibilityLabel("Save colour as favourite");
    }
    const std::string code = favorites[static_cast<std::size_t>(index)];
    const bool isSelected = ColorCode::uppercased(state.hexInput()) == code;
    const bool isHovered = state.isHoveringPreset() == index;
    const View swatch = RoundedRectangle(5)
                            .fill(parseColorInput(code).value_or(kSystemGray))
                            .frame(kSlotSize, kSlotSize)
                            .overlay(RoundedRectangle(5).strokeBorder(
                                Color(isSelected ? Palette::accent : Palette::white10), 1.5));
    return Button([this, &state, code] { applyFavorite(state, code); },
                  ZStack(Alignment::topTrailing(),
                         {swatch, isHovered ? removeFavoriteBadge(code) : View()}))
        .onHover([&state, index](bool hovering) {
            state.isHoveringPreset.set(hovering ? std::optional<int>(index) : std::nullopt);
        })
        .onLongPressGesture({.minimumDuration = kLongPress,
                             .maximumDistance = kLongPressSlop,
                             .onEnded = [code] { ColorFavoritesManager::shared()->remove(code); }})
        .accessibilityLabel("Favourite colour " + std::to_string(index + 1) + ", #" + code);
}

}  // namespace talvori::ui
