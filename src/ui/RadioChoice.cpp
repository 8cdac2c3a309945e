#include "ui/RadioChoice.hpp"

#include "ui/KeyPress.hpp"

namespace talvori::ui {

namespace {

// +1 for Right and Down, -1 for Left and Up, 0 for any other key.
int arrowStep(const KeyPress& press) {
    if (press.modifiers != Modifiers::none) return 0;
    if (press.key == Key::rightArrow || press.key == Key::downArrow) return 1;
    if (press.key == Key::leftArrow || press.key == Key::upArrow) return -1;
    return 0;
}

}  // namespace

View RadioChoice::applied(View button) const {
    Observable<int>* const focused = focusedIndex;
    const int own = index;
    const Binding<bool> isFocused([focused, own] { return focused->get() == own; },
                                  [focused, own](bool gains) {
                                      if (gains) {
                                          focused->set(own);
                                      } else if (focused->get() == own) {
                                          focused->set(-1);
                                      }
                                  });
    const auto chooseNext = [focused, own, total = count, choose = choose](const KeyPress& press) {
        const int step = arrowStep(press);
        if (step == 0 || total <= 0) return false;
        const int next = (own + step + total) % total;
        if (choose) choose(next);
        focused->set(next);
        return true;
    };
    return button.accessibilityRadio(isChosen).focused(isFocused).onKeyPress(chooseNext);
}

}  // namespace talvori::ui
