#include "platform/x11/X11Pasteboard.hpp"

#include <poll.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/core/RunLoop.hpp"
#include "platform/core/Time.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/weakly.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

// Long enough for a program that is busy for a moment to send even a large text, short enough that
// a paste from a hung one is not waited for long.
constexpr double kReadSeconds = 2.0;
// The server's own answers come at once.
constexpr double kAnswerSeconds = 1.0;
// Long enough for a clipboard manager to copy a text, short enough that quitting never seems to
// hang when it does not answer.
constexpr double kHandOverSeconds = 2.0;
// A slice of the work another program asks for, after which the loop's other work goes on.
constexpr double kSliceSeconds = 0.005;
// Far more targets than a clipboard manager asks for in one request.
constexpr std::size_t kMostPairs = 4096;
// More than any property we read ourselves holds.
constexpr std::size_t kLargestProperty = 16 * 1024 * 1024;

constexpr const char* kNames[] = {"CLIPBOARD",
                                  "PRIMARY",
                                  "CLIPBOARD_MANAGER",
                                  "SAVE_TARGETS",
                                  "MULTIPLE",
                                  "ATOM_PAIR",
                                  "_TALVORI_SAVE",
                                  "UTF8_STRING",
                                  "TEXT",
                                  "text/plain;charset=utf-8",
                                  "TARGETS",
                                  "TIMESTAMP",
                                  "INCR",
                                  "_TALVORI_PASTE",
                                  "_TALVORI_TIME"};

// Characters Latin-1 cannot hold become '?'.
std::string utf8ToLatin1(const std::string& utf8) {
    std::string latin1;
    for (std::size_t index = 0; index < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[index]);
        if (byte < 0x80) {
            latin1.push_back(static_cast<char>(byte));
            ++index;
            continue;
        }
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (length == 2 && index + 1 < utf8.size() && byte <= 0xC3) {
            const auto next = static_cast<unsigned char>(utf8[index + 1]);
            latin1.push_back(static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F)));
        } else {
            latin1.push_back('?');
        }
        index += length;
    }
    return latin1;
}

// The value of `property`, its first `largest` bytes at least, deleted as it is read (which tells
// an incremental sender to go on) even when not all of it was wanted; nothing when it is absent.
std::optional<PropertyValue> takeProperty(xcb_connection_t* connection, xcb_window_t window,
                                          xcb_atom_t property, bool remove = true,
                                          std::size_t largest = kLargestProperty) {
    const auto longs = static_cast<std::uint32_t>((std::min(largest, kLargestProperty) + 3) / 4);
    auto reply = waitReply(xcb_get_property_reply, connection,
                           xcb_get_property(connection, remove, window, property,
                                            XCB_GET_PROPERTY_TYPE_ANY, 0, longs));
    // The server deletes only a property read whole.
    if (remove && reply && reply->bytes_after > 0)
        xcb_delete_property(connection, window, property);
    if (!reply || reply->type == XCB_ATOM_NONE) return std::nullopt;
    PropertyValue value;
    value.type = reply->type;
    value.format = reply->format;
    const auto* data = static_cast<const std::uint8_t*>(xcb_get_property_value(reply.get()));
    value.bytes.assign(data, data + xcb_get_property_value_length(reply.get()));
    return value;
}

}  // namespace

struct X11Pasteboard::Transfer {
    Read read;
    // UTF-8 first; older programs offer Latin-1 only.
    xcb_atom_t target = XCB_ATOM_NONE;
    bool incremental = false;
    // The receiver has its text (the limit was reached): the pieces left are only taken, so that
    // none of them lands in the next read.
    bool delivered = false;
    std::string text;
    ScheduledWork deadline;
};

std::shared_ptr<X11Pasteboard> X11Pasteboard::open(const char* display,
                                                   std::shared_ptr<RunLoop> loop, Logger log) {
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) xcb_disconnect(connection);
        return nullptr;
    }
    std::shared_ptr<X11Pasteboard> pasteboard(
        new X11Pasteboard(connection, std::move(loop), std::move(log)));
    pasteboard->setUp();
    return pasteboard;
}

X11Pasteboard::X11Pasteboard(xcb_connection_t* connection, std::shared_ptr<RunLoop> loop,
                             Logger log)
    : connection_(connection),
      loop_(std::move(loop)),
      log_(std::move(log)),
      router_(std::make_unique<X11EventRouter>()) {}

X11Pasteboard::~X11Pasteboard() {
    if (transfer_) loop_->cancel(transfer_->deadline);
    resume_.clear();
    hook_.reset();
    watch_.reset();
    xcb_disconnect(connection_);
}

void X11Pasteboard::setUp() {
    static_assert(std::size(kNames) == kNameCount);
    xcb_intern_atom_cookie_t cookies[kNameCount];
    for (std::size_t index = 0; index < kNameCount; ++index) {
        cookies[index] = xcb_intern_atom(
            connection_, 0, static_cast<std::uint16_t>(std::strlen(kNames[index])), kNames[index]);
    }
    for (std::size_t index = 0; index < kNameCount; ++index) {
        auto reply = waitReply(xcb_intern_atom_reply, connection_, cookies[index]);
        atoms_[index] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    const std::uint32_t events[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(connection_, 0, window_, screen->root, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, events);
    // Other programs' copies count as changes too: the selection's owner changes with each.
    const auto* xfixes = xcb_get_extension_data(connection_, &xcb_xfixes_id);
    if (xfixes && xfixes->present) {
        auto version = waitReply(xcb_xfixes_query_version_reply, connection_,
                                 xcb_xfixes_query_version(connection_, 5, 0));
        hasXfixes_ = version != nullptr;
        xfixesFirstEvent_ = xfixes->first_event;
    }
    if (hasXfixes_) {
        xcb_xfixes_select_selection_input(
            connection_, window_, atoms_[kClipboard],
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }
    subscribe();
    xcb_flush(connection_);
    const std::weak_ptr<X11Pasteboard> weak = weak_from_this();
    watch_ = loop_->watch(xcb_get_file_descriptor(connection_), POLLIN,
                          weakly(weak, [](X11Pasteboard& self) { self.drain(false); }));
    // Replies waited for during a turn may pull events into xcb's queue while the descriptor
    // stays quiet.
    hook_ = loop_->addBeforeWaitHook(weakly(weak, [](X11Pasteboard& self) {
        self.drain(true);
        xcb_flush(self.connection_);
    }));
}

// ---- Requester

void X11Pasteboard::readString(std::size_t limit, TextReceiver receive) {
    read(kClipboard, limit, std::move(receive));
}

void X11Pasteboard::readSelectionString(std::size_t limit, TextReceiver receive) {
    read(kPrimary, limit, std::move(receive));
}

void X11Pasteboard::read(Name selection, std::size_t limit, TextReceiver receive) {
    const xcb_window_t current = owner(atoms_[selection]);
    if (current == window_) return receive(cut(held(atoms_[selection])->contents, limit));
    if (current == XCB_WINDOW_NONE) return receive(std::nullopt);
    reads_.push_back({selection, limit, std::move(receive)});
    startNextRead();
}

void X11Pasteboard::startNextRead() {
    if (transfer_ || reads_.empty() || xcb_connection_has_error(connection_)) return;
    transfer_ = std::make_unique<Transfer>();
    transfer_->read = std::move(reads_.front());
    reads_.pop_front();
    transfer_->deadline =
        loop_->schedule(loop_->now() + nanosecondsFromSeconds(kReadSeconds), RunLoopMode::common,
                        weakly(weak_from_this(), &X11Pasteboard::readTimedOut));
    requestTarget(atoms_[kUtf8String]);
}

void X11Pasteboard::requestTarget(xcb_atom_t target) {
    transfer_->target = target;
    const xcb_atom_t property = atoms_[kPasteProperty];
    xcb_delete_property(connection_, window_, property);
    xcb_convert_selection(connection_, window_, atoms_[transfer_->read.selection], target, property,
                          XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

void X11Pasteboard::selectionArrived(const xcb_selection_notify_event_t& notify) {
    if (!transfer_ || transfer_->incremental || notify.requestor != window_ ||
        notify.selection != atoms_[transfer_->read.selection]) {
        return;
    }
    if (notify.property == XCB_ATOM_NONE) {
        if (transfer_->target == atoms_[kUtf8String]) return requestTarget(XCB_ATOM_STRING);
        return finishRead(false);
    }
    auto value =
        takeProperty(connection_, window_, atoms_[kPasteProperty], true, transfer_->read.limit);
    xcb_flush(connection_);
    // Large texts come in pieces: taking the property asked for the first.
    if (value && value->type == atoms_[kIncr]) {
        transfer_->incremental = true;
        return;
    }
    if (!value || value->format != 8) return finishRead(false);
    transfer_->text.assign(value->bytes.begin(), value->bytes.end());
    finishRead(true);
}

// Each new value of the property is the next piece; an empty one ends the text.
void X11Pasteboard::pieceArrived(const xcb_property_notify_event_t& notify) {
    if (!transfer_ || !transfer_->incremental || notify.window != window_ ||
        notify.atom != atoms_[kPasteProperty] || notify.state != XCB_PROPERTY_NEW_VALUE) {
        return;
    }
    auto& text = transfer_->text;
    const std::size_t room = transfer_->delivered ? 0 : transfer_->read.limit - text.size();
    // A byte at least, to tell the last, empty piece from the others.
    auto piece =
        takeProperty(connection_, window_, notify.atom, true, std::max<std::size_t>(room, 1));
    xcb_flush(connection_);
    if (!piece) return;
    if (piece->bytes.empty()) return finishRead(true);
    text.append(piece->bytes.begin(), piece->bytes.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                 room, piece->bytes.size())));
    if (!transfer_->delivered && text.size() >= transfer_->read.limit) deliver(*transfer_);
}

void X11Pasteboard::deliver(Transfer& transfer) {
    if (transfer.delivered) return;
    transfer.delivered = true;
    auto text =
        transfer.target == XCB_ATOM_STRING ? latin1ToUtf8(transfer.text) : std::move(transfer.text);
    transfer.text.clear();
    transfer.text.shrink_to_fit();
    const auto receive = std::move(transfer.read.receive);
    receive(cut(std::move(text), transfer.read.limit));
}

// The next read begins before the receiver has this one's text: what it does, reading again
// included, finds the pasteboard ready.
void X11Pasteboard::finishRead(bool complete) {
    const auto finished = std::move(transfer_);
    loop_->cancel(finished->deadline);
    startNextRead();
    if (complete) return deliver(*finished);
    if (!finished->delivered) finished->read.receive(std::nullopt);
}

void X11Pasteboard::readTimedOut() {
    if (!transfer_) return;
    const bool clipboard = transfer_->read.selection == kClipboard;
    if (transfer_->incremental) {
        log_.error(clipboard ? "The program holding the clipboard did not send its text in time"
                             : "The program holding the selection did not send its text in time");
    } else {
        log_.error(clipboard ? "The program holding the clipboard did not answer"
                             : "The program holding the selection did not answer");
    }
    finishRead(false);
}

xcb_window_t X11Pasteboard::owner(xcb_atom_t selection) const {
    auto reply = waitReply(xcb_get_selection_owner_reply, connection_,
                           xcb_get_selection_owner(connection_, selection));
    return reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
}

// The answer to our request for `selection`, serving other events meanwhile; none by `deadline`.
std::optional<xcb_selection_notify_event_t> X11Pasteboard::answerTo(xcb_atom_t selection,
                                                                    double deadline) {
    while (xcb_generic_event_t* raw = nextEvent(deadline)) {
        Reply<xcb_generic_event_t> event(raw);
        const auto& notify = *reinterpret_cast<const xcb_selection_notify_event_t*>(raw);
        if ((event->response_type & 0x7F) == XCB_SELECTION_NOTIFY && notify.requestor == window_ &&
            notify.selection == selection) {
            return notify;
        }
        handleEvent(*event);
    }
    return std::nullopt;
}

xcb_generic_event_t* X11Pasteboard::nextEvent(double deadline) {
    while (!xcb_connection_has_error(connection_)) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) return event;
        // Answers go on while we wait: the program waited for may be waiting for them.
        const bool answering = answerSome();
        const double remaining = deadline - loop_->clock().now();
        if (remaining <= 0) return nullptr;
        pollfd waiting{xcb_get_file_descriptor(connection_), POLLIN, 0};
        ::poll(&waiting, 1, answering ? 0 : static_cast<int>(std::ceil(remaining * 1000)));
    }
    return nullptr;
}

// ---- Owner

bool X11Pasteboard::setString(const std::string& text) {
    return own(kClipboard, text);
}

void X11Pasteboard::clearContents() {
    // Another program's text cannot be taken away, only replaced: we hold the selection with
    // nothing in it, as an empty pasteboard.
    own(kClipboard, std::nullopt);
}

void X11Pasteboard::setSelectionString(const std::string& text) {
    own(kPrimary, text);
}

X11Pasteboard::Held* X11Pasteboard::held(xcb_atom_t selection) const {
    if (selection == atoms_[kClipboard]) return &clipboard_;
    if (selection == atoms_[kPrimary]) return &primary_;
    return nullptr;
}

bool X11Pasteboard::own(Name selection, std::optional<std::string> contents) {
    const xcb_timestamp_t time = serverTime();
    xcb_set_selection_owner(connection_, window_, atoms_[selection], time);
    if (owner(atoms_[selection]) != window_) {
        log_.error(selection == kClipboard ? "Another program kept the clipboard"
                                           : "Another program kept the selection");
        return false;
    }
    *held(atoms_[selection]) = {std::move(contents), true, time};
    if (selection == kClipboard) countChange();
    return true;
}

// The manager asks for our text while we wait, and says when it has it. Without an answer in time
// we quit all the same: the text is lost, as it would be without a manager.
void X11Pasteboard::handOverToClipboardManager() {
    if (!clipboard_.owning || !clipboard_.contents || xcb_connection_has_error(connection_)) return;
    if (owner(atoms_[kClipboard]) != window_ || owner(atoms_[kClipboardManager]) == XCB_WINDOW_NONE)
        return;
    const xcb_atom_t kept[] = {atoms_[kUtf8String], atoms_[kMimeText], XCB_ATOM_STRING};
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, atoms_[kSaveProperty],
                        XCB_ATOM_ATOM, 32, 3, kept);
    xcb_convert_selection(connection_, window_, atoms_[kClipboardManager], atoms_[kSaveTargets],
                          atoms_[kSaveProperty], clipboard_.since);
    xcb_flush(connection_);
    if (const auto notify =
            answerTo(atoms_[kClipboardManager], loop_->clock().now() + kHandOverSeconds)) {
        if (notify->property == XCB_ATOM_NONE)
            log_.error("The clipboard manager refused to keep the copied text");
        return;
    }
    log_.error("The clipboard manager did not take the copied text in time");
}

// The server's time now, from the property change it reports: the selection's owner must name
// a real time for other programs to order competing copies.
xcb_timestamp_t X11Pasteboard::serverTime() {
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, atoms_[kTimeProperty],
                        XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_flush(connection_);
    const double deadline = loop_->clock().now() + kAnswerSeconds;
    while (xcb_generic_event_t* raw = nextEvent(deadline)) {
        Reply<xcb_generic_event_t> event(raw);
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto& notify = *reinterpret_cast<const xcb_property_notify_event_t*>(raw);
            if (notify.window == window_ && notify.atom == atoms_[kTimeProperty]) {
                return notify.time;
            }
        }
        handleEvent(*event);
    }
    return XCB_CURRENT_TIME;
}

void X11Pasteboard::drain(bool queuedOnly) {
    // The slice starts with the first event: a look before every wait that finds none reads no
    // clock.
    std::optional<Nanoseconds> end;
    while (!xcb_connection_has_error(connection_)) {
        if (end && loop_->now() >= *end) return resumeLater();
        xcb_generic_event_t* raw =
            queuedOnly ? xcb_poll_for_queued_event(connection_) : xcb_poll_for_event(connection_);
        if (!raw) break;
        if (!end) end = loop_->now() + nanosecondsFromSeconds(kSliceSeconds);
        Reply<xcb_generic_event_t> event(raw);
        handleEvent(*event);
    }
}

void X11Pasteboard::resumeLater() {
    if (!resume_.isEmpty()) return;
    resume_.replace(Timer::scheduledTimer(
        *loop_, 0, false, weakly(weak_from_this(), &X11Pasteboard::resume), RunLoopMode::common));
}

void X11Pasteboard::resume() {
    resume_.clear();
    if (answerSome()) resumeLater();
    drain(false);
    xcb_flush(connection_);
}

void X11Pasteboard::subscribe() {
    router_->on<&X11Pasteboard::selectionArrived>(XCB_SELECTION_NOTIFY, *this);
    router_->on<&X11Pasteboard::pieceArrived>(XCB_PROPERTY_NOTIFY, *this);
    router_->on<&X11Pasteboard::selectionRequested>(XCB_SELECTION_REQUEST, *this);
    router_->on<&X11Pasteboard::selectionCleared>(XCB_SELECTION_CLEAR, *this);
    if (hasXfixes_) {
        router_->on<&X11Pasteboard::clipboardOwnerChanged>(
            xfixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY, *this);
    }
}

void X11Pasteboard::handleEvent(const xcb_generic_event_t& event) {
    router_->route(event);
}

void X11Pasteboard::selectionRequested(const xcb_selection_request_event_t& request) {
    requests_.push_back(request);
    if (answerSome()) resumeLater();
}

void X11Pasteboard::selectionCleared(const xcb_selection_clear_event_t& clear) {
    if (Held* lost = held(clear.selection)) *lost = {};
}

void X11Pasteboard::clipboardOwnerChanged(const xcb_xfixes_selection_notify_event_t& notify) {
    // Our own copies were counted when made.
    const bool ours = notify.owner == window_ && notify.selection_timestamp == clipboard_.since;
    if (notify.selection == atoms_[kClipboard] && !ours) countChange();
}

// In the order asked, whatever arrives meanwhile.
bool X11Pasteboard::answerSome() {
    if (answering_) return !requests_.empty() || multiple_;
    answering_ = true;
    const Nanoseconds end = loop_->now() + nanosecondsFromSeconds(kSliceSeconds);
    while ((multiple_ || !requests_.empty()) && loop_->now() < end) {
        if (multiple_) {
            if (!continueMultiple(end)) break;
            continue;
        }
        const auto request = requests_.front();
        requests_.pop_front();
        beginAnswer(request);
    }
    answering_ = false;
    xcb_flush(connection_);
    return !requests_.empty() || multiple_;
}

void X11Pasteboard::beginAnswer(const xcb_selection_request_event_t& request) {
    // Programs from before the property was required name none: the target stands in.
    const xcb_atom_t property =
        request.property == XCB_ATOM_NONE ? request.target : request.property;
    const Held* asked = held(request.selection);
    const bool current = asked && asked->owning &&
                         (request.time == XCB_CURRENT_TIME || request.time >= asked->since);
    if (!current) return notify(request, false);
    if (request.target != atoms_[kMultiple]) {
        return notify(request, fill(*asked, request.requestor, property, request.target));
    }
    // Several targets in one request, as clipboard managers ask: the requestor's property lists
    // pairs of a target and the property to fill. Far more than any program asks for is refused
    // unread.
    const auto pairs = request.property == XCB_ATOM_NONE
                           ? std::nullopt
                           : takeProperty(connection_, request.requestor, request.property, false,
                                          kMostPairs * 8 + 8);
    if (!pairs || pairs->format != 32 || pairs->bytes.size() % 8 != 0 ||
        pairs->bytes.size() > kMostPairs * 8) {
        return notify(request, false);
    }
    multiple_ = MultipleAnswer{request, std::vector<xcb_atom_t>(pairs->bytes.size() / 4), 0};
    std::memcpy(multiple_->pairs.data(), pairs->bytes.data(), pairs->bytes.size());
}

// A target we cannot give has its property named none.
bool X11Pasteboard::continueMultiple(Nanoseconds end) {
    MultipleAnswer& answer = *multiple_;
    const Held* asked = held(answer.request.selection);
    auto& atoms = answer.pairs;
    for (; answer.next + 1 < atoms.size(); answer.next += 2) {
        if (loop_->now() >= end) return false;
        const std::size_t index = answer.next;
        if (atoms[index + 1] == XCB_ATOM_NONE || !asked ||
            !fill(*asked, answer.request.requestor, atoms[index + 1], atoms[index])) {
            atoms[index + 1] = XCB_ATOM_NONE;
        }
    }
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, answer.request.requestor,
                        answer.request.property, atoms_[kAtomPair], 32,
                        static_cast<std::uint32_t>(atoms.size()), atoms.data());
    const auto request = answer.request;
    multiple_.reset();
    notify(request, true);
    return true;
}

void X11Pasteboard::notify(const xcb_selection_request_event_t& request, bool filled) const {
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    const xcb_atom_t property =
        request.property == XCB_ATOM_NONE ? request.target : request.property;
    notify.property = filled ? property : xcb_atom_t{XCB_ATOM_NONE};
    xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
}

bool X11Pasteboard::fill(const Held& held, xcb_window_t requestor, xcb_atom_t property,
                         xcb_atom_t target) const {
    if (target == atoms_[kTargets]) {
        const xcb_atom_t targets[] = {atoms_[kTargets],    atoms_[kTimestamp], atoms_[kMultiple],
                                      atoms_[kUtf8String], atoms_[kMimeText],  atoms_[kText],
                                      XCB_ATOM_STRING};
        // An empty pasteboard offers no text.
        const std::uint32_t count = held.contents ? 7 : 3;
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM,
                            32, count, targets);
        return true;
    }
    if (target == atoms_[kTimestamp]) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property,
                            XCB_ATOM_INTEGER, 32, 1, &held.since);
        return true;
    }
    const bool utf8 =
        target == atoms_[kUtf8String] || target == atoms_[kMimeText] || target == atoms_[kText];
    if (!held.contents || (!utf8 && target != XCB_ATOM_STRING)) return false;
    const std::string data = utf8 ? *held.contents : utf8ToLatin1(*held.contents);
    // One request carries the text; larger texts would need the piece-by-piece transfer, which
    // nothing we copy comes near.
    const std::size_t largest = std::size_t{xcb_get_maximum_request_length(connection_)} * 4 - 64;
    if (data.size() > largest) {
        if (!tooLargeNoted_) log_.error("The copied text is too large to hand to other programs");
        tooLargeNoted_ = true;
        return false;
    }
    const xcb_atom_t type = target == atoms_[kMimeText] ? target
                            : utf8                      ? atoms_[kUtf8String]
                                                        : xcb_atom_t{XCB_ATOM_STRING};
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, type, 8,
                        static_cast<std::uint32_t>(data.size()), data.data());
    return true;
}

void X11Pasteboard::countChange() const {
    if (changeCount_ < INT_MAX) ++changeCount_;
}

}  // namespace talvori::x11
