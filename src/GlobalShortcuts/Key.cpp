#include "GlobalShortcuts/Key.hpp"

namespace GlobalShortcuts {

const std::unordered_set<std::int64_t>& Key::fnFlagKeys() {
    static const auto* const keys = new std::unordered_set<std::int64_t>{
        f1.rawValue,          f2.rawValue,
        f3.rawValue,          f4.rawValue,
        f5.rawValue,          f6.rawValue,
        f7.rawValue,          f8.rawValue,
        f9.rawValue,          f10.rawValue,
        f11.rawValue,         f12.rawValue,
        f13.rawValue,         f14.rawValue,
        f15.rawValue,         f16.rawValue,
        f17.rawValue,         f18.rawValue,
        f19.rawValue,         f20.rawValue,
        help.rawValue,        deleteForward.rawValue,
        keypadClear.rawValue, home.rawValue,
        end.rawValue,         pageUp.rawValue,
        pageDown.rawValue,    upArrow.rawValue,
        rightArrow.rawValue,  downArrow.rawValue,
        leftArrow.rawValue,
    };
    return *keys;
}

}  // namespace GlobalShortcuts
