#include "onboarding/boxed.hpp"

namespace talvori::ui {

View boxed(const View& content, const Color& fill, const Color& border, double cornerRadius) {
    return content.background(View(fill))
        .clipShape(RoundedRectangle(cornerRadius))
        .overlay(RoundedRectangle(cornerRadius).strokeBorder(border, 1));
}

}  // namespace talvori::ui
