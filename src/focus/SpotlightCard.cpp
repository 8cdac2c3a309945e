#include "focus/SpotlightCard.hpp"

#include <cctype>
#include <functional>
#include <string>

#include "covers/BlurSliderNote.hpp"
#include "covers/Palette.hpp"
#include "covers/PermissionManager.hpp"
#include "focus/FocusToggle.hpp"
#include "focus/SpotlightSliderMapping.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/Application.hpp"
#include "ui/RadioChoice.hpp"

namespace talvori::ui {

namespace {

constexpr double kColumnSpacing = 11;
constexpr double kRowSpacing = 10;
constexpr double kLabelWidth = 52;
constexpr double kValueWidth = 28;
constexpr double kFadeValueWidth = 44;
constexpr double kSliderHeight = 16;
constexpr const char* kSelectorGeometryID = "effectSelector";

constexpr Color kAccent = Palette::accent;
const Font kCaptionFont = Font::system(11);
const Font kTitleFont = Font::system(13, FontWeight::medium);

// The palette's translucent whites, as colours views draw with.
Color white(double opacity) {
    return Palette::white(opacity);
}

// Turning on from a card drawn with Focus off. Focus may have come on since the card was drawn
// (the permission wait or the shortcut); then the click turns it off again.
void turnOnFromOff(SpotlightController& engine) {
    if (engine.isActive()) {
        engine.deactivate();
    } else if (engine.permissionManager().accessibilityCheck()) {
        engine.activate();
    } else {
        engine.requestAccessibilityAndActivate();
    }
}

std::string capitalized(std::string_view raw) {
    std::string text(raw);
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

std::string subtitle(bool active, SpotlightEffect effect) {
    // Without one nothing can be dimmed: the switch still keeps the user's choice, and Focus
    // shows the moment a compositing manager starts.
    if (!platform().application().isCompositing().get()) {
        return "Dimming needs a compositing manager";
    }
    if (!active) return "Dim or blur everything else";
    return effect == SpotlightEffect::dim ? "Dim \u00b7 everything else fades back"
                                          : "Glass \u00b7 foreground stays clear";
}

View caption(const std::string& text) {
    return Text(text)
        .font(kCaptionFont)
        .foregroundColor(white(0.5))
        .frame({.width = kLabelWidth, .alignment = Alignment::leading()});
}

struct SliderRow {
    std::string label;
    std::string accessibilityLabel;
    double position;
    SliderReading reading;
    double valueWidth;
    Observable<bool>& isHovering;
    Observable<bool>& isDragging;
    // Sends the setting for a track position to the engine.
    std::function<void(double)> send;
};

View sliderRow(const SliderRow& row, std::optional<Animation> thumbAnimation) {
    auto& isHovering = row.isHovering;
    auto& isDragging = row.isDragging;
    SliderStyle style;
    style.height = kSliderHeight;
    style.rail = white(0.08);
    style.fill = kAccent.opacity(0.6);
    style.thumb = style.draggingThumb = kAccent;
    style.thumbShadow = Palette::black(0.3);
    style.thumbAnimation = thumbAnimation;
    // A press counts without any movement, and every move sends the position under the pointer;
    // a release only ends the drag.
    const View slider = View(Slider{row.position, isHovering(), isDragging(),
                                    [&isHovering](bool hovering) { isHovering.set(hovering); },
                                    [&isDragging, send = row.send](double position) {
                                        isDragging.set(true);
                                        send(position);
                                    },
                                    [&isDragging] { isDragging.set(false); }, style})
                            .accessibilityLabel(row.accessibilityLabel)
                            .accessibilityValue(row.reading.spoken);
    const View value = Text(row.reading.shown)
                           .font(kCaptionFont.weighted(FontWeight::medium).monospacedDigit())
                           .foregroundColor(white(0.5))
                           .frame({.width = row.valueWidth, .alignment = Alignment::trailing()});
    return HStack(kRowSpacing, {caption(row.label), slider, value})
        .transition(Transition::opacity());
}

}  // namespace

View SpotlightCard::body(ViewContext<State>& ctx) const {
    const bool active = spotlightController->isActive();
    return VStack(kColumnSpacing, {header(active), active ? controls(ctx) : View()})
        .padding(EdgeInsets{14, 16, 14, 16})
        .background(active ? kAccent.opacity(0.04) : Color::clear())
        .overlay(View(active ? kAccent.opacity(0.15) : Color(Palette::white6)).frame({.height = 1}),
                 Alignment::bottom())
        .accessibilityElement(AccessibilityChildren::contain)
        .accessibilityLabel("Focus Mode")
        .accessibilityValue(active ? "On" : "Off");
}

View SpotlightCard::header(bool active) const {
    const auto& engine = spotlightController;
    const View icon = Image("sun.max")
                          .font(kTitleFont)
                          .foregroundColor(active ? kAccent : white(0.7))
                          .padding(Edges::top, 2)
                          .frame({.width = 26, .alignment = Alignment::topLeading()})
                          .accessibilityHidden();
    const View titles =
        VStack(HorizontalAlignment::leading, 2,
               {
                   Text("Focus Mode")
                       .font(kTitleFont)
                       .foregroundColor(active ? kAccent : Color(Palette::white80)),
                   Text(subtitle(active,
                                 active ? engine->effect() : SpotlightEffect(SpotlightEffect::dim)))
                       .font(kCaptionFont)
                       .foregroundColor(white(0.5)),
               });
    const View stateWord = Text(active ? "On" : "Off")
                               .font(Font::system(10))
                               .foregroundColor(active ? kAccent : white(0.35))
                               .padding(Edges::trailing, 8);
    // The header only turns Focus on; only the switch turns it off.
    const View tapArea =
        HStack(0, {HStack(VerticalAlignment::top, 0, {icon, titles}), Spacer(), stateWord})
            .contentShape(Rectangle())
            .onTapGesture([engine, active] {
                if (!active) turnOnFromOff(*engine);
            });
    const FocusToggle toggle{active, [engine, active] {
                                 if (active) {
                                     engine->deactivate();
                                 } else {
                                     turnOnFromOff(*engine);
                                 }
                             }};
    return HStack(0, {tapArea, toggle});
}

View SpotlightCard::controls(ViewContext<State>& ctx) const {
    const SpotlightEffect effect = spotlightController->effect();
    const bool dim = effect == SpotlightEffect::dim;
    // Each slot shows one row at a time; rows of the two effects cross-fade in the same place.
    return VStack(
               kColumnSpacing,
               {
                   effectRow(ctx, effect),
                   ZStack({dim ? dimOpacityRow(ctx) : View(), dim ? View() : glassOpacityRow(ctx)}),
                   ZStack({dim ? fadeRow(ctx) : View(), dim ? View() : blurRow(ctx)}),
               })
        .animation(ctx.animation(Animation::easeOut(0.2)), effect);
}

View SpotlightCard::effectRow(ViewContext<State>& ctx, SpotlightEffect effect) const {
    ViewList segments;
    for (const auto segment : SpotlightEffect::allCases())
        segments.push_back(effectSegment(ctx, segment, effect));
    const View selector =
        HStack(2, segments)
            .padding(2)
            .background(
                RoundedRectangle(5)
                    .fill(Color(Palette::white10))
                    .matchedGeometryEffect(kSelectorGeometryID, ctx.state.effectSelectorNS, false))
            .background(RoundedRectangle(6).fill(Color(Palette::white6)))
            .animation(ctx.animation(Animation::easeInOut(0.2)), effect);
    // One group of choices for readers, named as the row is.
    return HStack(kRowSpacing, {caption("Effect").accessibilityHidden(),
                                selector.accessibilityElement(AccessibilityChildren::contain)
                                    .accessibilityLabel("Effect")});
}

View SpotlightCard::effectSegment(ViewContext<State>& ctx, SpotlightEffect segment,
                                  SpotlightEffect effect) const {
    const bool selected = segment == effect;
    const View marker =
        selected ? View(Color::clear())
                       .matchedGeometryEffect(kSelectorGeometryID, ctx.state.effectSelectorNS)
                 : View();
    const View label =
        Text(capitalized(segment.rawValue()))
            .font(kCaptionFont.weighted(selected ? FontWeight::medium : FontWeight::regular))
            .foregroundColor(white(selected ? 0.8 : 0.5))
            .frame({.maxWidth = infinity})
            .padding(Edges::vertical, 4)
            .contentShape(Rectangle())
            .background(marker);
    const auto cases = SpotlightEffect::allCases();
    const RadioChoice choice{.index = static_cast<int>(static_cast<SpotlightEffect::Case>(segment)),
                             .count = static_cast<int>(cases.size()),
                             .isChosen = selected,
                             .focusedIndex = &ctx.state.focusedEffect,
                             .choose = [engine = spotlightController, cases](int next) {
                                 engine->setEffect(cases[static_cast<std::size_t>(next)]);
                             }};
    // Also for the segment already chosen, whose setting then stays as it is.
    return choice.applied(
        Button([engine = spotlightController, segment] { engine->setEffect(segment); }, label));
}

View SpotlightCard::dimOpacityRow(ViewContext<State>& ctx) const {
    const double opacity = spotlightController->dimOpacity();
    return sliderRow(
        {"Opacity", "Dim opacity", opacity, SpotlightSliderMapping::percentReading(opacity),
         kValueWidth, ctx.state.isHoveringOpacitySlider, ctx.state.isDraggingOpacitySlider,
         [engine = spotlightController](double position) {
             engine->setDimOpacity(SpotlightSliderMapping::dimOpacity(position));
         }},
        ctx.animation(Animation::easeOut(0.1)));
}

View SpotlightCard::glassOpacityRow(ViewContext<State>& ctx) const {
    // While Glass follows Dim this shows the Dim value; the first drag unlinks the two.
    const double opacity = spotlightController->effectiveGlassOpacity();
    return sliderRow(
        {"Opacity", "Opacity", opacity, SpotlightSliderMapping::percentReading(opacity),
         kValueWidth, ctx.state.isHoveringGlassDimSlider, ctx.state.isDraggingGlassDimSlider,
         [engine = spotlightController](double position) {
             engine->setGlassOpacity(SpotlightSliderMapping::glassOpacity(position));
         }},
        ctx.animation(Animation::easeOut(0.1)));
}

View SpotlightCard::fadeRow(ViewContext<State>& ctx) const {
    const double seconds = spotlightController->fadeDuration();
    return sliderRow({"Fade", "Fade duration", SpotlightSliderMapping::fadePosition(seconds),
                      SpotlightSliderMapping::fadeReading(seconds), kFadeValueWidth,
                      ctx.state.isHoveringFadeSlider, ctx.state.isDraggingFadeSlider,
                      [engine = spotlightController](double position) {
                          engine->setFadeDuration(SpotlightSliderMapping::fadeDuration(position));
                      }},
                     ctx.animation(Animation::easeOut(0.1)));
}

View SpotlightCard::blurRow(ViewContext<State>& ctx) const {
    const double radius = spotlightController->blurRadius();
    // Where the desktop blurs nothing, Glass dims as Dim does; where it blurs at its own strength,
    // the radius changes nothing either: the slider would move nothing.
    const auto note = blurSliderNote();
    SliderReading reading = SpotlightSliderMapping::blurReading(radius);
    if (note) reading.shown.clear();
    const View row =
        sliderRow({"Blur", "Blur radius", SpotlightSliderMapping::blurPosition(radius), reading,
                   kValueWidth, ctx.state.isHoveringBlurSlider, ctx.state.isDraggingBlurSlider,
                   [engine = spotlightController](double position) {
                       engine->setBlurRadius(SpotlightSliderMapping::blurRadius(position));
                   }},
                  ctx.animation(Animation::easeOut(0.1)));
    if (!note) return row;
    return VStack(HorizontalAlignment::leading, 4,
                  {row.disabled().opacity(0.4),
                   Text(*note)
                       .font(kCaptionFont)
                       .foregroundColor(white(0.4))
                       .padding(Edges::leading, kLabelWidth + kRowSpacing)})
        .transition(Transition::opacity());
}

}  // namespace talvori::ui
