#include "menubar/MainWindowView.hpp"

#include <limits>

#include "controls/HeaderIconButton.hpp"
#include "controls/IconLabel.hpp"
#include "covers/Palette.hpp"
#include "menubar/ActiveIdleView.hpp"
#include "platform/Platform.hpp"
#include "reminder/UpdateReminder.hpp"
#include "reminder/UpdateRow.hpp"
#include "reminder/WhatsNewCard.hpp"
#include "session/Session.hpp"

namespace talvori::ui {

namespace {

// g++ 12 takes the empty optional text that the setter compares for uninitialised (a known false
// alarm of its flow analysis); clang has no such warning to silence.
#ifndef __clang__
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
void dismissWhatsNew(UpdateReminder& reminder) {
    reminder.setWhatsNewVersion({});
    // Gone for good, so that the next launch does not show it again; even when the version was
    // already gone.
    if (!reminder.isPreview) reminder.defaults().removeObject(UpdateReminder::kWhatsNewVersionKey);
}
#ifndef __clang__
#pragma GCC diagnostic pop
#endif

}  // namespace

View MainWindowView::body(ViewContext<NoState>&) const {
    if (session.expired()) return View();
    const auto pending = updateReminder ? updateReminder->pendingUpdate()()
                                        : std::optional<UpdateReminder::PendingUpdate>();
    const View updateRow = pending ? View(UpdateRow{*pending, onCheckForUpdates}) : View();
    const View column =
        VStack(0, {header(pending.has_value()), updateRow, whatsNewCard(), ActiveIdleView{session}})
            .frame({.width = kWidth})
            .onSizeChange([onHeightChange = onHeightChange](Size size) {
                if (onHeightChange) onHeightChange(size.height);
            });
    // The column keeps its own height, which it reports; a panel held shorter by the screen scrolls
    // it, so that every cover and layout can still be reached.
    return ScrollView(column)
        .frame({.minHeight = 0,
                .maxHeight = std::numeric_limits<double>::infinity(),
                .alignment = Alignment::top()})
        .background(kBackground);
}

View MainWindowView::whatsNewCard() const {
    if (!updateReminder || !updateReminder->whatsNewVersion()()) return View();
    // No bullets while an update is pending: the update row speaks for the newer version.
    auto bullets = updateReminder->whatsNewBullets();
    if (!bullets) return View();
    return WhatsNewCard{*updateReminder->whatsNewVersion()(), std::move(*bullets),
                        updateReminder->releaseNotesURL(),
                        [reminder = updateReminder] { dismissWhatsNew(*reminder); }};
}

View MainWindowView::header(bool hasPendingUpdate) const {
    // Opening the settings window takes key status from the panel, which then closes.
    auto openSettings = [openWindow = openWindow] {
        platform().application().activate();
        if (openWindow) openWindow(kSettingsScene);
    };
    auto quit = [] { platform().application().terminate(); };
    const View buttons = HStack(
        2,
        {
            View(HeaderIconButton{LucideIcon::settings, "Settings", openSettings})
                .keyboardShortcut(","),
            View(HeaderIconButton{LucideIcon::power, "Quit Talvori", quit}).keyboardShortcut("q"),
        });
    return HStack(
               {unbrokenText("Talvori").font(Font::system(14)).foregroundColor(Color::white(0.8)),
                Spacer(), buttons})
        .padding(Edges::horizontal, 16)
        .padding(Edges::vertical, 12)
        .overlay(
            View(hasPendingUpdate ? Color(Palette::accent).opacity(0.16) : Color(Palette::indigo))
                .frame({.height = 1}),
            Alignment::bottom());
}

}  // namespace talvori::ui
