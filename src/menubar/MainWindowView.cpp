#include "menubar/MainWindowView.hpp"

#include <limits>

#include "app/WindowManager.hpp"
#include "covers/Palette.hpp"
#include "menubar/ActiveIdleView.hpp"
#include "menubar/HeaderIconButton.hpp"
#include "platform/Platform.hpp"

namespace talvori::ui {

View MainWindowView::body(ViewContext<NoState>&) const {
    if (windowManager.expired()) return View();
    return VStack(0, {header(), ActiveIdleView{windowManager}})
        .frame({.width = kWidth})
        .onSizeChange([onHeightChange = onHeightChange](Size size) {
            if (onHeightChange) onHeightChange(size.height);
        })
        .frame({.minHeight = 0,
                .maxHeight = std::numeric_limits<double>::infinity(),
                .alignment = Alignment::top()})
        .background(kBackground);
}

View MainWindowView::header() const {
    // Opening the settings window takes key status from the panel, which then closes.
    auto openSettings = [openWindow = openWindow] {
        platform().application().activate();
        if (openWindow) openWindow(kSettingsScene);
    };
    auto quit = [] { platform().application().terminate(); };
    const View buttons = HStack(
        2,
        {
            View(HeaderIconButton{LucideIcon::settings, "Settings", openSettings})
                .keyboardShortcut(","),
            View(HeaderIconButton{LucideIcon::power, "Quit Talvori", quit}).keyboardShortcut("q"),
        });
    return HStack({Text("Talvori").font(Font::system(14)).foregroundColor(Color::white(0.8)),
                   Spacer(), buttons})
        .padding(Edges::horizontal, 16)
        .padding(Edges::vertical, 12)
        .overlay(View(Color(Palette::indigo)).frame({.height = 1}), Alignment::bottom());
}

}  // namespace talvori::ui
