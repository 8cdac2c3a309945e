#include "settings/SettingsRowLabel.hpp"

#include "covers/Palette.hpp"

namespace talvori::ui {

View SettingsRowLabel::body(ViewContext<NoState>&) const {
    return VStack(
               HorizontalAlignment::leading, 3,
               {Text(title)
                    .font(Font::system(13, FontWeight::medium))
                    .foregroundColor(Color(Palette::white(0.85))),
                Text(subtitle).font(Font::system(11)).foregroundColor(Color(Palette::white(0.45)))})
        .fixedSize(false, true);
}

}  // namespace talvori::ui
