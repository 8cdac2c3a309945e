#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/AlertStyle.hpp"

namespace talvori {

// A short message that asks the user to choose one of a few buttons. Shown by Alerts, as a sheet
// on one of our windows or on its own, application-modal; the answer is the response of the button
// the user chose: 1000 for the first, 1001 for the second, and so on.
struct Alert {
    static constexpr long kFirstButtonReturn = 1000;
    static constexpr long kSecondButtonReturn = 1001;
    static constexpr long kThirdButtonReturn = 1002;
    // The answer of an alert that ended without a button: its window or the window it was a sheet
    // on was closed.
    static constexpr long kStopResponse = -1000;
    // The only button of an alert that was given none.
    static constexpr const char* kDefaultButtonTitle = "OK";
    static constexpr const char* kCancelButtonTitle = "Cancel";

    std::string messageText;
    std::string informativeText;
    AlertStyle alertStyle = AlertStyle::warning;
    // Titles, in the order given; left to right on screen.
    std::vector<std::string> buttons;
    // The button drawn as the default one, which Return presses.
    std::size_t initialButton = 0;
    // The button Escape presses. Unset: the one titled "Cancel", else the only button; an alert
    // with several buttons and none of them "Cancel" ignores Escape, since none of them is a safe
    // guess.
    std::optional<std::size_t> escapeButton;

    void addButton(std::string title) { buttons.push_back(std::move(title)); }
    // The titles on screen: the given ones, or "OK" alone.
    std::vector<std::string> buttonTitles() const;
    static long responseForButton(std::size_t index) {
        return kFirstButtonReturn + static_cast<long>(index);
    }
    // The button Return presses (an initial button out of range falls back to the first).
    std::size_t defaultButton() const;
    std::optional<std::size_t> cancelButton() const;

    bool operator==(const Alert&) const = default;
};

}  // namespace talvori
