#include "onboarding/StepBody.hpp"

namespace talvori::ui {

View StepBody::body(ViewContext<NoState>&) const {
    return Text(text)
        .font(Font::system(13))
        .foregroundColor(Color::white(0.5))
        .multilineTextAlignment(TextAlignment::center)
        .lineSpacing(4)
        .fixedSize(false, true)
        .frame({.width = width});
}

}  // namespace talvori::ui
