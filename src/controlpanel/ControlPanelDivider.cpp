#include "controlpanel/ControlPanelDivider.hpp"

#include "covers/Palette.hpp"

namespace talvori::ui {

View ControlPanelDivider::body(ViewContext<NoState>&) const {
    return Rectangle()
        .fill(Color(Palette::white6_3))
        .frame({.height = 0.5})
        .padding(Edges::horizontal, inset ? kInset : 0);
}

}  // namespace talvori::ui
