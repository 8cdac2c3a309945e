#pragma once

#include <memory>
#include <numeric>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
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

// The luminance contrast of dark text on a light ground: the mean luminance of the ground's
// pixels less that of the text's, both chosen once from the page seen uncovered.
class TextContrast {
  public:
    // Luminances (0...1) of the same pixels, row by row.
    explicit TextContrast(const std::vector<double>& uncovered) {
        for (std::size_t index = 0; index < uncovered.size(); ++index) {
            if (uncovered[index] < 0.35) text_.push_back(index);
            if (uncovered[index] > 0.95) ground_.push_back(index);
        }
        uncovered_ = of(uncovered);
    }
    double uncovered() const { return uncovered_; }
    double of(const std::vector<double>& seen) const {
        return mean(seen, ground_) - mean(seen, text_);
    }
    std::size_t textPixels() const { return text_.size(); }

    static double luminance(double red, double green, double blue) {
        return 0.2126 * red + 0.7152 * green + 0.0722 * blue;
    }

  private:
    static double mean(const std::vector<double>& values, const std::vector<std::size_t>& at) {
        if (at.empty()) return 0;
        double sum = 0;
        for (std::size_t index : at) sum += values[index];
        return sum / static_cast<double>(at.size());
    }

    std::vector<std::size_t> text_;
    std::vector<std::size_t> ground_;
    double uncovered_ = 0;
};

}  // namespace talvori::testing
