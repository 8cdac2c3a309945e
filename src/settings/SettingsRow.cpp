#include "settings/SettingsRow.hpp"

#include "settings/SettingsRowLabel.hpp"

namespace talvori::ui {

View SettingsRow::body(ViewContext<NoState>&) const {
    return HStack(VerticalAlignment::center, kSpacing,
                  {SettingsRowLabel{title, subtitle}, Spacer(kMinimumGap), control});
}

}  // namespace talvori::ui
