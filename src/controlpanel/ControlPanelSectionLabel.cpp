#include "controlpanel/ControlPanelSectionLabel.hpp"

#include "covers/Palette.hpp"

namespace talvori::ui {

View ControlPanelSectionLabel::body(ViewContext<NoState>&) const {
    return Text(text)
        .font(Font::system(10, FontWeight::semibold))
        .foregroundColor(Palette::white48)
        .tracking(0.4);
}

}  // namespace talvori::ui
