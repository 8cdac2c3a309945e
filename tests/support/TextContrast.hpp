#pragma once

#include <cstddef>
#include <vector>

namespace talvori::testing {

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
