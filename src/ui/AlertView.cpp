#include "ui/AlertView.hpp"

#include "platform/Platform.hpp"
#include "platform/desktop/Alerts.hpp"
#include "platform/desktop/Application.hpp"
#include "ui/BorderedButtonStyle.hpp"
#include "ui/Button.hpp"
#include "ui/Image.hpp"
#include "ui/Stack.hpp"
#include "ui/Text.hpp"
#include "ui/ViewContext.hpp"

namespace talvori::ui {

namespace {

constexpr Color kBackground = Color::rgb255(36, 38, 46);
constexpr double kPadding = 20;
constexpr double kSymbolSize = 32;
constexpr double kSymbolSpacing = 14;
// The texts' column has the width the alert leaves it. Given outright rather than flexible, the
// texts are broken at this width alone: a stack that weighs a flexible column proposes widths
// down to nothing, and breaking a sentence at every letter costs more than the rest of the alert.
constexpr double kTextWidth = AlertView::kWidth - 2 * kPadding - kSymbolSize - kSymbolSpacing;

Color symbolColor(AlertStyle style) {
    switch (style) {
        case AlertStyle::critical:
            return Color::rgb255(217, 85, 85);
        case AlertStyle::informational:
            return Color::white(0.7);
        case AlertStyle::warning:
            break;
    }
    return Color::rgb255(245, 160, 53);
}

const char* symbolName(AlertStyle style) {
    return style == AlertStyle::informational ? "info.circle" : "exclamationmark.triangle";
}

}  // namespace

void AlertView::install(Alerts& alerts, PanelHost::Options options) {
    alerts.setContentMaker([options](const Alert& alert, std::function<void(long)> respond) {
        return PanelHost::make(AlertView{alert, std::move(respond)}, options);
    });
}

View AlertView::body(ViewContext<NoState>&) const {
    const auto titles = alert.buttonTitles();
    const std::size_t defaultButton = alert.defaultButton();
    ViewList buttons{Spacer()};
    // The first button stands at the trailing edge, the others follow it leftwards.
    for (std::size_t index = titles.size(); index-- > 0;) {
        buttons.push_back(
            Button(titles[index], [respond = respond, index] {
                if (respond) respond(Alert::responseForButton(index));
            }).buttonStyle(BorderedButtonStyle{.isProminent = index == defaultButton}));
    }
    ViewList texts{Text(alert.messageText)
                       .font(Font::system(13, FontWeight::bold))
                       .foregroundColor(Color::white(0.92))
                       .fixedSize(false, true)};
    if (!alert.informativeText.empty()) {
        texts.push_back(Text(alert.informativeText)
                            .font(Font::system(11))
                            .foregroundColor(Color::white(0.6))
                            .fixedSize(false, true));
    }
    return VStack(
               HorizontalAlignment::leading, 18,
               {
                   HStack(VerticalAlignment::top, kSymbolSpacing,
                          {
                              Image(symbolName(alert.alertStyle))
                                  .resizable()
                                  .frame(kSymbolSize, kSymbolSize)
                                  .foregroundColor(symbolColor(alert.alertStyle))
                                  .accessibilityHidden(),
                              VStack(HorizontalAlignment::leading, 6, std::move(texts))
                                  .frame({.width = kTextWidth, .alignment = Alignment::leading()}),
                          }),
                   HStack(8, std::move(buttons)),
               })
        .padding(kPadding)
        .padding(Edges::top, platform().application().titleBarOverlap())
        .frame({.width = kWidth})
        .background(kBackground);
}

}  // namespace talvori::ui
