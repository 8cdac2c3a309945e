#pragma once

namespace talvori {

// Keys that produce no text of their own.
enum class SpecialKey {
    upArrow,
    downArrow,
    leftArrow,
    rightArrow,
    tab,
    backTab,
    carriageReturn,
    enter,
    escape,
    backspace,
    deleteForward,
    home,
    end,
    pageUp,
    pageDown,
    help,
    f1,  // f1 ... f20 follow in order
};

}  // namespace talvori
