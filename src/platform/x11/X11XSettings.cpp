#include "platform/x11/X11XSettings.hpp"

#include <xcb/xfixes.h>

#include "platform/core/weakly.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

enum Type : std::uint8_t { kInteger = 0, kString = 1, kColor = 2 };

// The table's own byte order, given by its first byte.
class Reader {
  public:
    explicit Reader(const std::vector<std::uint8_t>& blob)
        : blob_(blob), bigEndian_(!blob.empty() && blob[0] == 1) {}

    bool has(std::size_t at, std::size_t length) const {
        return at <= blob_.size() && length <= blob_.size() - at;
    }
    std::uint32_t card32(std::size_t at) const {
        const std::uint8_t* p = &blob_[at];
        return bigEndian_ ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                             std::uint32_t{p[2]} << 8 | p[3])
                          : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                             std::uint32_t{p[1]} << 8 | p[0]);
    }
    std::uint16_t card16(std::size_t at) const {
        const std::uint8_t* p = &blob_[at];
        return static_cast<std::uint16_t>(bigEndian_ ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]));
    }
    std::string text(std::size_t at, std::size_t length) const {
        return {blob_.begin() + static_cast<long>(at),
                blob_.begin() + static_cast<long>(at + length)};
    }

  private:
    const std::vector<std::uint8_t>& blob_;
    bool bigEndian_;
};

std::size_t padded(std::size_t length) {
    return (length + 3) & ~std::size_t{3};
}

}  // namespace

X11XSettings::Table X11XSettings::parse(const std::vector<std::uint8_t>& blob) {
    Table table;
    const Reader reader(blob);
    if (!reader.has(0, 12)) return table;
    const std::uint32_t count = reader.card32(8);
    std::size_t at = 12;
    for (std::uint32_t index = 0; index < count; ++index) {
        // Type, a pad byte, the name's length, the name, then the serial of its last change.
        if (!reader.has(at, 4)) break;
        const std::uint8_t type = blob[at];
        const std::size_t nameLength = reader.card16(at + 2);
        if (!reader.has(at + 4, padded(nameLength) + 4)) break;
        std::string name = reader.text(at + 4, nameLength);
        at += 4 + padded(nameLength) + 4;
        if (type == kInteger && reader.has(at, 4)) {
            table[std::move(name)] = static_cast<std::int32_t>(reader.card32(at));
            at += 4;
        } else if (type == kString && reader.has(at, 4)) {
            const std::size_t length = reader.card32(at);
            if (!reader.has(at + 4, padded(length))) break;
            table[std::move(name)] = reader.text(at + 4, length);
            at += 4 + padded(length);
        } else if (type == kColor && reader.has(at, 8)) {
            table[std::move(name)] = Color{reader.card16(at), reader.card16(at + 2),
                                           reader.card16(at + 4), reader.card16(at + 6)};
            at += 8;
        } else {
            break;
        }
    }
    return table;
}

X11XSettings::Table X11XSettings::read() const {
    xcb_connection_t* raw = connection_->raw();
    auto owner =
        waitReply(xcb_get_selection_owner_reply, raw,
                  xcb_get_selection_owner(raw, connection_->atom(Atom::settingsSelection)));
    if (!owner || owner->owner == XCB_WINDOW_NONE) return {};
    const auto settings = propertyReply(
        raw,
        requestProperty(raw, owner->owner, connection_->atom(Atom::_XSETTINGS_SETTINGS), 16384));
    if (!settings || settings->format != 8) return {};
    return parse(settings->bytes);
}

std::optional<std::int32_t> X11XSettings::integer(std::string_view name) const {
    const auto table = read();
    const auto found = table.find(name);
    if (found == table.end()) return std::nullopt;
    if (const auto* value = std::get_if<std::int32_t>(&found->second)) return *value;
    return std::nullopt;
}

std::optional<std::string> X11XSettings::string(std::string_view name) const {
    const auto table = read();
    const auto found = table.find(name);
    if (found == table.end()) return std::nullopt;
    if (const auto* value = std::get_if<std::string>(&found->second)) return *value;
    return std::nullopt;
}

std::optional<std::int32_t> X11XSettings::followedInteger(std::string_view name) const {
    const auto found = table_.find(name);
    if (found == table_.end()) return std::nullopt;
    if (const auto* value = std::get_if<std::int32_t>(&found->second)) return *value;
    return std::nullopt;
}

// ---- Following

void X11XSettings::follow(std::function<void()> changed) {
    changed_ = std::move(changed);
    if (following_) return;
    following_ = true;
    if (connection_->hasXfixes()) {
        xcb_xfixes_select_selection_input(
            connection_->raw(), connection_->root(), connection_->atom(Atom::settingsSelection),
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }
    readOwner();
}

void X11XSettings::readOwner() {
    const std::uint64_t read = ++reads_;
    xcb_connection_t* raw = connection_->raw();
    connection_->whenReplied<xcb_get_selection_owner_reply_t>(
        xcb_get_selection_owner(raw, connection_->atom(Atom::settingsSelection)),
        weakly(weak_from_this(),
               [read](X11XSettings& self, Reply<xcb_get_selection_owner_reply_t> reply) {
                   if (read != self.reads_) return;
                   self.watchOwner(reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE});
               }));
}

void X11XSettings::watchOwner(xcb_window_t owner) {
    owner_ = owner;
    if (owner == XCB_WINDOW_NONE) {
        table_.clear();
        if (changed_) changed_();
        return;
    }
    // Told of each rewrite from now on; a window gone meanwhile is no error worth a line.
    const std::uint32_t mask[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_discard_reply(connection_->raw(), xcb_change_window_attributes_checked(
                                              connection_->raw(), owner, XCB_CW_EVENT_MASK, mask)
                                              .sequence);
    readTable();
}

void X11XSettings::readTable() {
    const std::uint64_t read = ++reads_;
    xcb_connection_t* raw = connection_->raw();
    connection_->whenReplied<xcb_get_property_reply_t>(
        requestProperty(raw, owner_, connection_->atom(Atom::_XSETTINGS_SETTINGS), 16384),
        weakly(weak_from_this(), [read](X11XSettings& self, Reply<xcb_get_property_reply_t> reply) {
            if (read != self.reads_) return;
            const auto value = propertyValue(reply.get());
            self.table_ = value && value->format == 8 ? parse(value->bytes) : Table{};
            if (self.changed_) self.changed_();
        }));
}

void X11XSettings::subscribe(X11EventRouter& router) {
    if (connection_->hasXfixes()) {
        router.on<&X11XSettings::selectionOwnerChanged>(
            connection_->xfixesFirstEvent() + XCB_XFIXES_SELECTION_NOTIFY, *this);
    }
    router.onProperty<&X11XSettings::settingsChanged>(connection_->atom(Atom::_XSETTINGS_SETTINGS),
                                                      *this);
}

void X11XSettings::selectionOwnerChanged(const xcb_xfixes_selection_notify_event_t& notify) {
    if (following_ && notify.selection == connection_->atom(Atom::settingsSelection)) readOwner();
}

void X11XSettings::settingsChanged(const xcb_property_notify_event_t& notify) {
    if (following_ && owner_ != XCB_WINDOW_NONE && notify.window == owner_) readTable();
}

}  // namespace talvori::x11
