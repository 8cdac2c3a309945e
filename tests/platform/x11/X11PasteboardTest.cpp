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
#include "ui/PanelHost.hpp"

namespace talvori::testing {
namespace {

// Another program using the clipboard, on a connection and thread of its own (the program under
// test waits for its answers): it copies text and pastes what the clipboard holds.
class ClipboardPeer {
  public:
    explicit ClipboardPeer(const std::string& display)
        : connection_(xcb_connect(display.c_str(), nullptr)) {
        clipboard_ = intern("CLIPBOARD");
        utf8_ = intern("UTF8_STRING");
        targets_ = intern("TARGETS");
        property_ = intern("PEER_PASTE");
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

    void copy(const std::string& text) {
        {
            std::lock_guard lock(mutex_);
            copied_ = text;
        }
        xcb_set_selection_owner(connection_, window_, clipboard_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
    // Asks for the clipboard's text; pasted() has it once the owner answered.
    void paste() {
        {
            std::lock_guard lock(mutex_);
            pasted_.reset();
        }
        xcb_convert_selection(connection_, window_, clipboard_, utf8_, property_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
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
                    answer(*reinterpret_cast<xcb_selection_request_event_t*>(event));
                } else if (type == XCB_SELECTION_NOTIFY) {
                    receive(*reinterpret_cast<xcb_selection_notify_event_t*>(event));
                }
                std::free(event);
            }
            if (xcb_connection_has_error(connection_)) return;
        }
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
        std::string text;
        if (notify.property != XCB_ATOM_NONE) {
            auto* reply =
                xcb_get_property_reply(connection_,
                                       xcb_get_property(connection_, 1, window_, property_,
                                                        XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20),
                                       nullptr);
            if (reply) {
                text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                            static_cast<std::size_t>(xcb_get_property_value_length(reply)));
            }
            std::free(reply);
        }
        std::lock_guard lock(mutex_);
        pasted_ = text;
    }

    xcb_connection_t* connection_;
    xcb_window_t window_ = 0;
    xcb_atom_t clipboard_ = 0, utf8_ = 0, targets_ = 0, property_ = 0;
    int stop_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::string copied_;
    std::optional<std::string> pasted_;
};

constexpr std::uint8_t kV = 47;
constexpr std::uint8_t kC = 46;

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

}  // namespace
}  // namespace talvori::testing
