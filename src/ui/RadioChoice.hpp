#pragma once

#include <functional>

#include "platform/core/Observation.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

// One choice of a row of choices that behaves as the desktop's radio groups do: a reader hears a
// radio button, checked while chosen; the arrows choose the one before or after it (round the
// row) and the focus goes with the choice.
struct RadioChoice {
    int index = 0;
    int count = 0;
    bool isChosen = false;
    // The index of the choice with the focus; -1 for none. Owned by the group's view state.
    Observable<int>* focusedIndex = nullptr;
    // Makes choice `index` the chosen one.
    std::function<void(int)> choose;

    // `button` (which chooses this one when pressed) as such a choice.
    View applied(View button) const;
};

}  // namespace talvori::ui
