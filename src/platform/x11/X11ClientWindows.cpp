#include "platform/x11/X11ClientWindows.hpp"

#include <xcb/res.h>

#include <algorithm>

#include "platform/desktop/WindowLevel.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

// The requests of one client, sent together so that all clients take one round trip.
struct ClientCookies {
    xcb_get_property_cookie_t pid;
    xcb_get_property_cookie_t netName;
    xcb_get_property_cookie_t name;
    xcb_get_property_cookie_t windowClass;
    xcb_get_property_cookie_t state;
    xcb_get_property_cookie_t desktop;
    xcb_get_property_cookie_t type;
    xcb_get_property_cookie_t opacity;
    xcb_get_property_cookie_t gtkExtents;
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
};

// What tells us that a client's details changed.
constexpr std::uint32_t kClientEvents =
    XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;

bool contains(const std::vector<std::uint32_t>& values, xcb_atom_t atom) {
    return std::find(values.begin(), values.end(), atom) != values.end();
}

}  // namespace

X11ClientWindows::X11ClientWindows(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {}

std::vector<xcb_window_t> X11ClientWindows::clientList() const {
    if (clientList_) return *clientList_;
    xcb_connection_t* raw = connection_->raw();
    const auto stacking = requestProperty(raw, connection_->root(),
                                          connection_->atom(Atom::_NET_CLIENT_LIST_STACKING));
    const auto mapping =
        requestProperty(raw, connection_->root(), connection_->atom(Atom::_NET_CLIENT_LIST));
    auto stacked = propertyReply(raw, stacking);
    auto mapped = propertyReply(raw, mapping);
    if (connection_->isClosed()) return {};
    if (stacked && !stacked->cardinals().empty()) {
        clientList_ = stacked->cardinals();
    } else {
        clientList_ = mapped ? mapped->cardinals() : std::vector<xcb_window_t>{};
    }
    return *clientList_;
}

xcb_window_t X11ClientWindows::activeWindow() const {
    if (activeWindow_ && !announcementPending_) return *activeWindow_;
    xcb_connection_t* raw = connection_->raw();
    const auto request =
        requestProperty(raw, connection_->root(), connection_->atom(Atom::_NET_ACTIVE_WINDOW));
    activeRead_ = request.sequence;
    // Checking an announcement against the focus asks for both in one round trip.
    const bool checksFocus = announcementPending_;
    const xcb_get_input_focus_cookie_t focusRequest =
        checksFocus ? xcb_get_input_focus(raw) : xcb_get_input_focus_cookie_t{0};
    const auto value = propertyReply(raw, request);
    const xcb_window_t announced = value ? value->cardinal().value_or(0) : xcb_window_t{0};
    if (checksFocus && (connection_->isClosed() || announced == *activeWindow_)) {
        xcb_discard_reply(raw, focusRequest.sequence);
    }
    if (connection_->isClosed()) return announced;
    if (announcementPending_) {
        announcementPending_ = false;
        // The window manager announces in steps (often none first, then the new window): while
        // the focus is still in the window that took it, that window stays the active one.
        if (announced != *activeWindow_) {
            auto focus = waitReply(xcb_get_input_focus_reply, raw, focusRequest);
            if (focus && focus->focus == *activeWindow_) return *activeWindow_;
        }
        focusAhead_ = false;
    }
    activeWindow_ = announced;
    return announced;
}

std::uint32_t X11ClientWindows::currentDesktop() const {
    if (currentDesktop_) return *currentDesktop_;
    xcb_connection_t* raw = connection_->raw();
    const auto value =
        propertyReply(raw, requestProperty(raw, connection_->root(),
                                           connection_->atom(Atom::_NET_CURRENT_DESKTOP), 1));
    const std::uint32_t desktop = value ? value->cardinal().value_or(0) : 0;
    if (!connection_->isClosed()) currentDesktop_ = desktop;
    return desktop;
}

std::vector<xcb_window_t> X11ClientWindows::rootChildren() const {
    xcb_connection_t* raw = connection_->raw();
    auto tree = waitReply(xcb_query_tree_reply, raw, xcb_query_tree(raw, connection_->root()));
    if (!tree) return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

const std::vector<xcb_window_t>& X11ClientWindows::knownRootChildren() const {
    if (knownRootChildren_ && !connection_->isClosed()) return *knownRootChildren_;
    xcb_connection_t* raw = connection_->raw();
    const auto request = xcb_query_tree(raw, connection_->root());
    knownRootChildrenRead_ = request.sequence;
    auto tree = waitReply(xcb_query_tree_reply, raw, request);
    knownRootChildren_.emplace();
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        knownRootChildren_->assign(children, children + xcb_query_tree_children_length(tree.get()));
    }
    return *knownRootChildren_;
}

// Structure events on the root say how its children's order changed; one that cannot be placed
// drops the copy, which is read again when next needed.
void X11ClientWindows::followRootChildren(const xcb_generic_event_t& event) {
    // What happened before the order was read is in it already.
    if (!knownRootChildren_ || precedesRequest(event.full_sequence, knownRootChildrenRead_)) return;
    auto& children = *knownRootChildren_;
    const xcb_window_t root = connection_->root();
    auto take = [&](xcb_window_t window) {
        const auto found = std::find(children.begin(), children.end(), window);
        if (found == children.end()) return false;
        children.erase(found);
        return true;
    };
    bool placed = true;
    switch (event.response_type & 0x7F) {
        case XCB_CREATE_NOTIFY: {
            const auto& create = reinterpret_cast<const xcb_create_notify_event_t&>(event);
            if (create.parent == root) children.push_back(create.window);
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto& destroy = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
            if (destroy.event == root) take(destroy.window);
            break;
        }
        case XCB_REPARENT_NOTIFY: {
            const auto& reparent = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
            if (reparent.event != root) break;
            take(reparent.window);
            if (reparent.parent == root) children.push_back(reparent.window);
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (configure.event != root) break;
            placed = take(configure.window);
            if (!placed) break;
            if (configure.above_sibling == XCB_WINDOW_NONE) {
                children.insert(children.begin(), configure.window);
                break;
            }
            const auto below = std::find(children.begin(), children.end(), configure.above_sibling);
            placed = below != children.end();
            if (placed) children.insert(below + 1, configure.window);
            break;
        }
        case XCB_CIRCULATE_NOTIFY: {
            const auto& circulate = reinterpret_cast<const xcb_circulate_notify_event_t&>(event);
            if (circulate.event != root) break;
            placed = take(circulate.window);
            if (!placed) break;
            if (circulate.place == XCB_PLACE_ON_TOP) {
                children.push_back(circulate.window);
            } else {
                children.insert(children.begin(), circulate.window);
            }
            break;
        }
        default:
            break;
    }
    if (!placed) knownRootChildren_.reset();
}

xcb_window_t X11ClientWindows::frameOf(xcb_window_t window) const {
    if (const auto found = frames_.find(window); found != frames_.end()) return found->second;
    xcb_connection_t* raw = connection_->raw();
    xcb_window_t current = window;
    // Reparenting window managers nest a client one or two levels below the root.
    for (int depth = 0; depth < 8; ++depth) {
        auto tree = waitReply(xcb_query_tree_reply, raw, xcb_query_tree(raw, current));
        if (!tree) return XCB_WINDOW_NONE;
        if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) {
            frames_[window] = current;
            return current;
        }
        current = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

std::int32_t X11ClientWindows::pid(xcb_window_t window) const {
    if (window == XCB_WINDOW_NONE) return 0;
    if (const auto found = pids_.find(window); found != pids_.end()) return found->second;
    xcb_connection_t* raw = connection_->raw();
    const auto value =
        propertyReply(raw, requestProperty(raw, window, connection_->atom(Atom::_NET_WM_PID), 1));
    std::int32_t result = value ? static_cast<std::int32_t>(value->cardinal().value_or(0)) : 0;
    if (result <= 0) result = resourcePid(window);
    if (result > 0) pids_[window] = result;
    return result;
}

// Clients that do not publish their process (Xt programs) are still local clients whose process
// the server knows.
std::int32_t X11ClientWindows::resourcePid(xcb_window_t window) const {
    if (!connection_->hasResources()) return 0;
    xcb_connection_t* raw = connection_->raw();
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto reply =
        waitReply(xcb_res_query_client_ids_reply, raw, xcb_res_query_client_ids(raw, 1, &wanted));
    if (!reply) return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
         xcb_res_client_id_value_next(&it)) {
        if (!(it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)) continue;
        if (xcb_res_client_id_value_value_length(it.data) < 1) continue;
        return static_cast<std::int32_t>(*xcb_res_client_id_value_value(it.data));
    }
    return 0;
}

std::optional<X11ClientWindows::Client> X11ClientWindows::readClient(xcb_window_t window) const {
    auto clients = readClients({window});
    if (clients.empty()) return std::nullopt;
    return clients.front();
}

bool X11ClientWindows::watch(xcb_window_t window) const {
    if (isOwnWindow_ && isOwnWindow_(window)) return true;
    const std::uint32_t mask[] = {kClientEvents};
    return connection_->check(xcb_change_window_attributes_checked(connection_->raw(), window,
                                                                   XCB_CW_EVENT_MASK, mask)) == 0;
}

std::vector<X11ClientWindows::Client> X11ClientWindows::readClients(
    const std::vector<xcb_window_t>& windows) const {
    std::vector<xcb_window_t> missing;
    for (const xcb_window_t window : windows) {
        if (!kept_.contains(window)) missing.push_back(window);
    }
    if (!missing.empty()) fetch(missing);
    const std::uint32_t desktopNow = currentDesktop();
    std::vector<Client> clients;
    clients.reserve(windows.size());
    for (const xcb_window_t window : windows) {
        const auto found = kept_.find(window);
        if (found == kept_.end()) continue;
        Client client = found->second.client;
        const auto desktop = found->second.desktop;
        client.onCurrentDesktop = !desktop || *desktop == desktopNow || *desktop == 0xFFFFFFFF;
        clients.push_back(std::move(client));
        // Our own windows change without telling us: read afresh each time.
        if (isOwnWindow_ && isOwnWindow_(window)) kept_.erase(window);
    }
    return clients;
}

// Reads the details of `windows` in one round trip, after selecting the events that say when
// they change (so that no change falls between the read and the selection).
void X11ClientWindows::fetch(const std::vector<xcb_window_t>& windows) const {
    xcb_connection_t* raw = connection_->raw();
    const auto atom = [this](Atom name) { return connection_->atom(name); };
    std::vector<xcb_window_t> frames;
    frames.reserve(windows.size());
    for (const xcb_window_t window : windows) frames.push_back(frameOf(window));
    std::vector<ClientCookies> cookies;
    std::vector<std::optional<xcb_void_cookie_t>> watches;
    cookies.reserve(windows.size());
    const std::uint32_t mask[] = {kClientEvents};
    for (std::size_t index = 0; index < windows.size(); ++index) {
        const xcb_window_t window = windows[index];
        const xcb_window_t frame = frames[index] ? frames[index] : window;
        const bool own = isOwnWindow_ && isOwnWindow_(window);
        watches.push_back(own ? std::nullopt
                              : std::optional(xcb_change_window_attributes_checked(
                                    raw, window, XCB_CW_EVENT_MASK, mask)));
        cookies.push_back({requestProperty(raw, window, atom(Atom::_NET_WM_PID), 1),
                           requestProperty(raw, window, atom(Atom::_NET_WM_NAME), 256),
                           requestProperty(raw, window, XCB_ATOM_WM_NAME, 256),
                           requestProperty(raw, window, XCB_ATOM_WM_CLASS, 64),
                           requestProperty(raw, window, atom(Atom::_NET_WM_STATE), 32),
                           requestProperty(raw, window, atom(Atom::_NET_WM_DESKTOP), 1),
                           requestProperty(raw, window, atom(Atom::_NET_WM_WINDOW_TYPE), 16),
                           requestProperty(raw, window, atom(Atom::_NET_WM_WINDOW_OPACITY), 1),
                           requestProperty(raw, window, atom(Atom::_GTK_FRAME_EXTENTS), 4),
                           xcb_get_window_attributes(raw, frame), xcb_get_geometry(raw, frame)});
    }
    for (std::size_t index = 0; index < windows.size(); ++index) {
        const ClientCookies& cookie = cookies[index];
        const auto pidValue = propertyReply(raw, cookie.pid);
        const auto netName = propertyReply(raw, cookie.netName);
        const auto name = propertyReply(raw, cookie.name);
        const auto windowClass = propertyReply(raw, cookie.windowClass);
        const auto state = propertyReply(raw, cookie.state);
        const auto desktop = propertyReply(raw, cookie.desktop);
        const auto type = propertyReply(raw, cookie.type);
        const auto opacity = propertyReply(raw, cookie.opacity);
        const auto gtkExtents = propertyReply(raw, cookie.gtkExtents);
        auto attributes = waitReply(xcb_get_window_attributes_reply, raw, cookie.attributes);
        auto geometry = waitReply(xcb_get_geometry_reply, raw, cookie.geometry);
        // A window gone meanwhile, or one that cannot be watched, is read again next time.
        const bool watched = !watches[index] || connection_->check(*watches[index]) == 0;
        if (!attributes || !geometry || !watched || frames[index] == XCB_WINDOW_NONE) continue;

        Kept kept;
        Client& client = kept.client;
        client.window = windows[index];
        client.frame = frames[index];
        client.pid = pidValue ? static_cast<std::int32_t>(pidValue->cardinal().value_or(0)) : 0;
        if (client.pid <= 0) client.pid = pid(client.window);
        client.title = netName ? netName->text() : name ? name->text() : std::string();
        if (windowClass) {
            const auto names = windowClass->texts();
            if (!names.empty()) client.instanceName = names[0];
            if (names.size() > 1) client.className = names[1];
        }
        if (gtkExtents) kept.gtkExtents = gtkExtents->cardinals();
        applyFrameRect(kept,
                       {geometry->x, geometry->y, geometry->width + 2U * geometry->border_width,
                        geometry->height + 2U * geometry->border_width});
        client.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        const auto states = state ? state->cardinals() : std::vector<std::uint32_t>{};
        client.hidden = contains(states, atom(Atom::_NET_WM_STATE_HIDDEN));
        client.isAbove = contains(states, atom(Atom::_NET_WM_STATE_ABOVE));
        client.skipsTaskbar = contains(states, atom(Atom::_NET_WM_STATE_SKIP_TASKBAR));
        if (desktop) kept.desktop = desktop->cardinal();
        const auto types = type ? type->cardinals() : std::vector<std::uint32_t>{};
        client.isDesktop = contains(types, atom(Atom::_NET_WM_WINDOW_TYPE_DESKTOP));
        client.isDock = contains(types, atom(Atom::_NET_WM_WINDOW_TYPE_DOCK));
        if (opacity) {
            if (const auto value = opacity->cardinal()) client.alpha = *value / 4294967295.0;
        }
        client.layer = client.isDesktop ? WindowLevel::desktop
                       : client.isDock  ? WindowLevel::dock
                       : client.isAbove ? WindowLevel::floating
                                        : WindowLevel::normal;
        if (!connection_->isClosed()) kept_[client.window] = std::move(kept);
    }
}

// The frame's outer rectangle, less a client-side decorated window's invisible shadow margin.
void X11ClientWindows::applyFrameRect(Kept& kept, const RootRect& frame) const {
    RootRect rect = frame;
    const auto& extents = kept.gtkExtents;
    if (extents.size() == 4 && extents[0] + extents[1] < rect.width &&
        extents[2] + extents[3] < rect.height) {
        rect.x += static_cast<std::int32_t>(extents[0]);
        rect.y += static_cast<std::int32_t>(extents[2]);
        rect.width -= extents[0] + extents[1];
        rect.height -= extents[2] + extents[3];
    }
    kept.client.rect = rect;
}

void X11ClientWindows::forget(xcb_window_t window) {
    std::erase_if(kept_, [window](const auto& entry) {
        return entry.first == window || entry.second.client.frame == window;
    });
}

bool X11ClientWindows::isReadProperty(xcb_atom_t property) const {
    for (const Atom name :
         {Atom::_NET_WM_PID, Atom::_NET_WM_NAME, Atom::_NET_WM_STATE, Atom::_NET_WM_DESKTOP,
          Atom::_NET_WM_WINDOW_TYPE, Atom::_NET_WM_WINDOW_OPACITY, Atom::_GTK_FRAME_EXTENTS}) {
        if (property == connection_->atom(name)) return true;
    }
    return property == XCB_ATOM_WM_NAME || property == XCB_ATOM_WM_CLASS;
}

bool X11ClientWindows::update(const xcb_generic_event_t& event) {
    const xcb_window_t root = connection_->root();
    followRootChildren(event);
    switch (event.response_type & 0x7F) {
        case XCB_FOCUS_IN: {
            const auto& focus = reinterpret_cast<const xcb_focus_in_event_t&>(event);
            const bool real =
                focus.mode == XCB_NOTIFY_MODE_NORMAL || focus.mode == XCB_NOTIFY_MODE_WHILE_GRABBED;
            if (!real || focus.detail >= XCB_NOTIFY_DETAIL_POINTER ||
                !kept_.contains(focus.event) || activeWindow_ == focus.event) {
                break;
            }
            activeWindow_ = focus.event;
            focusAhead_ = true;
            announcementPending_ = false;
            return true;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            if (notify.window != root) {
                if (isReadProperty(notify.atom)) kept_.erase(notify.window);
            } else if (notify.atom == connection_->atom(Atom::_NET_ACTIVE_WINDOW)) {
                // The window manager announces in steps; a step made before our latest read is
                // in what that read returned.
                if (activeWindow_ && activeRead_ &&
                    precedesRequest(event.full_sequence, *activeRead_)) {
                    break;
                }
                // Ahead of the window manager (the focus moved first), its announcement is
                // checked against what the focus said; else simply read again.
                if (focusAhead_) {
                    announcementPending_ = true;
                } else {
                    activeWindow_.reset();
                }
            } else if (notify.atom == connection_->atom(Atom::_NET_CLIENT_LIST) ||
                       notify.atom == connection_->atom(Atom::_NET_CLIENT_LIST_STACKING)) {
                clientList_.reset();
            } else if (notify.atom == connection_->atom(Atom::_NET_CURRENT_DESKTOP)) {
                currentDesktop_.reset();
            }
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            // A frame moved or was restacked: its outer rectangle comes with the event.
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (configure.event != root) break;
            const RootRect frame{configure.x, configure.y,
                                 configure.width + 2U * configure.border_width,
                                 configure.height + 2U * configure.border_width};
            for (auto& [window, kept] : kept_) {
                if (kept.client.frame == configure.window) applyFrameRect(kept, frame);
            }
            break;
        }
        case XCB_MAP_NOTIFY:
            forget(reinterpret_cast<const xcb_map_notify_event_t&>(event).window);
            break;
        case XCB_UNMAP_NOTIFY:
            forget(reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window);
            break;
        case XCB_REPARENT_NOTIFY:
            forget(reinterpret_cast<const xcb_reparent_notify_event_t&>(event).window);
            break;
        case XCB_DESTROY_NOTIFY:
            forget(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
            break;
        default:
            break;
    }
    return false;
}

void X11ClientWindows::handleEvent(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7F) {
        case XCB_REPARENT_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
            frames_.erase(notify.window);
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
            // A client's own destruction reaches only its frame; the frame's own, which follows,
            // reaches us: forget every client it held.
            for (auto it = frames_.begin(); it != frames_.end();) {
                if (it->first == notify.window || it->second == notify.window) {
                    pids_.erase(it->first);
                    it = frames_.erase(it);
                } else {
                    ++it;
                }
            }
            pids_.erase(notify.window);
            break;
        }
        default:
            break;
    }
}

}  // namespace talvori::x11
