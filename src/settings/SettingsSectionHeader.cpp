#include "settings/SettingsSectionHeader.hpp"

#include <algorithm>

#include "covers/Palette.hpp"

namespace talvori::ui {

namespace {

// The headers are our own English titles: upper-casing ASCII letters is all they need, and any
// other character is left as it is.
std::string uppercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

}  // namespace

View SettingsSectionHeader::body(ViewContext<NoState>&) const {
    return Text(uppercased(title))
        .font(Font::system(10, FontWeight::semibold))
        .tracking(0.8)
        .foregroundColor(Color(Palette::white(0.36)))
        .padding(Edges::top, isFollowing ? kFollowingTopPadding : 0);
}

}  // namespace talvori::ui
