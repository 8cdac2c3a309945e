#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/Recorder.hpp"
#include "GlobalShortcutsTest.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/sim/SimAlerts.hpp"
#include "ui/PanelHost.hpp"
#include "ui/UI.hpp"

namespace GlobalShortcuts::testing {

// A key window showing the library's recorder views above a button, on the simulated desktop;
// the simulated user clicks and types, and the library's notifications are recorded.
class LibraryRecorderTest : public GlobalShortcutsTest {
  protected:
    using Flags = talvori::ModifierFlags;
    using Views = std::function<talvori::ui::View()>;

    LibraryRecorderTest() {
        world().activateApplication(talvori::sim::SimWorld::kOwnPID);
        onKeyDown(name, [this] { ++fired; });
        activity_ = talvori::platform().notificationCenter().addObserver(
            kRecorderActiveStatusDidChangeNotification, nullptr,
            talvori::NotificationDelivery::synchronous,
            [this](const talvori::Notification& note) { activity.push_back(isActive(note)); });
    }

    struct Root {
        Views views;
        int* otherPresses;
        talvori::ui::View body(talvori::ui::ViewContext<talvori::ui::NoState>&) const {
            return talvori::ui::VStack(
                       16, {views(),
                            talvori::ui::Button("Other", [presses = otherPresses] { ++*presses; })})
                .padding(30);
        }
    };

    void show(Views views) {
        talvori::ui::PanelHost::Options options;
        options.textMeasurer = std::make_shared<talvori::ui::FixedTextMeasurer>();
        content = talvori::ui::PanelHost::make(Root{std::move(views), &otherPresses}, options);
        window = talvori::platform().application().makePanel({{300, 400}, {360, 200}},
                                                             talvori::StyleMask::titled);
        window->setHostedContent(content);
        window->makeKeyAndOrderFront();
        settle();
    }
    void settle() {
        runUntilIdle();
        advance(1);
    }

    talvori::ui::Host& host() const { return content->host(); }
    talvori::ui::NodeRef field() const {
        return host().find(talvori::ui::Query::byIdentifier("RecorderCocoa"));
    }
    talvori::Point global(talvori::Point point) const {
        const auto frame = window->frame();
        return {frame.minX() + point.x, frame.maxY() - point.y};
    }
    void clickAt(talvori::Point point) {
        input().click(global(point));
        settle();
    }
    void clickField() {
        const auto frame = field().frame();
        clickAt({frame.midX(), frame.midY()});
    }
    talvori::sim::KeyDelivery press(Key key, std::uint64_t flags = 0, bool isRepeat = false) {
        const auto code = static_cast<std::uint16_t>(key.rawValue);
        auto stroke =
            talvori::sim::KeyStroke::key(code, layout().characters(code).value_or(""), flags);
        stroke.isARepeat = isRepeat;
        const auto delivery = input().typeKey(stroke);
        settle();
        return delivery;
    }
    bool shows(const std::string& text) const {
        return host().find(talvori::ui::Query::byText(text)).exists();
    }
    bool isRecording() const { return RecorderCocoa::activeRecorder() != nullptr; }
    bool showsFocusRing() const {
        return host().find(talvori::ui::Query::byIdentifier("RecorderCocoa.ring")).exists();
    }
    std::string lastAnnouncement() const {
        const auto texts = simAnnouncer().texts();
        return texts.empty() ? std::string() : texts.back();
    }
    talvori::sim::SimAlerts& alerts() const { return desktop().alerts(); }
    // Reserves `shortcut` for the system.
    void reserve(const Shortcut& shortcut) const {
        hotKeys().setSymbolicHotKeys({{true, shortcut.carbonKeyCode, shortcut.carbonModifiers}});
    }

    const Name name{"toggleFocus", Shortcut(Key::f, Flags::shift | Flags::command)};
    const Shortcut optionCommandK{Key::k, Flags::option | Flags::command};
    std::shared_ptr<talvori::ui::PanelHost> content;
    std::shared_ptr<talvori::Panel> window;
    std::vector<bool> activity;
    int fired = 0;
    int otherPresses = 0;

  private:
    talvori::Registration activity_;
};

}  // namespace GlobalShortcuts::testing
