#include "focus/FocusToggle.hpp"

namespace talvori::ui {

View FocusToggle::body(ViewContext<NoState>&) const {
    // The click asks the owner; the switch moves when the owner's state does.
    const Binding<bool> state([on = isOn] { return on; },
                              [action = action](bool) {
                                  if (action) action();
                              });
    // The role says it is a switch: the name need not.
    return View(Toggle{state, kIdentifier})
        .accessibilityLabel("Focus Mode")
        .accessibilityIdentifier(kIdentifier);
}

}  // namespace talvori::ui
