#pragma once

#include <memory>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "support/TextContrast.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace talvori::testing {

// What a reader looks at: a window of ours at the normal level over `frame`, white, filled with
// lines of 12-pixel black text, for a cover to hide.
inline std::shared_ptr<Panel> showTextPage(const Rect& frame) {
    std::vector<ui::View> lines;
    for (int line = 0; line < static_cast<int>(frame.height() / 16); ++line) {
        lines.push_back(ui::Text("Quarterly figures: 4,812 units, margin 17.3 %, Oslo 0xC0FFEE")
                            .font(ui::Font::system(12))
                            .foregroundColor(ui::Color::black()));
    }
    auto panel = platform().application().makePanel(frame, StyleMask::nonactivatingPanel);
    panel->setLevel(WindowLevel::normal);
    panel->setHostedContent(
        ui::PanelHost::make(ui::VStack(ui::HorizontalAlignment::leading, 2, lines)
                                .padding(8)
                                .frame({.maxWidth = ui::infinity,
                                        .maxHeight = ui::infinity,
                                        .alignment = ui::Alignment::topLeading()})
                                .background(ui::Color::white())));
    panel->orderFront();
    return panel;
}

}  // namespace talvori::testing
