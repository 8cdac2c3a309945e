#include "menubar/PresetsCard.hpp"

#include "controls/IconLabel.hpp"
#include "covers/Palette.hpp"
#include "menubar/PresetRow.hpp"
#include "session/Session.hpp"

namespace talvori::ui {

View PresetsCard::body(ViewContext<NoState>& ctx) const {
    const auto current = session.lock();
    if (!current) return View();
    const auto& presets = current->presets();
    const View header = HStack(
        0, {assetIcon("icon-bookmark", 16)
                .foregroundColor(Color::white(0.35))
                .frame({.width = 26, .alignment = Alignment::leading()})
                .accessibilityHidden(),
            unbrokenText("Layouts").font(Font::system(13)).foregroundColor(Color::white(0.5))});
    const View rows = ForEach(
        presets, [](const PresetModel& preset) { return preset.id; },
        [&](const PresetModel& preset) {
            return View(PresetRow{preset, session})
                .transition(Transition::move(Edge::leading).combined(Transition::opacity()));
        });
    return VStack(HorizontalAlignment::leading, 8, {header, rows})
        .padding(EdgeInsets{2, 16, 12, 16})
        .animation(ctx.animation(Animation::easeOut(kListDuration)), presets.size());
}

}  // namespace talvori::ui
