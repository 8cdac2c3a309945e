#include <benchmark/benchmark.h>
#include <cairo.h>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/Registry.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "platform/sim/SimInput.hpp"
#include "platform/sim/SimWorld.hpp"
#include "recorder/ShortcutRecorder.hpp"
#include "recorder/ShortcutRecorderField.hpp"
#include "recorder/ShortcutTitles.hpp"
#include "ui/PanelHost.hpp"

namespace talvori {
namespace {

// The seven shortcut fields in a key settings-like window, the first one recording with its
// popover open.
class RecordingSettings {
  public:
    RecordingSettings() {
        Platform::install(Platform::makeVirtual());
        desktop_ = sim::SimDesktop::install(platform(), {});
        desktop_->world().activateApplication(sim::SimWorld::kOwnPID);
        for (const auto& entry : shortcutTitles()) GlobalShortcuts::onKeyDown(entry.name, [] {});
        content_ = ui::PanelHost::make(Fields{});
        window_ = platform().application().makePanel({{300, 300}, {320, 480}}, StyleMask::titled);
        window_->setHostedContent(content_);
        window_->makeKeyAndOrderFront();
        settle();
        recorder_ = std::make_shared<ShortcutRecorder>(shortcutTitles().front().name, nullptr);
        const auto field = content_->host().find(ui::Query::byLabel("Show Talvori Panel shortcut"));
        const Rect frame = field.frame();
        desktop_->input().click({300 + frame.midX(), 780 - frame.midY()});
        settle();
        for (const auto& panel : platform().application().windows()) {
            if (panel != window_ && panel->isVisible() && panel->level() > window_->level()) {
                popover_ = panel;
            }
        }
    }
    ~RecordingSettings() {
        popover_.reset();
        window_->close();
        window_.reset();
        content_.reset();
        recorder_.reset();
        desktop_.reset();
        Platform::uninstall();
    }

    bool isRecording() const { return ShortcutRecorder::active() != nullptr && popover_; }

    // One key press while recording, then the turn that rebuilds the views and a drawing of the
    // popover at scale 1.
    void pressAndRedraw(std::uint16_t keyCode) {
        desktop_->input().typeKey(
            sim::KeyStroke::key(keyCode, "", ModifierFlags::option | ModifierFlags::command));
        platform().virtualClock()->advance(0.016);
        const Size size = popover_->frame().size;
        cairo_surface_t* surface = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, static_cast<int>(size.width), static_cast<int>(size.height));
        cairo_t* cr = cairo_create(surface);
        popover_->hostedContent()->draw(cr, size);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }

  private:
    struct Fields {
        ui::View body(ui::ViewContext<ui::NoState>&) const {
            ui::ViewList rows;
            for (const auto& entry : shortcutTitles()) {
                rows.push_back(ui::ShortcutRecorderField{entry.name, nullptr});
            }
            return ui::VStack(ui::HorizontalAlignment::leading, 12, std::move(rows)).padding(20);
        }
    };

    void settle() const {
        platform().virtualClock()->runUntilIdle();
        platform().virtualClock()->advance(1);
    }

    std::shared_ptr<sim::SimDesktop> desktop_;
    std::shared_ptr<ui::PanelHost> content_;
    std::shared_ptr<Panel> window_;
    std::shared_ptr<Panel> popover_;
    std::shared_ptr<ShortcutRecorder> recorder_;
};

// A combination judged (free: saved), stored, its hot key registered anew, the fields told, and
// the popover built again and drawn. Two combinations take turns so that each press changes the
// stored shortcut.
void BM_RecorderKeyPressSavedAndPopoverRedrawn(benchmark::State& state) {
    RecordingSettings settings;
    if (!settings.isRecording()) {
        state.SkipWithError("the field did not start recording");
        return;
    }
    constexpr std::uint16_t kKeyJ = 38;
    constexpr std::uint16_t kKeyK = 40;
    bool second = false;
    for (auto _ : state) {
        settings.pressAndRedraw(second ? kKeyK : kKeyJ);
        second = !second;
    }
}
BENCHMARK(BM_RecorderKeyPressSavedAndPopoverRedrawn)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace talvori
