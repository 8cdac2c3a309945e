#include "ui/Link.hpp"

#include "platform/Platform.hpp"
#include "platform/desktop/Workspace.hpp"
#include "ui/Button.hpp"
#include "ui/Shape.hpp"
#include "ui/Text.hpp"

namespace talvori::ui {

Link::Link(std::string title, std::string url) : Link(Text(std::move(title)), std::move(url)) {}

Link::Link(View label, std::string url)
    : View(Button([url = std::move(url)] { platform().workspace().openURL(url); },
                  label.underline().contentShape(Rectangle()))
               .buttonStyle(
                   [](const ButtonConfiguration& configuration) { return configuration.label; })
               .hoverCursor(Cursor::pointingHand())
               .accessibilityAddTraits(AccessibilityTrait::isLink)
               .accessibilityRemoveTraits(AccessibilityTrait::isButton)) {}

}  // namespace talvori::ui
