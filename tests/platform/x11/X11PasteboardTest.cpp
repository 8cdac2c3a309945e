#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "menubar/RenameField.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Observation.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/X11Pasteboard.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::testing {
namespace {

// Another program using the clipboard and the selection, on a connection and thread of its own
// (the program under test waits for its answers): it copies text and pastes what they hold. As
// the session's clipboard manager, it copies what the clipboard's owner hands it when asked.
class ClipboardPeer {
  public:
    explicit ClipboardPeer(const std::string& display)
        : connection_(xcb_connect(display.c_str(), nullptr)) {
        clipboard_ = intern("CLIPBOARD");
        utf8_ = intern("UTF8_STRING");
        targets_ = intern("TARGETS");
        property_ = intern("PEER_PASTE");
        manager_ = intern("CLIPBOARD_MANAGER");
        saveTargets_ = intern("SAVE_TARGETS");
        multiple_ = intern("MULTIPLE");
        atomPair_ = intern("ATOM_PAIR");
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, 0, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_flush(connection_);
        if (::pipe(stop_) == 0) thread_ = std::thread([this] { serve(); });
    }
    ~ClipboardPeer() {
        if (thread_.joinable()) {
            (void)::write(stop_[1], "x", 1);
            thread_.join();
        }
        ::close(stop_[0]);
        ::close(stop_[1]);
        xcb_disconnect(connection_);
    }

    void copy(const std::string& text, const char* selection = "CLIPBOARD") {
        {
            std::lock_guard lock(mutex_);
            copied_ = text;
        }
        xcb_set_selection_owner(connection_, window_, intern(selection), XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
    // Asks for the selection's text; pasted() has it once the owner answered.
    void paste(const char* selection = "CLIPBOARD") {
        {
            std::lock_guard lock(mutex_);
            pasted_.reset();
        }
        xcb_convert_selection(connection_, window_, intern(selection), utf8_, property_,
                              XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
    // Takes the clipboard manager's part; one that `answers` nothing lets the owner wait.
    void manageClipboard(bool answers) {
        answersSave_ = answers;
        xcb_set_selection_owner(connection_, window_, manager_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
    // What the clipboard's owner handed over, as a manager.
    std::string kept() const {
        std::lock_guard lock(mutex_);
        return copied_;
    }
    bool isManagingClipboard() const {
        auto* reply = xcb_get_selection_owner_reply(
            connection_, xcb_get_selection_owner(connection_, manager_), nullptr);
        const bool managing = reply && reply->owner == window_;
        std::free(reply);
        return managing;
    }
    std::optional<std::string> pasted() const {
        std::lock_guard lock(mutex_);
        return pasted_;
    }

  private:
    xcb_atom_t intern(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t atom = reply ? reply->atom : 0;
        std::free(reply);
        return atom;
    }

    void serve() {
        pollfd fds[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {stop_[0], POLLIN, 0}};
        while (::poll(fds, 2, -1) >= 0 && !(fds[1].revents & POLLIN)) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                const std::uint8_t type = event->response_type & 0x7F;
                if (type == XCB_SELECTION_REQUEST) {
                    const auto& request = *reinterpret_cast<xcb_selection_request_event_t*>(event);
                    if (request.selection == manager_) {
                        save(request);
                    } else {
                        answer(request);
                    }
                } else if (type == XCB_SELECTION_NOTIFY) {
                    const auto& notify = *reinterpret_cast<xcb_selection_notify_event_t*>(event);
                    if (notify.target == multiple_) {
                        saved(notify);
                    } else {
                        receive(notify);
                    }
                }
                std::free(event);
            }
            if (xcb_connection_has_error(connection_)) return;
        }
    }
    // As clipboard managers do: the text in one request for several targets (MULTIPLE), then the
    // clipboard is ours and the program that asked is told it may go.
    void save(const xcb_selection_request_event_t& request) {
        if (!answersSave_ || request.target != saveTargets_) return;
        saving_ = request;
        const xcb_atom_t pairs[] = {utf8_, property_};
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, multiple_, atomPair_, 32,
                            2, pairs);
        xcb_convert_selection(connection_, window_, clipboard_, multiple_, multiple_,
                              XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
    void saved(const xcb_selection_notify_event_t& notify) {
        if (notify.property != XCB_ATOM_NONE) {
            const auto pairs = property(multiple_);
            if (pairs.size() == 8 && std::memcmp(pairs.data() + 4, &property_, 4) == 0) {
                std::lock_guard lock(mutex_);
                copied_ = property(property_);
            }
        }
        xcb_set_selection_owner(connection_, window_, clipboard_, XCB_CURRENT_TIME);
        xcb_selection_notify_event_t done{};
        done.response_type = XCB_SELECTION_NOTIFY;
        done.requestor = saving_.requestor;
        done.selection = manager_;
        done.target = saveTargets_;
        done.property = saving_.property;
        done.time = saving_.time;
        xcb_send_event(connection_, 0, saving_.requestor, 0, reinterpret_cast<char*>(&done));
        xcb_flush(connection_);
    }
    std::string property(xcb_atom_t name) {
        std::string value;
        auto* reply = xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 1, window_, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20),
            nullptr);
        if (reply) {
            value.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                         static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        }
        std::free(reply);
        return value;
    }

    void answer(const xcb_selection_request_event_t& request) {
        std::string text;
        {
            std::lock_guard lock(mutex_);
            text = copied_;
        }
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.time = request.time;
        notify.property = request.property;
        if (request.target == utf8_) {
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor,
                                request.property, utf8_, 8, static_cast<std::uint32_t>(text.size()),
                                text.data());
        } else if (request.target == targets_) {
            const xcb_atom_t offered[] = {targets_, utf8_};
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor,
                                request.property, XCB_ATOM_ATOM, 32, 2, offered);
        } else {
            notify.property = XCB_ATOM_NONE;
        }
        xcb_send_event(connection_, 0, request.requestor, 0, reinterpret_cast<char*>(&notify));
        xcb_flush(connection_);
    }
    void receive(const xcb_selection_notify_event_t& notify) {
        const std::string text = notify.property == XCB_ATOM_NONE ? "" : property(property_);
        std::lock_guard lock(mutex_);
        pasted_ = text;
    }

    xcb_connection_t* connection_;
    xcb_window_t window_ = 0;
    xcb_atom_t clipboard_ = 0, utf8_ = 0, targets_ = 0, property_ = 0;
    xcb_atom_t manager_ = 0, saveTargets_ = 0, multiple_ = 0, atomPair_ = 0;
    std::atomic<bool> answersSave_ = false;
    xcb_selection_request_event_t saving_{};
    int stop_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::string copied_;
    std::optional<std::string> pasted_;
};

constexpr std::uint8_t kV = 47;
constexpr std::uint8_t kC = 46;
constexpr std::uint8_t kE = 18;
constexpr std::uint8_t kApostrophe = 40;
constexpr std::uint8_t kCompose = 127;

class X11PasteboardTest : public X11DesktopTest {
  protected:
    // A rename field in a panel at root (300, 200), focused by a click.
    void showRenameField() {
        host =
            ui::PanelHost::make(ui::RenameField{name, editing, focused, 13, [](auto&) {}}.view());
        panel = platform().application().makePanel(Rect(300, 560, 240, 40),
                                                   StyleMask::nonactivatingPanel);
        panel->setCanBecomeKey(true);
        panel->setHostedContent(host);
        panel->orderFront();
        ASSERT_TRUE(runUntil([&] { return driver().isViewable(panel->windowNumber()); }));
        driver().click(420, 220);
        // Typing before the panel held the keyboard would type elsewhere.
        ASSERT_TRUE(runUntil([&] { return panel->isKeyWindow() && driver().isKeyboardHeld(); }));
    }

    void typeKeys(std::initializer_list<std::uint8_t> keys) {
        for (const std::uint8_t key : keys) driver().tap(key);
    }

    Observable<std::string> name{std::string()};
    Observable<bool> editing{true};
    Observable<bool> focused{true};
    std::shared_ptr<ui::PanelHost> host;
    std::shared_ptr<Panel> panel;
};

TEST_F(X11PasteboardTest, TextCopiedElsewherePastesIntoARenameFieldAndItsCopyPastesElsewhere) {
    ClipboardPeer peer(session().display());
    auto& pasteboard = platform().pasteboard();
    const int before = pasteboard.changeCount();
    peer.copy("Caf\u00e9 notes");
    ASSERT_TRUE(runUntil([&] { return pasteboard.changeCount() > before; }));
    EXPECT_EQ(pasteboard.string(), "Caf\u00e9 notes");

    showRenameField();
    driver().tap(kV, {X11TestDriver::kLeftSuper});
    EXPECT_TRUE(runUntil([&] { return name.peek() == "Caf\u00e9 notes"; }));

    name.set("Left monitor");
    driver().tap(X11TestDriver::kA, {X11TestDriver::kLeftSuper});
    driver().tap(kC, {X11TestDriver::kLeftSuper});
    ASSERT_TRUE(runUntil([&] { return pasteboard.string() == "Left monitor"; }));
    const int afterCopy = pasteboard.changeCount();
    peer.paste();
    EXPECT_TRUE(runUntil([&] { return peer.pasted() == "Left monitor"; }));

    // Emptied, the pasteboard offers nothing, here or elsewhere.
    pasteboard.clearContents();
    EXPECT_GT(pasteboard.changeCount(), afterCopy);
    EXPECT_EQ(pasteboard.string(), std::nullopt);
    peer.paste();
    EXPECT_TRUE(runUntil([&] { return peer.pasted() == ""; }));
}

// Control does what Super does, and the middle button pastes the selection that selecting sets.
TEST_F(X11PasteboardTest, ControlKeysEditARenameFieldAndTheSelectionPastesWithTheMiddleButton) {
    ClipboardPeer peer(session().display());
    showRenameField();
    name.set("808080");
    driver().tap(X11TestDriver::kA, {X11TestDriver::kLeftControl});
    typeKeys({X11TestDriver::kN, X11TestDriver::kA, kV, X11TestDriver::kY});
    ASSERT_TRUE(runUntil([&] { return name.peek() == "navy"; })) << name.peek();

    driver().tap(X11TestDriver::kA, {X11TestDriver::kLeftControl});
    driver().tap(kC, {X11TestDriver::kLeftControl});
    EXPECT_TRUE(runUntil([&] { return platform().pasteboard().string() == "navy"; }));
    peer.paste("PRIMARY");
    EXPECT_TRUE(runUntil([&] { return peer.pasted() == "navy"; }));

    peer.copy(" teal", "PRIMARY");
    ASSERT_TRUE(runUntil([&] { return platform().pasteboard().selectionString() == " teal"; }));
    driver().click(420, 220, 2);
    EXPECT_TRUE(runUntil([&] { return name.peek() == "navy teal"; })) << name.peek();
    driver().tap(X11TestDriver::kZ, {X11TestDriver::kLeftControl});
    EXPECT_TRUE(runUntil([&] { return name.peek() == "navy"; })) << name.peek();
}

TEST_F(X11PasteboardTest, DeadKeysAndTheComposeKeyTypeComposedCharacters) {
    ASSERT_EQ(session().run({"setxkbmap", "-layout", "us", "-option", "compose:menu"}), 0);
    showRenameField();
    typeKeys({kCompose, kApostrophe, kE});
    EXPECT_TRUE(runUntil([&] { return name.peek() == "\u00e9"; })) << name.peek();

    // The international layout's apostrophe is a dead acute.
    ASSERT_EQ(session().run({"setxkbmap", "-layout", "us", "-variant", "intl"}), 0);
    ASSERT_TRUE(runUntil([&] { return platform().keyboardLayout().characters(39) == ""; }));
    typeKeys({kApostrophe, kE, kApostrophe, X11TestDriver::kA});
    EXPECT_TRUE(runUntil([&] { return name.peek() == "\u00e9\u00e9\u00e1"; })) << name.peek();
    // A key that types no text ends a sequence and does what it does.
    driver().tap(kApostrophe);
    driver().tap(X11TestDriver::kRight);
    driver().tap(kE);
    EXPECT_TRUE(runUntil([&] { return name.peek() == "\u00e9\u00e9\u00e1e"; })) << name.peek();
}

// On quitting, the clipboard manager takes a copy of what we copied; one that never answers
// keeps the program waiting two seconds at most.
TEST_F(X11PasteboardTest, TheClipboardManagerKeepsCopiedTextOnceWeQuit) {
    auto& pasteboard = dynamic_cast<x11::X11Pasteboard&>(platform().pasteboard());
    ASSERT_TRUE(pasteboard.setString("Kept after quitting"));
    {
        ClipboardPeer silent(session().display());
        silent.manageClipboard(false);
        ASSERT_TRUE(silent.isManagingClipboard());
        pasteboard.handOverToClipboardManager();
        EXPECT_TRUE(logs().contains("The clipboard manager did not take the copied text in time"));
    }
    ClipboardPeer manager(session().display());
    manager.manageClipboard(true);
    ASSERT_TRUE(manager.isManagingClipboard());
    platform().application().terminate();
    EXPECT_EQ(manager.kept(), "Kept after quitting");
}

}  // namespace
}  // namespace talvori::testing
