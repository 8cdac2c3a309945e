#include "platform/x11/harness/X11ClipboardPeer.hpp"

#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace talvori::testing {

ClipboardPeer::ClipboardPeer(const std::string& display)
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

ClipboardPeer::~ClipboardPeer() {
    if (thread_.joinable()) {
        (void)::write(stop_[1], "x", 1);
        thread_.join();
    }
    ::close(stop_[0]);
    ::close(stop_[1]);
    xcb_disconnect(connection_);
}

void ClipboardPeer::copy(const std::string& text, const char* selection) {
    {
        std::lock_guard lock(mutex_);
        copied_ = text;
    }
    xcb_set_selection_owner(connection_, window_, intern(selection), XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

void ClipboardPeer::paste(const char* selection) {
    {
        std::lock_guard lock(mutex_);
        pasted_.reset();
    }
    xcb_convert_selection(connection_, window_, intern(selection), utf8_, property_,
                          XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

void ClipboardPeer::manageClipboard(bool answers) {
    answersSave_ = answers;
    xcb_set_selection_owner(connection_, window_, manager_, XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

std::string ClipboardPeer::kept() const {
    std::lock_guard lock(mutex_);
    return copied_;
}

bool ClipboardPeer::isManagingClipboard() const {
    auto* reply = xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, manager_), nullptr);
    const bool managing = reply && reply->owner == window_;
    std::free(reply);
    return managing;
}

std::optional<std::string> ClipboardPeer::pasted() const {
    std::lock_guard lock(mutex_);
    return pasted_;
}

xcb_atom_t ClipboardPeer::intern(const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

void ClipboardPeer::serve() {
    pollfd fds[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {stop_[0], POLLIN, 0}};
    while (::poll(fds, 2, nextPieceAt_ ? 20 : -1) >= 0 && !(fds[1].revents & POLLIN)) {
        if (nextPieceAt_ && Clock::now() >= *nextPieceAt_) sendPiece();
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const std::uint8_t type = event->response_type & 0x7F;
            if (type == XCB_PROPERTY_NOTIFY) {
                const auto& notify = *reinterpret_cast<xcb_property_notify_event_t*>(event);
                if (notify.window == trickled_.requestor && notify.atom == trickled_.property &&
                    notify.state == XCB_PROPERTY_DELETE) {
                    nextPieceAt_ = Clock::now() + std::chrono::milliseconds(500);
                }
            } else if (type == XCB_SELECTION_REQUEST) {
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
void ClipboardPeer::save(const xcb_selection_request_event_t& request) {
    if (!answersSave_ || request.target != saveTargets_) return;
    saving_ = request;
    const xcb_atom_t pairs[] = {utf8_, property_};
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, multiple_, atomPair_, 32, 2,
                        pairs);
    xcb_convert_selection(connection_, window_, clipboard_, multiple_, multiple_, XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

void ClipboardPeer::saved(const xcb_selection_notify_event_t& notify) {
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

std::string ClipboardPeer::property(xcb_atom_t name) {
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

// The first value says a text comes in pieces; each piece follows the deletion of the last.
void ClipboardPeer::trickle(const xcb_selection_request_event_t& request) {
    trickled_ = request;
    const std::uint32_t events[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_change_window_attributes(connection_, request.requestor, XCB_CW_EVENT_MASK, events);
    const std::uint32_t size = 1000;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                        intern("INCR"), 32, 1, &size);
}

void ClipboardPeer::sendPiece() {
    nextPieceAt_.reset();
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, trickled_.requestor, trickled_.property,
                        utf8_, 8, 1, "x");
    xcb_flush(connection_);
}

void ClipboardPeer::answer(const xcb_selection_request_event_t& request) {
    if (sending_ == Sending::never) return;
    // Sent from where it is kept: a copy of a huge text would count in the memory of the process
    // the program runs in.
    std::lock_guard lock(mutex_);
    const std::string& text = copied_;
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.time = request.time;
    notify.property = request.property;
    if (request.target == utf8_ && sending_ == Sending::trickle) {
        trickle(request);
    } else if (request.target == utf8_) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                            utf8_, 8, static_cast<std::uint32_t>(text.size()), text.data());
    } else if (request.target == targets_) {
        const xcb_atom_t offered[] = {targets_, utf8_};
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, request.property,
                            XCB_ATOM_ATOM, 32, 2, offered);
    } else {
        notify.property = XCB_ATOM_NONE;
    }
    xcb_send_event(connection_, 0, request.requestor, 0, reinterpret_cast<char*>(&notify));
    xcb_flush(connection_);
}

void ClipboardPeer::receive(const xcb_selection_notify_event_t& notify) {
    const std::string text = notify.property == XCB_ATOM_NONE ? "" : property(property_);
    std::lock_guard lock(mutex_);
    pasted_ = text;
}

}  // namespace talvori::testing
