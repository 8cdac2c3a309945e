#include "onboarding/StepHeadline.hpp"

namespace talvori::ui {

View StepHeadline::body(ViewContext<NoState>&) const {
    return Text(text)
        .font(Font::system(23, FontWeight::bold))
        .tracking(-0.23)
        .foregroundColor(Color::white(0.95));
}

}  // namespace talvori::ui
