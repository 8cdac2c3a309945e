#include "recorder/Keycap.hpp"

#include "covers/Palette.hpp"

namespace talvori::ui {

namespace {

struct Metrics {
    double fontSize;
    double padding;
    double side;
    double cornerRadius;
};

Metrics metrics(Keycap::Size size) {
    switch (size) {
        case Keycap::Size::field:
            return {11, 3, 16, 4};
        case Keycap::Size::popover:
            return {12, 5, 22, 5};
        case Keycap::Size::footer:
            break;
    }
    return {10, 3, 16, 4};
}

struct Look {
    double textOpacity;
    Color fill;
    Color border;
};

Look look(Keycap::Style style) {
    switch (style) {
        case Keycap::Style::rest:
            return {0.85, Palette::white(0.1), Palette::white(0.1)};
        case Keycap::Style::example:
            return {0.32, Palette::white(0.05), Palette::white(0.05)};
        case Keycap::Style::lit:
            return {1, Palette::white(0.2), Palette::white(0.26)};
        case Keycap::Style::slot:
            return {0, Color::clear(), Palette::white(0.28)};
        case Keycap::Style::rejected:
            break;
    }
    return {1, Palette::red.withAlpha(0.18), Palette::red.withAlpha(0.8)};
}

}  // namespace

double Keycap::side(Size size) {
    return metrics(size).side;
}

View Keycap::body(ViewContext<NoState>&) const {
    const Metrics m = metrics(size);
    const Look l = look(style);
    const RoundedRectangle shape(m.cornerRadius);
    StrokeStyle border{1};
    // An empty slot waits for a key: a dashed outline.
    if (style == Style::slot) border.dash = {3, 2};
    View cap = Text(glyph)
                   .font(Font::system(m.fontSize, FontWeight::medium))
                   .foregroundColor(Palette::white(l.textOpacity))
                   .lineLimit(1)
                   // A cap widens for its glyph rather than cutting it.
                   .fixedSize()
                   .padding(Edges::horizontal, m.padding)
                   .frame({.minWidth = m.side, .minHeight = m.side, .maxHeight = m.side})
                   .background(style == Style::slot ? View() : shape.fill(l.fill))
                   .overlay(shape.strokeBorder(l.border, border));
    if (style == Style::rejected) cap = cap.shadow(Palette::red.withAlpha(0.4), 4);
    return cap.accessibilityHidden();
}

}  // namespace talvori::ui
