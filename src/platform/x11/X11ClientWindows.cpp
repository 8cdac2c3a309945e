#include "platform/x11/X11ClientWindows.hpp"

#include <xcb/res.h>

#include <algorithm>
#include <array>
#include <utility>

#include "platform/desktop/WindowLevel.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

// What tells us that a client's details changed.
constexpr std::uint32_t kClientEvents =
    XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;

bool contains(const std::vector<std::uint32_t>& values, xcb_atom_t atom) {
    return std::find(values.begin(), values.end(), atom) != values.end();
}

// The local process the server found for a window's client; 0 when none.
std::int32_t clientIdsPid(const xcb_res_query_client_ids_reply_t* reply) {
    if (!reply) return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply); it.rem > 0;
         xcb_res_client_id_value_next(&it)) {
        [[maybe_unused]] const auto& [client, bytes] = *it.data;
        if (!(client.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)) continue;
        if (xcb_res_client_id_value_value_length(it.data) < 1) continue;
        return static_cast<std::int32_t>(*xcb_res_client_id_value_value(it.data));
    }
    return 0;
}

std::int32_t clientIdsPid(xcb_connection_t* raw, xcb_res_query_client_ids_cookie_t request) {
    return clientIdsPid(waitReply(xcb_res_query_client_ids_reply, raw, request).get());
}

// The most of a client's property read, in 32-bit units: a long title, a few classes or states.
constexpr std::uint32_t kPropertyLength = 256;

// Reparenting window managers nest a client one or two levels below the root.
constexpr int kFrameDepthLimit = 8;

}  // namespace

// The requests of one client, sent together so that all clients take one round trip.
struct X11ClientWindows::ClientRequests {
    xcb_window_t window;
    xcb_window_t frame;
    std::optional<xcb_void_cookie_t> watch;
    // In the order of readProperties().
    std::array<xcb_get_property_cookie_t, X11ClientWindows::kReadPropertyCount> properties;
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    // Asked only when the server can tell it.
    std::optional<xcb_res_query_client_ids_cookie_t> clientIds;
};

struct X11ClientWindows::ListRequests {
    xcb_get_property_cookie_t mapping;
    xcb_get_property_cookie_t stacking;
};

X11ClientWindows::X11ClientWindows(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {}

// Every request goes out before the first answer is waited for: one round trip, and the clients
// it names after it.
void X11ClientWindows::fetchState() {
    xcb_connection_t* raw = connection_->raw();
    const xcb_window_t root = connection_->root();
    const ListRequests lists = requestLists();
    const auto tree = xcb_query_tree(raw, root);
    const auto active = requestProperty(raw, root, connection_->atom(Atom::_NET_ACTIVE_WINDOW), 1);
    const auto current =
        requestProperty(raw, root, connection_->atom(Atom::_NET_CURRENT_DESKTOP), 1);
    const auto count =
        requestProperty(raw, root, connection_->atom(Atom::_NET_NUMBER_OF_DESKTOPS), 1);
    keepClientList(lists, nullptr);
    knownRootChildrenRead_ = tree.sequence;
    keepRootChildren(waitReply(xcb_query_tree_reply, raw, tree).get());
    const auto announced = propertyReply(raw, active);
    activeWindow_ = announced ? announced->cardinal().value_or(0) : xcb_window_t{0};
    keepDesktops(current, count);
    fetchClients(clientList_);
}

X11ClientWindows::ListRequests X11ClientWindows::requestLists() const {
    xcb_connection_t* raw = connection_->raw();
    return {requestProperty(raw, connection_->root(), connection_->atom(Atom::_NET_CLIENT_LIST)),
            requestProperty(raw, connection_->root(),
                            connection_->atom(Atom::_NET_CLIENT_LIST_STACKING))};
}

// `stacking`: the reply already taken for the stacking list's request, when it came first.
void X11ClientWindows::keepClientList(const ListRequests& requests,
                                      const xcb_get_property_reply_t* stacking) {
    xcb_connection_t* raw = connection_->raw();
    const auto mapped = propertyReply(raw, requests.mapping);
    const auto stacked = stacking ? propertyValue(stacking) : propertyReply(raw, requests.stacking);
    if (connection_->isClosed()) return;
    listIsStacking_ = !mapped || mapped->cardinals().empty();
    if (!listIsStacking_) {
        clientList_ = mapped->cardinals();
    } else {
        clientList_ = stacked ? stacked->cardinals() : std::vector<xcb_window_t>{};
    }
}

std::vector<X11ClientWindows::Client> X11ClientWindows::stacked(std::vector<Client> clients) const {
    const auto& children = knownRootChildren();
    auto place = [&](const Client& client) {
        return std::find(children.begin(), children.end(), client.frame) - children.begin();
    };
    std::stable_sort(clients.begin(), clients.end(),
                     [&](const Client& a, const Client& b) { return place(a) < place(b); });
    return clients;
}

xcb_window_t X11ClientWindows::clientIn(xcb_window_t frame) const {
    const auto found = std::find_if(kept_.begin(), kept_.end(), [frame](const auto& entry) {
        return entry.second.client.frame == frame;
    });
    return found == kept_.end() ? xcb_window_t{XCB_WINDOW_NONE} : found->first;
}

std::vector<xcb_window_t> X11ClientWindows::keptWindows() const {
    std::vector<xcb_window_t> windows;
    windows.reserve(kept_.size());
    for (const auto& entry : kept_) windows.push_back(entry.first);
    return windows;
}

xcb_window_t X11ClientWindows::activeWindow() const {
    return activeWindow_.value_or(XCB_WINDOW_NONE);
}

bool X11ClientWindows::takeActiveWindowChange() {
    return std::exchange(activeChanged_, false);
}

void X11ClientWindows::keepDesktops(xcb_get_property_cookie_t current,
                                    xcb_get_property_cookie_t count) {
    xcb_connection_t* raw = connection_->raw();
    const auto currentValue = propertyReply(raw, current);
    const auto countValue = propertyReply(raw, count);
    if (connection_->isClosed()) return;
    desktops_ = {currentValue ? currentValue->cardinal().value_or(0) : 0,
                 countValue ? countValue->cardinal() : std::nullopt};
}

std::vector<xcb_window_t> X11ClientWindows::fetchRootChildren() {
    xcb_connection_t* raw = connection_->raw();
    auto tree = waitReply(xcb_query_tree_reply, raw, xcb_query_tree(raw, connection_->root()));
    if (!tree) return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

namespace {

// Where a restack leaves `window` among `children`; false when its sibling is not among them.
bool placeRestacked(std::vector<xcb_window_t>& children, xcb_window_t window, xcb_window_t sibling,
                    std::uint32_t mode) {
    std::erase(children, window);
    const bool above = mode == XCB_STACK_MODE_ABOVE;
    if (sibling == XCB_WINDOW_NONE) {
        children.insert(above ? children.end() : children.begin(), window);
        return true;
    }
    const auto found = std::find(children.begin(), children.end(), sibling);
    if (found == children.end()) return false;
    children.insert(above ? found + 1 : found, window);
    return true;
}

}  // namespace

// The server handles our requests in order, and any event it made since one of them was handled
// tells that it was: a restack whose event is not read yet is put where it goes. A restack that
// changed nothing makes no event, but leaves the order as it was.
std::optional<std::vector<xcb_window_t>> X11ClientWindows::expectedRootChildren() const {
    if (!rootChildrenKnown_ || rootChildrenLost_ || rootChildrenRereading_) return std::nullopt;
    auto children = knownRootChildren_;
    for (const OwnRestack& restack : ownRestacks_) {
        if (!isUnseen(restack.request)) continue;
        if (!placeRestacked(children, restack.window, restack.sibling, restack.mode)) {
            return std::nullopt;
        }
    }
    return children;
}

std::vector<xcb_window_t> X11ClientWindows::fetchExpectedRootChildren() {
    auto expected = expectedRootChildren();
    return expected ? std::move(*expected) : fetchRootChildren();
}

xcb_void_cookie_t X11ClientWindows::restackOwn(xcb_window_t window, xcb_window_t sibling,
                                               std::uint32_t mode) {
    xcb_void_cookie_t request;
    if (sibling == XCB_WINDOW_NONE) {
        const std::uint32_t values[] = {mode};
        request =
            xcb_configure_window(connection_->raw(), window, XCB_CONFIG_WINDOW_STACK_MODE, values);
    } else {
        const std::uint32_t values[] = {sibling, mode};
        request =
            xcb_configure_window(connection_->raw(), window,
                                 XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    }
    expectRestack(request, window, sibling, mode);
    return request;
}

void X11ClientWindows::expectRestack(xcb_void_cookie_t request, xcb_window_t window,
                                     xcb_window_t sibling, std::uint32_t mode) {
    std::erase_if(ownRestacks_,
                  [this](const OwnRestack& restack) { return !isUnseen(restack.request); });
    ownRestacks_.push_back({request.sequence, window, sibling, mode});
}

bool X11ClientWindows::isUnseen(std::uint32_t request) const {
    return precedesRequest(connection_->lastEventSequence(), request);
}

void X11ClientWindows::keepRootChildren(const xcb_query_tree_reply_t* tree) {
    rootChildrenKnown_ = true;
    rootChildrenRereading_ = false;
    knownRootChildren_.clear();
    if (!tree) return;
    auto* reply = const_cast<xcb_query_tree_reply_t*>(tree);
    const xcb_window_t* children = xcb_query_tree_children(reply);
    knownRootChildren_.assign(children, children + xcb_query_tree_children_length(reply));
}

// ---- Reading again what the events said changed

void X11ClientWindows::sendReads() {
    if (connection_->isClosed()) return;
    if (std::exchange(clientListChanged_, false)) readClientList();
    if (std::exchange(rootChildrenLost_, false)) readRootChildren();
    if (std::exchange(desktopChanged_, false)) readCurrentDesktop();
    if (!changedClients_.empty()) {
        std::vector<xcb_window_t> windows(changedClients_.begin(), changedClients_.end());
        for (const xcb_window_t window : windows) changedProperties_.erase(window);
        changedClients_.clear();
        readClientsLater(windows);
    }
    readChangedProperties();
    // Last: an active window it names is looked at with the rest already read.
    if (std::exchange(activeAnnounced_, false)) readActiveWindow();
}

// The window manager announces in steps (often none first, then the new window). Only the
// announcement is asked: where the focus was when it was read, the events before its answer
// told already.
void X11ClientWindows::readActiveWindow() {
    xcb_connection_t* raw = connection_->raw();
    const std::uint64_t read = ++activeReads_;
    connection_->whenReplied<xcb_get_property_reply_t>(
        requestProperty(raw, connection_->root(), connection_->atom(Atom::_NET_ACTIVE_WINDOW), 1),
        [this, read](Reply<xcb_get_property_reply_t> reply) {
            if (read != activeReads_ || connection_->isClosed()) return;
            const auto value = propertyValue(reply.get());
            announcementRead(value ? value->cardinal().value_or(0) : xcb_window_t{0});
        });
}

void X11ClientWindows::announcementRead(xcb_window_t announced) {
    const xcb_window_t current = activeWindow_.value_or(XCB_WINDOW_NONE);
    if (announced == current) {
        focusAhead_ = false;
        return;
    }
    // While the focus is still in the window that took it, that window stays the active one.
    if (focusAhead_ && focusedClient_ == current) return;
    focusAhead_ = false;
    adopt(announced);
}

// Those told of the change read the new window's process: a window not read yet has it asked
// first, and the change is told once it is answered.
void X11ClientWindows::adopt(xcb_window_t announced) {
    activeWindow_ = announced;
    if (announced == XCB_WINDOW_NONE || kept_.contains(announced)) {
        activeChanged_ = true;
        return;
    }
    fetchPid(announced, [this, announced](std::int32_t) {
        if (activeWindow_ == announced) activeChanged_ = true;
    });
}

void X11ClientWindows::readClientList() {
    const std::uint64_t read = ++listReads_;
    const ListRequests requests = requestLists();
    connection_->whenReplied<xcb_get_property_reply_t>(
        requests.stacking, [this, read, requests](Reply<xcb_get_property_reply_t> stacking) {
            if (read != listReads_ || connection_->isClosed()) return;
            keepClientList(requests, stacking.get());
            // New clients are read at once, so that they are known when they take the focus.
            std::vector<xcb_window_t> unknown;
            for (const xcb_window_t window : clientList_) {
                if (!kept_.contains(window)) unknown.push_back(window);
            }
            if (!unknown.empty()) readClientsLater(unknown);
        });
}

void X11ClientWindows::readRootChildren() {
    xcb_connection_t* raw = connection_->raw();
    const std::uint64_t read = ++treeReads_;
    rootChildrenRereading_ = true;
    const auto request = xcb_query_tree(raw, connection_->root());
    connection_->whenReplied<xcb_query_tree_reply_t>(
        request, [this, read, sequence = request.sequence](Reply<xcb_query_tree_reply_t> tree) {
            if (read != treeReads_ || connection_->isClosed()) return;
            keepRootChildren(tree.get());
            knownRootChildrenRead_ = sequence;
        });
}

void X11ClientWindows::readCurrentDesktop() {
    xcb_connection_t* raw = connection_->raw();
    const xcb_window_t root = connection_->root();
    const std::uint64_t read = ++desktopReads_;
    const auto current =
        requestProperty(raw, root, connection_->atom(Atom::_NET_CURRENT_DESKTOP), 1);
    const auto count =
        requestProperty(raw, root, connection_->atom(Atom::_NET_NUMBER_OF_DESKTOPS), 1);
    // Answered after both: taking them then waits for nothing.
    connection_->whenReplied<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus(raw), [this, read, current, count](Reply<xcb_get_input_focus_reply_t>) {
            if (read != desktopReads_) {
                xcb_discard_reply(connection_->raw(), current.sequence);
                xcb_discard_reply(connection_->raw(), count.sequence);
                return;
            }
            keepDesktops(current, count);
        });
}

void X11ClientWindows::readClientsLater(const std::vector<xcb_window_t>& windows) {
    auto requests = requestClients(windows, false);
    if (requests.empty()) return;
    // Answered after all of them: once it has come, taking theirs waits for nothing.
    connection_->whenReplied<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus(connection_->raw()),
        [this, requests = std::move(requests)](Reply<xcb_get_input_focus_reply_t>) {
            keepClients(requests);
            if (clientsKept_) clientsKept_();
        });
}

void X11ClientWindows::readChangedProperties() {
    xcb_connection_t* raw = connection_->raw();
    const xcb_atom_t netName = connection_->atom(Atom::_NET_WM_NAME);
    for (auto& [changedWindow, changed] : changedProperties_) {
        // clang before 16 lets no lambda capture a structured binding: the lambdas take a copy.
        const xcb_window_t window = changedWindow;
        // WM_NAME stands in for a _NET_WM_NAME taken away.
        if (changed.contains(netName)) changed.insert(XCB_ATOM_WM_NAME);
        for (const xcb_atom_t property : readProperties()) {
            if (!changed.contains(property)) continue;
            connection_->whenReplied<xcb_get_property_reply_t>(
                requestProperty(raw, window, property, kPropertyLength),
                [this, window, property](Reply<xcb_get_property_reply_t> reply) {
                    const auto kept = kept_.find(window);
                    if (kept == kept_.end() || !reply) return;
                    applyProperty(kept->second, property, propertyValue(reply.get()));
                });
        }
    }
    changedProperties_.clear();
}

void X11ClientWindows::readOnceFramed(xcb_window_t window) {
    fetchFrameOf(window, [this, window](xcb_window_t frame) {
        if (frame != XCB_WINDOW_NONE && !kept_.contains(window)) readClientsLater({window});
    });
}

// Structure events on the root say how its children's order changed; one that cannot be placed
// drops the copy, which is read again when next needed. What happened before the order was read
// is in it already.
bool X11ClientWindows::followsRootChildren(const void* event) const {
    const auto& generic = *static_cast<const xcb_generic_event_t*>(event);
    return rootChildrenKnown_ && !precedesRequest(generic.full_sequence, knownRootChildrenRead_);
}

bool X11ClientWindows::takeRootChild(xcb_window_t window) {
    auto& children = knownRootChildren_;
    const auto found = std::find(children.begin(), children.end(), window);
    if (found == children.end()) return false;
    children.erase(found);
    return true;
}

void X11ClientWindows::created(const xcb_create_notify_event_t& create) {
    if (!followsRootChildren(&create)) return;
    if (create.parent == connection_->root()) knownRootChildren_.push_back(create.window);
}

void X11ClientWindows::restacked(const xcb_configure_notify_event_t& configure) {
    // The root's own change of size is no restack.
    const xcb_window_t root = connection_->root();
    if (!followsRootChildren(&configure) || configure.event != root || configure.window == root) {
        return;
    }
    auto& children = knownRootChildren_;
    bool placed = takeRootChild(configure.window);
    if (placed && configure.above_sibling == XCB_WINDOW_NONE) {
        children.insert(children.begin(), configure.window);
    } else if (placed) {
        const auto below = std::find(children.begin(), children.end(), configure.above_sibling);
        placed = below != children.end();
        if (placed) children.insert(below + 1, configure.window);
    }
    // Kept as it is until the order read again replaces it.
    if (!placed) rootChildrenLost_ = true;
}

void X11ClientWindows::circulated(const xcb_circulate_notify_event_t& circulate) {
    if (!followsRootChildren(&circulate) || circulate.event != connection_->root()) return;
    if (!takeRootChild(circulate.window)) {
        rootChildrenLost_ = true;
        return;
    }
    auto& children = knownRootChildren_;
    if (circulate.place == XCB_PLACE_ON_TOP) {
        children.push_back(circulate.window);
    } else {
        children.insert(children.begin(), circulate.window);
    }
}

xcb_window_t X11ClientWindows::frameOf(xcb_window_t window) const {
    if (const auto found = frames_.find(window); found != frames_.end()) return found->second;
    if (const auto kept = kept_.find(window); kept != kept_.end()) return kept->second.client.frame;
    const auto& children = knownRootChildren_;
    if (std::find(children.begin(), children.end(), window) != children.end()) return window;
    return XCB_WINDOW_NONE;
}

// One level a round: each answer names the parent to ask about next.
void X11ClientWindows::fetchFrameOf(xcb_window_t window, std::function<void(xcb_window_t)> done) {
    if (const xcb_window_t known = frameOf(window); known != XCB_WINDOW_NONE) {
        done(known);
        return;
    }
    askParentOf(window, window, 0, std::move(done));
}

void X11ClientWindows::askParentOf(xcb_window_t window, xcb_window_t current, int depth,
                                   std::function<void(xcb_window_t)> done) {
    xcb_connection_t* raw = connection_->raw();
    connection_->whenReplied<xcb_query_tree_reply_t>(
        xcb_query_tree(raw, current),
        [this, window, current, depth, done = std::move(done)](Reply<xcb_query_tree_reply_t> tree) {
            if (!tree || connection_->isClosed()) return done(XCB_WINDOW_NONE);
            if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) {
                frames_[window] = current;
                return done(current);
            }
            // Reparenting window managers nest a client one or two levels below the root.
            if (depth + 1 >= kFrameDepthLimit) return done(XCB_WINDOW_NONE);
            askParentOf(window, tree->parent, depth + 1, std::move(done));
        });
}

// For the reads at start, which wait anyway.
xcb_window_t X11ClientWindows::waitForFrameOf(xcb_window_t window) {
    if (const xcb_window_t known = frameOf(window); known != XCB_WINDOW_NONE) return known;
    xcb_connection_t* raw = connection_->raw();
    xcb_window_t current = window;
    for (int depth = 0; depth < kFrameDepthLimit; ++depth) {
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
    if (const auto kept = kept_.find(window); kept != kept_.end() && kept->second.client.pid > 0) {
        return kept->second.client.pid;
    }
    const auto found = pids_.find(window);
    return found == pids_.end() ? 0 : found->second;
}

// Clients that do not publish their process (Xt programs) are still local clients whose process
// the server knows: both are asked at once, the published one wins.
void X11ClientWindows::fetchPid(xcb_window_t window, std::function<void(std::int32_t)> done) {
    if (const std::int32_t known = pid(window); known > 0 || window == XCB_WINDOW_NONE) {
        done(known);
        return;
    }
    xcb_connection_t* raw = connection_->raw();
    const auto property = requestProperty(raw, window, connection_->atom(Atom::_NET_WM_PID), 1);
    const auto clientIds = requestClientIds(window);
    auto decide = [this, window, property, done = std::move(done)](std::int32_t server) {
        // Asked first, so answered by now: taking it waits for nothing.
        const auto value = propertyReply(connection_->raw(), property);
        std::int32_t result = value ? static_cast<std::int32_t>(value->cardinal().value_or(0)) : 0;
        if (result <= 0) result = server;
        if (result > 0 && !connection_->isClosed()) pids_[window] = result;
        done(result);
    };
    if (!clientIds) {
        connection_->whenReplied<xcb_get_input_focus_reply_t>(
            xcb_get_input_focus(raw),
            [decide = std::move(decide)](Reply<xcb_get_input_focus_reply_t>) { decide(0); });
        return;
    }
    connection_->whenReplied<xcb_res_query_client_ids_reply_t>(
        *clientIds, [decide = std::move(decide)](Reply<xcb_res_query_client_ids_reply_t> ids) {
            decide(clientIdsPid(ids.get()));
        });
}

std::optional<xcb_res_query_client_ids_cookie_t> X11ClientWindows::requestClientIds(
    xcb_window_t window) const {
    if (!connection_->hasResources()) return std::nullopt;
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    return xcb_res_query_client_ids(connection_->raw(), 1, &wanted);
}

std::optional<X11ClientWindows::Client> X11ClientWindows::readClient(xcb_window_t window) const {
    const auto found = kept_.find(window);
    if (found == kept_.end()) return std::nullopt;
    return read(found->second);
}

bool X11ClientWindows::watch(xcb_window_t window) const {
    if (isOwnWindow_ && isOwnWindow_(window)) return true;
    const std::uint32_t mask[] = {kClientEvents};
    return connection_->check(xcb_change_window_attributes_checked(connection_->raw(), window,
                                                                   XCB_CW_EVENT_MASK, mask)) == 0;
}

std::vector<X11ClientWindows::Client> X11ClientWindows::fetchClients(
    const std::vector<xcb_window_t>& windows) {
    std::vector<xcb_window_t> missing;
    for (const xcb_window_t window : windows) {
        if (!kept_.contains(window)) missing.push_back(window);
    }
    if (!missing.empty()) keepClients(requestClients(missing, true));
    return readClients(windows);
}

std::vector<X11ClientWindows::Client> X11ClientWindows::readClients(
    const std::vector<xcb_window_t>& windows) const {
    std::vector<Client> clients;
    clients.reserve(windows.size());
    for (const xcb_window_t window : windows) {
        const auto found = kept_.find(window);
        if (found != kept_.end()) clients.push_back(read(found->second));
    }
    return clients;
}

X11ClientWindows::Client X11ClientWindows::read(const Kept& kept) const {
    const Desktops& now = desktops_;
    Client client = kept.client;
    const auto desktop = kept.desktop;
    // A number past the last desktop (all of them is 0xFFFFFFFF) is no other desktop: the window
    // is taken to be on this one.
    client.onCurrentDesktop = !desktop || *desktop == now.current || *desktop == 0xFFFFFFFF ||
                              (now.count && *desktop >= *now.count);
    return client;
}

std::vector<X11ClientWindows::ClientRequests> X11ClientWindows::requestClients(
    const std::vector<xcb_window_t>& windows, bool waitForWatch) {
    xcb_connection_t* raw = connection_->raw();
    const std::uint32_t mask[] = {kClientEvents};
    const auto properties = readProperties();
    std::vector<ClientRequests> requests;
    requests.reserve(windows.size());
    for (const xcb_window_t window : windows) {
        const xcb_window_t frame = waitForWatch ? waitForFrameOf(window) : frameOf(window);
        if (frame == XCB_WINDOW_NONE) {
            // Read once its frame is known.
            if (!waitForWatch) readOnceFramed(window);
            continue;
        }
        std::optional<xcb_void_cookie_t> watch;
        // Our own windows keep the event mask we gave them.
        if (!isOwnWindow_ || !isOwnWindow_(window)) {
            watch = xcb_change_window_attributes_checked(raw, window, XCB_CW_EVENT_MASK, mask);
            // A window gone meanwhile shows in the other answers; its error is no news.
            if (!waitForWatch) {
                xcb_discard_reply(raw, watch->sequence);
                watch.reset();
            }
        }
        ClientRequests& request = requests.emplace_back();
        request.window = window;
        request.frame = frame;
        request.watch = watch;
        for (std::size_t index = 0; index < properties.size(); ++index) {
            request.properties[index] =
                requestProperty(raw, window, properties[index], kPropertyLength);
        }
        request.attributes = xcb_get_window_attributes(raw, frame);
        request.geometry = xcb_get_geometry(raw, frame);
        request.clientIds = requestClientIds(window);
    }
    return requests;
}

void X11ClientWindows::keepClients(const std::vector<ClientRequests>& requests) const {
    xcb_connection_t* raw = connection_->raw();
    const auto properties = readProperties();
    for (const ClientRequests& request : requests) {
        Kept kept;
        for (std::size_t index = 0; index < properties.size(); ++index) {
            applyProperty(kept, properties[index], propertyReply(raw, request.properties[index]));
        }
        auto attributes = waitReply(xcb_get_window_attributes_reply, raw, request.attributes);
        auto geometry = waitReply(xcb_get_geometry_reply, raw, request.geometry);
        const std::int32_t serverPid =
            request.clientIds ? clientIdsPid(raw, *request.clientIds) : std::int32_t{0};
        // A window gone meanwhile, or one that cannot be watched, is read again next time.
        const bool watched = !request.watch || connection_->check(*request.watch) == 0;
        if (!attributes || !geometry || !watched) {
            kept_.erase(request.window);
            continue;
        }
        Client& client = kept.client;
        client.window = request.window;
        client.frame = request.frame;
        if (client.pid <= 0) client.pid = serverPid;
        applyFrameRect(kept,
                       {geometry->x, geometry->y, geometry->width + 2U * geometry->border_width,
                        geometry->height + 2U * geometry->border_width});
        client.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        if (!connection_->isClosed()) kept_[client.window] = std::move(kept);
    }
}

std::array<xcb_atom_t, X11ClientWindows::kReadPropertyCount> X11ClientWindows::readProperties()
    const {
    const auto atom = [this](Atom name) { return connection_->atom(name); };
    return {atom(Atom::_NET_WM_PID),
            atom(Atom::_NET_WM_NAME),
            XCB_ATOM_WM_NAME,
            XCB_ATOM_WM_CLASS,
            atom(Atom::_NET_WM_STATE),
            atom(Atom::_NET_WM_DESKTOP),
            atom(Atom::_NET_WM_WINDOW_TYPE),
            atom(Atom::_NET_WM_WINDOW_OPACITY),
            atom(Atom::_GTK_FRAME_EXTENTS)};
}

void X11ClientWindows::applyProperty(Kept& kept, xcb_atom_t property,
                                     const std::optional<PropertyValue>& value) const {
    const auto atom = [this](Atom name) { return connection_->atom(name); };
    Client& client = kept.client;
    const auto cardinals = value ? value->cardinals() : std::vector<std::uint32_t>{};
    if (property == atom(Atom::_NET_WM_PID)) {
        // A pid withdrawn leaves the one known: the process did not change.
        const auto pid = static_cast<std::int32_t>(value ? value->cardinal().value_or(0) : 0);
        if (pid > 0) client.pid = pid;
    } else if (property == atom(Atom::_NET_WM_NAME)) {
        kept.hasNetTitle = value.has_value();
        if (value) client.title = value->utf8Text();
    } else if (property == XCB_ATOM_WM_NAME) {
        if (!kept.hasNetTitle) client.title = value ? value->utf8Text() : std::string();
    } else if (property == XCB_ATOM_WM_CLASS) {
        const auto names = value ? value->utf8Texts() : std::vector<std::string>{};
        client.instanceName = names.empty() ? std::string() : names[0];
        client.className = names.size() > 1 ? names[1] : std::string();
    } else if (property == atom(Atom::_NET_WM_STATE)) {
        client.hidden = contains(cardinals, atom(Atom::_NET_WM_STATE_HIDDEN));
        client.isAbove = contains(cardinals, atom(Atom::_NET_WM_STATE_ABOVE));
        client.skipsTaskbar = contains(cardinals, atom(Atom::_NET_WM_STATE_SKIP_TASKBAR));
    } else if (property == atom(Atom::_NET_WM_DESKTOP)) {
        kept.desktop = value ? value->cardinal() : std::nullopt;
    } else if (property == atom(Atom::_NET_WM_WINDOW_TYPE)) {
        client.isDesktop = contains(cardinals, atom(Atom::_NET_WM_WINDOW_TYPE_DESKTOP));
        client.isDock = contains(cardinals, atom(Atom::_NET_WM_WINDOW_TYPE_DOCK));
    } else if (property == atom(Atom::_NET_WM_WINDOW_OPACITY)) {
        const auto opacity = value ? value->cardinal() : std::nullopt;
        client.alpha = opacity ? *opacity / 4294967295.0 : 1;
    } else if (property == atom(Atom::_GTK_FRAME_EXTENTS)) {
        kept.gtkExtents = cardinals;
    }
    client.layer = client.isDesktop ? WindowLevel::desktop
                   : client.isDock  ? WindowLevel::dock
                   : client.isAbove ? WindowLevel::floating
                                    : WindowLevel::normal;
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

// A frame (a child of the root) mapped or unmapped: its clients show or hide.
void X11ClientWindows::setViewable(xcb_window_t frame, bool viewable) {
    for (auto& [window, kept] : kept_) {
        if (kept.client.frame == frame) kept.client.viewable = viewable;
    }
}

// The root hears of a client taken into its frame: the frame is known without asking, when it is
// a child of the root.
void X11ClientWindows::reparented(const xcb_reparent_notify_event_t& reparent) {
    const xcb_window_t root = connection_->root();
    xcb_window_t frame = XCB_WINDOW_NONE;
    if (reparent.parent == root) {
        frame = reparent.window;
    } else {
        const auto& children = knownRootChildren_;
        if (std::find(children.begin(), children.end(), reparent.parent) != children.end()) {
            frame = reparent.parent;
        }
    }
    if (frame != XCB_WINDOW_NONE) {
        frames_[reparent.window] = frame;
    } else {
        frames_.erase(reparent.window);
        // Nested deeper: the frame is asked for, and told when known. Our own window stacks by
        // its frame from its very next request on, so that one is waited for (once a window).
        if (reparent.parent != root) {
            if (isOwnWindow_ && isOwnWindow_(reparent.window)) {
                waitForFrameOf(reparent.window);
            } else {
                learnFrameOf(reparent.window);
            }
        }
    }
    if (kept_.contains(reparent.window)) {
        kept_.erase(reparent.window);
        changedClients_.insert(reparent.window);
    }
}

void X11ClientWindows::learnFrameOf(xcb_window_t window) {
    fetchFrameOf(window, [this, window](xcb_window_t frame) {
        if (frame != XCB_WINDOW_NONE && frameLearnt_) frameLearnt_(window);
    });
}

void X11ClientWindows::subscribeTracking(X11EventRouter& router) {
    router.on<&X11ClientWindows::created>(XCB_CREATE_NOTIFY, *this);
    router.on<&X11ClientWindows::destroyed>(XCB_DESTROY_NOTIFY, *this);
    router.on<&X11ClientWindows::reparentNotified>(XCB_REPARENT_NOTIFY, *this);
    router.on<&X11ClientWindows::configureNotified>(XCB_CONFIGURE_NOTIFY, *this);
    router.on<&X11ClientWindows::circulated>(XCB_CIRCULATE_NOTIFY, *this);
    router.on<&X11ClientWindows::focusIn>(XCB_FOCUS_IN, *this);
    router.on<&X11ClientWindows::focusOut>(XCB_FOCUS_OUT, *this);
    router.on<&X11ClientWindows::mapped>(XCB_MAP_NOTIFY, *this);
    router.on<&X11ClientWindows::unmapped>(XCB_UNMAP_NOTIFY, *this);
    for (const xcb_atom_t atom : readProperties()) {
        router.onProperty<&X11ClientWindows::propertyChanged>(atom, *this);
    }
    for (const Atom name :
         {Atom::_NET_ACTIVE_WINDOW, Atom::_NET_CLIENT_LIST, Atom::_NET_CLIENT_LIST_STACKING,
          Atom::_NET_CURRENT_DESKTOP, Atom::_NET_NUMBER_OF_DESKTOPS}) {
        router.onProperty<&X11ClientWindows::propertyChanged>(connection_->atom(name), *this);
    }
}

void X11ClientWindows::subscribe(X11EventRouter& router) {
    router.on<&X11ClientWindows::destroyedLast>(XCB_DESTROY_NOTIFY, *this);
}

namespace {

// Keyboard focus that really moved into or out of a window, not a grab's or the pointer's.
template <class Focus>
bool isRealFocusChange(const Focus& focus) {
    const bool real =
        focus.mode == XCB_NOTIFY_MODE_NORMAL || focus.mode == XCB_NOTIFY_MODE_WHILE_GRABBED;
    return real && focus.detail < XCB_NOTIFY_DETAIL_POINTER;
}

}  // namespace

void X11ClientWindows::focusIn(const xcb_focus_in_event_t& focus) {
    if (!isRealFocusChange(focus) || !kept_.contains(focus.event)) return;
    focusedClient_ = focus.event;
    if (activeWindow_ == focus.event) return;
    activeWindow_ = focus.event;
    focusAhead_ = true;
    activeChanged_ = true;
}

bool X11ClientWindows::announcesSwitch(const xcb_generic_event_t& event) const {
    switch (event.response_type & 0x7F) {
        case XCB_FOCUS_IN: {
            const auto& focus = reinterpret_cast<const xcb_focus_in_event_t&>(event);
            return isRealFocusChange(focus) && kept_.contains(focus.event) &&
                   activeWindow_ != focus.event;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            return notify.window == connection_->root() &&
                   notify.atom == connection_->atom(Atom::_NET_ACTIVE_WINDOW) && !focusAhead_;
        }
        default:
            return false;
    }
}

void X11ClientWindows::focusOut(const xcb_focus_out_event_t& focus) {
    if (isRealFocusChange(focus) && focus.event == focusedClient_) {
        focusedClient_ = XCB_WINDOW_NONE;
    }
}

void X11ClientWindows::propertyChanged(const xcb_property_notify_event_t& notify) {
    if (notify.window != connection_->root()) {
        const auto read = readProperties();
        if (std::find(read.begin(), read.end(), notify.atom) == read.end() ||
            !kept_.contains(notify.window)) {
            return;
        }
        // The shadow margin applies to the frame's rectangle, which only a whole read knows.
        if (notify.atom == connection_->atom(Atom::_GTK_FRAME_EXTENTS)) {
            changedClients_.insert(notify.window);
        } else {
            changedProperties_[notify.window].insert(notify.atom);
        }
    } else if (notify.atom == connection_->atom(Atom::_NET_ACTIVE_WINDOW)) {
        activeAnnounced_ = true;
    } else if (notify.atom == connection_->atom(Atom::_NET_CLIENT_LIST) ||
               (listIsStacking_ &&
                notify.atom == connection_->atom(Atom::_NET_CLIENT_LIST_STACKING))) {
        clientListChanged_ = true;
    } else if (notify.atom == connection_->atom(Atom::_NET_CURRENT_DESKTOP) ||
               notify.atom == connection_->atom(Atom::_NET_NUMBER_OF_DESKTOPS)) {
        desktopChanged_ = true;
    }
}

// A frame moved or was restacked: its outer rectangle comes with the event.
void X11ClientWindows::configureNotified(const xcb_configure_notify_event_t& configure) {
    restacked(configure);
    if (configure.event != connection_->root()) return;
    const RootRect frame{configure.x, configure.y, configure.width + 2U * configure.border_width,
                         configure.height + 2U * configure.border_width};
    for (auto& [window, kept] : kept_) {
        if (kept.client.frame == configure.window) applyFrameRect(kept, frame);
    }
}

void X11ClientWindows::mapped(const xcb_map_notify_event_t& map) {
    if (map.event == connection_->root()) setViewable(map.window, true);
}

void X11ClientWindows::unmapped(const xcb_unmap_notify_event_t& unmap) {
    if (unmap.event == connection_->root()) setViewable(unmap.window, false);
}

void X11ClientWindows::reparentNotified(const xcb_reparent_notify_event_t& reparent) {
    const xcb_window_t root = connection_->root();
    if (followsRootChildren(&reparent) && reparent.event == root) {
        takeRootChild(reparent.window);
        if (reparent.parent == root) knownRootChildren_.push_back(reparent.window);
    }
    reparented(reparent);
}

void X11ClientWindows::destroyed(const xcb_destroy_notify_event_t& destroy) {
    if (followsRootChildren(&destroy) && destroy.event == connection_->root()) {
        takeRootChild(destroy.window);
    }
    forget(destroy.window);
}

void X11ClientWindows::destroyedLast(const xcb_destroy_notify_event_t& notify) {
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
}

}  // namespace talvori::x11
