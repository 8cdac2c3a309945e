#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/UUID.hpp"
#include "platform/desktop/Color.hpp"
#include "ui/UI.hpp"

namespace talvori {
class OverlayViewModel;
}

namespace talvori::ui {

// "APPEARANCE": the cover's effect (glass or solid), its opacity and, for glass, its blur; for a
// solid cover the colour block: a field taking a code or a colour name, a sampler for any colour on
// screen, a hue-saturation-brightness picker and the favourite colours. Every control writes the
// cover's record at once, so the cover follows live.
struct ControlPanelAppearanceSection {
    std::shared_ptr<OverlayViewModel> viewModel;
    std::function<std::optional<UUID>()> onSamplingBegin;
    std::function<bool(const UUID&)> onSamplingResolve;

    struct State {
        Observable<bool> showingColorPicker{false};
        Observable<std::optional<UUID>> samplingToken;
        Observable<bool> isHoveringOpacitySlider{false};
        Observable<bool> isDraggingOpacitySlider{false};
        Observable<bool> isHoveringBlurSlider{false};
        Observable<bool> isDraggingBlurSlider{false};
        Observable<std::optional<int>> isHoveringPreset;
        Observable<std::string> hexInput{"808080"};
        Observable<bool> hexFieldFocused{false};
        Observable<double> pickerHue{0};
        Observable<double> pickerSaturation{0};
        Observable<double> pickerBrightness{1};
        // The effect segment with the focus, which the arrows move; -1 for none.
        Observable<int> focusedEffect{-1};
    };

    // ---- Reading colour text
    // The 28 colour names the field takes, lower case, with their codes.
    static const std::map<std::string, std::string, std::less<>>& namedColors();
    // One character six times, two three times, three each doubled; other lengths unchanged.
    static std::string expandHexShorthand(std::string text);
    // The code a text stands for: spaces and tabs trimmed, every "#" dropped, then a colour name
    // (any case) or a code of one, two, three or six hexadecimal digits. None for anything else.
    static std::optional<std::string> normalizedColorCode(std::string_view text);
    // The opaque colour of a text, as the favourite swatches show it.
    static std::optional<Color> parseColorInput(std::string_view text);

    // ---- Mappings and readings
    static double opacityFraction(double opacity);
    static double opacityFromFraction(double fraction);
    static double blurFromFraction(double fraction);
    // The opacity as whole percent, as typed: 0.29 reads 29, not 28.
    static int opacityPercent(double opacity);
    static int blurPixels(double blurRadius);

    // ---- Operations on the section's state
    // The field's text applied and shown as six digits; unreadable text shows the cover's code.
    void commitHexInput(State& state) const;
    // The cover follows text that reads as a colour; the text stays as typed.
    void previewHexInput(State& state) const;
    // The field and the picker set from the cover's colour, without touching the cover.
    void syncFromCover(State& state) const;
    static void syncPicker(State& state, std::string_view hex);
    void applyPickerColor(State& state) const;
    void applyFavorite(State& state, const std::string& code) const;
    void startSampling(State& state, std::weak_ptr<State> weakState) const;
    void finishSampling(State* state, const UUID& token, std::optional<Color> color) const;

    View body(ViewContext<State>& ctx) const;

  private:
    // A write to the field that the user made (typing, a picked colour, a favourite): the cover
    // previews it. Writes of the program's own (showing the cover's code) go straight to the state.
    void typeHexInput(State& state, std::string text) const;
    View effectRow(State& state) const;
    View opacityBlock(ViewContext<State>& ctx) const;
    View swatchButton(ViewContext<State>& ctx) const;
    View blurBlock(State& state) const;
    View colorBlock(ViewContext<State>& ctx) const;
    View colorEntryRow(ViewContext<State>& ctx) const;
    View colorPicker(State& state) const;
    View saturationBrightnessSquare(State& state) const;
    View hueBar(State& state) const;
    View favoritesRow(State& state) const;
    View favoriteSlot(State& state, int index, const std::vector<std::string>& favorites) const;
};

}  // namespace talvori::ui
