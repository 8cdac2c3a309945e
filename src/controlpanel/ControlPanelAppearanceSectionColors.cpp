// The colour block's entry row and picker, and how colour text, the picker and the screen sampler
// reach the cover's colour.
#include <algorithm>
#include <cmath>

#include "controlpanel/ColorCode.hpp"
#include "controlpanel/ControlPanelAppearanceSection.hpp"
#include "controls/trimmedName.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/Palette.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "ui/AccessibilityNode.hpp"
#include "ui/Slider.hpp"

namespace talvori::ui {

namespace {

constexpr double kSquareHeight = 160;
constexpr double kHueBarHeight = 10;

double unit(double value) {
    return value > 0 ? std::min(value, 1.0) : 0.0;
}

// What a reader reads and sets of one of the picker's marks: its position in percent of the way
// across, as the other sliders are read.
AccessibilityRange pickerRange(double fraction, std::function<void(double)> move) {
    return {.value = unit(fraction) * 100,
            .minimum = 0,
            .maximum = 100,
            .step = 1,
            .set = [move = std::move(move)](double percent) {
                if (std::isfinite(percent)) move(unit(percent / 100));
            }};
}

bool isAcross(Key key) {
    return key == Key::leftArrow || key == Key::rightArrow || key == Key::home || key == Key::end;
}

std::string percent(double value) {
    return std::to_string(static_cast<int>(std::lround(value * 100))) + "%";
}

std::string lowercased(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

// ---- Reading colour text

const std::map<std::string, std::string, std::less<>>&
ControlPanelAppearanceSection::namedColors() {
    static const std::map<std::string, std::string, std::less<>> colors{
        {"red", "FF0000"},       {"green", "00FF00"},     {"blue", "0000FF"},
        {"black", "000000"},     {"white", "FFFFFF"},     {"gray", "808080"},
        {"grey", "808080"},      {"yellow", "FFFF00"},    {"cyan", "00FFFF"},
        {"magenta", "FF00FF"},   {"orange", "FF8C00"},    {"pink", "FF69B4"},
        {"purple", "800080"},    {"navy", "000080"},      {"teal", "008080"},
        {"lime", "00FF00"},      {"maroon", "800000"},    {"olive", "808000"},
        {"coral", "FF7F50"},     {"salmon", "FA8072"},    {"indigo", "4B0082"},
        {"violet", "EE82EE"},    {"gold", "FFD700"},      {"silver", "C0C0C0"},
        {"crimson", "DC143C"},   {"turquoise", "40E0D0"}, {"tomato", "FF6347"},
        {"chocolate", "D2691E"},
    };
    return colors;
}

std::string ControlPanelAppearanceSection::expandHexShorthand(std::string text) {
    switch (text.size()) {
        case 1:
            return std::string(6, text[0]);
        case 2:
            return text + text + text;
        case 3:
            return {text[0], text[0], text[1], text[1], text[2], text[2]};
        default:
            return text;
    }
}

std::optional<std::string> ControlPanelAppearanceSection::normalizedColorCode(
    std::string_view text) {
    std::string bare = trimmedName(text);
    std::erase(bare, '#');
    const auto& names = namedColors();
    const auto named = names.find(lowercased(bare));
    std::string candidate =
        named != names.end() ? named->second : expandHexShorthand(ColorCode::uppercased(bare));
    if (!ColorCode::isValid(candidate)) return std::nullopt;
    return candidate;
}

std::optional<Color> ControlPanelAppearanceSection::parseColorInput(std::string_view text) {
    const auto code = normalizedColorCode(text);
    return code ? ColorCode::color(*code) : std::nullopt;
}

// ---- Operations

void ControlPanelAppearanceSection::typeHexInput(State& state, std::string text) const {
    state.hexInput.set(std::move(text));
    previewHexInput(state);
}

void ControlPanelAppearanceSection::commitHexInput(State& state) const {
    const auto code = normalizedColorCode(state.hexInput.peek());
    if (!code) {
        state.hexInput.set(ColorCode::of(viewModel->model.peek().color));
        return;
    }
    state.hexInput.set(*code);
    viewModel->setColor(CodableColor::fromPlatformColor(*ColorCode::color(*code)));
    syncPicker(state, *code);
}

void ControlPanelAppearanceSection::previewHexInput(State& state) const {
    const auto code = normalizedColorCode(state.hexInput.peek());
    if (!code) return;
    viewModel->setColor(CodableColor::fromPlatformColor(*ColorCode::color(*code)));
    syncPicker(state, *code);
}

void ControlPanelAppearanceSection::syncFromCover(State& state) const {
    state.hexInput.set(ColorCode::of(viewModel->model.peek().color));
    syncPicker(state, state.hexInput.peek());
}

void ControlPanelAppearanceSection::syncPicker(State& state, std::string_view hex) {
    const auto color = ColorCode::color(hex);
    if (!color) return;
    state.pickerHue.set(color->hueComponent());
    state.pickerSaturation.set(color->saturationComponent());
    state.pickerBrightness.set(color->brightnessComponent());
}

void ControlPanelAppearanceSection::applyPickerColor(State& state) const {
    const Color color = Color::hsb(state.pickerHue.peek(), state.pickerSaturation.peek(),
                                   state.pickerBrightness.peek());
    state.hexInput.set(ColorCode::of(CodableColor::fromPlatformColor(color)));
    viewModel->setColor(CodableColor::fromPlatformColor(color));
    // As for a typed code: the cover ends on the colour of the code shown, and the picker on
    // that colour (a grey sends the hue back to 0).
    previewHexInput(state);
}

void ControlPanelAppearanceSection::applyFavorite(State& state, const std::string& code) const {
    typeHexInput(state, code);
    commitHexInput(state);
}

void ControlPanelAppearanceSection::startSampling(State& state,
                                                  std::weak_ptr<State> weakState) const {
    if (state.samplingToken.peek() || !onSamplingBegin) return;
    const auto token = onSamplingBegin();
    if (!token) return;
    state.samplingToken.set(*token);
    platform().colorSampler().begin(
        [section = *this, weakState, token = *token](std::optional<Color> color) {
            platform().runLoop().assertMainThread();
            // The colour is the cover's even when the section has gone meanwhile.
            const auto finish = [&](State* state) { section.finishSampling(state, token, color); };
            if (!withOwner(weakState, [&](State& state) { finish(&state); })) finish(nullptr);
        });
}

void ControlPanelAppearanceSection::finishSampling(State* state, const UUID& token,
                                                   std::optional<Color> color) const {
    if (state) state->samplingToken.set(std::nullopt);
    if (!onSamplingResolve) return;
    const bool isCurrent = onSamplingResolve(token);
    if (!isCurrent || !color) return;
    const auto hex = CodableColor::opaqueHex(*color);
    if (!hex) return;
    viewModel->setColor(hex->second);
    if (!state) return;
    state->hexInput.set(hex->first);
    syncPicker(*state, hex->first);
}

// ---- Views

View ControlPanelAppearanceSection::colorEntryRow(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const bool isSampling = state.samplingToken().has_value();
    const Binding<std::string> text(
        [&state] { return state.hexInput.peek(); },
        [this, &state](std::string typed) { typeHexInput(state, std::move(typed)); },
        [&state](std::function<void()> onChange) {
            return state.hexInput.observe(std::move(onChange));
        });
    return HStack(8,
                  {
                      Button([this, &ctx] { startSampling(ctx.state, ctx.weakState()); },
                             Image("eyedropper")
                                 .font(Font::system(14, FontWeight::semibold))
                                 .foregroundColor(isSampling ? Palette::accent : Palette::white80)
                                 .frame(32, 32)
                                 .contentShape(Rectangle()))
                          .accessibilityLabel("Sample color from screen")
                          .accessibilityValue(isSampling ? "Sampling" : "")
                          .disabled(isSampling),
                      HStack(0,
                             {
                                 Text("#")
                                     .font(Font::system(12))
                                     .foregroundColor(Palette::white27)
                                     .padding(Edges::leading, 10),
                                 TextField("hex or name, e.g. coral", text)
                                     .maxLength(32)
                                     .onSubmit([this, &state] { commitHexInput(state); })
                                     .onEditingChanged([this, &state](bool isEditing) {
                                         if (!isEditing) commitHexInput(state);
                                     })
                                     .font(Font::system(12))
                                     .foregroundColor(Palette::white80)
                                     .focused(state.hexFieldFocused)
                                     .padding(EdgeInsets{0, 2, 0, 10}),
                             })
                          .frame({.height = 32, .maxWidth = infinity})
                          .background(RoundedRectangle(6).fill(Color(Palette::white4))),
                  });
}

View ControlPanelAppearanceSection::colorPicker(State& state) const {
    return VStack(8, {saturationBrightnessSquare(state), hueBar(state)});
}

View ControlPanelAppearanceSection::saturationBrightnessSquare(State& state) const {
    const double hue = state.pickerHue();
    const double saturation = state.pickerSaturation();
    const double brightness = state.pickerBrightness();
    return GeometryReader([this, &state, hue, saturation, brightness](Size size) {
               DragGesture drag{.minimumDistance = 0};
               drag.onChanged = [this, &state, size](const DragValue& change) {
                   state.pickerSaturation.set(unit(change.location.x / size.width));
                   state.pickerBrightness.set(unit(1 - change.location.y / size.height));
                   applyPickerColor(state);
               };
               return ZStack(Alignment::topLeading(),
                             {
                                 ZStack({
                                            View(Color::hsb(hue, 1, 1)),
                                            Rectangle().fill(LinearGradient::evenly(
                                                {Color::white(), Color::white(0)},
                                                UnitPoint::leading(), UnitPoint::trailing())),
                                            Rectangle().fill(LinearGradient::evenly(
                                                {Color::black(0), Color::black()}, UnitPoint::top(),
                                                UnitPoint::bottom())),
                                        })
                                     .clipShape(RoundedRectangle(6)),
                                 Circle()
                                     .strokeBorder(Color::white(), 2)
                                     .frame(14, 14)
                                     .position(saturation * size.width,
                                               (1 - brightness) * size.height),
                             })
                   .contentShape(Rectangle())
                   .gesture(std::move(drag));
           })
        .frame({.height = kSquareHeight})
        .keyboardFocusable()
        // As a slider across for the saturation (the arrows, Home and End) and one up for the
        // brightness (the arrows, Page Up and Page Down).
        .onKeyPress([this, &state](const KeyPress& press) {
            auto& mark = isAcross(press.key) ? state.pickerSaturation : state.pickerBrightness;
            const auto moved = Slider::fractionAfterKey(mark.peek(), press);
            if (!moved) return false;
            mark.set(*moved);
            applyPickerColor(state);
            return true;
        })
        .accessibilityElement(AccessibilityChildren::ignore)
        .accessibilityLabel("Saturation and brightness")
        .accessibilityValue("saturation " + percent(saturation) + ", brightness " +
                            percent(brightness))
        .accessibilityRange(pickerRange(saturation,
                                        [this, &state](double fraction) {
                                            state.pickerSaturation.set(fraction);
                                            applyPickerColor(state);
                                        }))
        .accessibilityIdentifier("saturationBrightnessSquare");
}

View ControlPanelAppearanceSection::hueBar(State& state) const {
    const double hue = state.pickerHue();
    return GeometryReader([this, &state, hue](Size size) {
               DragGesture drag{.minimumDistance = 0};
               drag.onChanged = [this, &state, size](const DragValue& change) {
                   state.pickerHue.set(unit(change.location.x / size.width));
                   applyPickerColor(state);
               };
               std::vector<Color> stops;
               for (int sixth = 0; sixth <= 6; ++sixth) {
                   stops.push_back(Color::hsb(sixth / 6.0, 1, 1));
               }
               return ZStack(Alignment::topLeading(),
                             {
                                 Rectangle()
                                     .fill(LinearGradient::evenly(stops, UnitPoint::leading(),
                                                                  UnitPoint::trailing()))
                                     .clipShape(RoundedRectangle(5)),
                                 Capsule()
                                     .fill(Color::white())
                                     .frame(10, 18)
                                     .shadow(Palette::black(0.3), 2, 0, 1)
                                     .position(hue * size.width, size.height / 2),
                             })
                   .contentShape(Rectangle())
                   .gesture(std::move(drag));
           })
        .frame({.height = kHueBarHeight})
        .keyboardFocusable()
        .onKeyPress([this, &state](const KeyPress& press) {
            const auto moved = Slider::fractionAfterKey(state.pickerHue.peek(), press);
            if (!moved) return false;
            state.pickerHue.set(*moved);
            applyPickerColor(state);
            return true;
        })
        .accessibilityElement(AccessibilityChildren::ignore)
        .accessibilityLabel("Hue")
        .accessibilityValue(std::to_string(static_cast<int>(std::lround(hue * 360))) + " degrees")
        .accessibilityRange(pickerRange(hue,
                                        [this, &state](double fraction) {
                                            state.pickerHue.set(fraction);
                                            applyPickerColor(state);
                                        }))
        .accessibilityIdentifier("hueBar");
}

}  // namespace talvori::ui
