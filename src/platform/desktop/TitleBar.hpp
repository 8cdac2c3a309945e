#pragma once

namespace talvori {

// The bar a titled window draws over the top of its content (unless the content takes the full
// size): content that must stay uncovered starts below it.
struct TitleBar {
    static constexpr double kHeight = 22;
};

}  // namespace talvori
