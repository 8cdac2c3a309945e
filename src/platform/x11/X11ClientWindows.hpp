#pragma once

#include <xcb/res.h>
#include <xcb/xcb.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/x11/X11RootSpace.hpp"

namespace talvori::x11 {

class X11EventRouter;

class X11Connection;
struct PropertyValue;

// Other programs' top-level windows as the window manager publishes them (EWMH): the client list
// in stacking order, the active window, and each client's process, names, frame and state. A
// client is named by its own window; the window manager's frame around it (the child of the root
// that holds it) is what stacks and moves. Every read tolerates a client that vanished meanwhile.
//
// What was read is kept and followed from the server's events (a move, a restack, a map, a
// destruction), and what an event only says has changed (a property, the window manager's lists)
// is read again without waiting: the request goes out once the events that came together are
// handled, the answer replaces the kept value when it comes. So a focus change, a move or a
// look at the windows costs no round trip: the methods that ask the server are the fetch… ones.
class X11ClientWindows {
  public:
    struct Client {
        xcb_window_t window = XCB_WINDOW_NONE;
        xcb_window_t frame = XCB_WINDOW_NONE;
        // 0 when unknown (a remote client).
        std::int32_t pid = 0;
        std::string title;
        // WM_CLASS: instance and class.
        std::string instanceName;
        std::string className;
        // The frame's outer rectangle, less a client-side shadow margin.
        RootRect rect;
        bool viewable = false;
        bool hidden = false;
        bool onCurrentDesktop = true;
        bool isDesktop = false;
        bool isDock = false;
        bool isAbove = false;
        bool skipsTaskbar = false;
        double alpha = 1;
        // The window level it stands for: desktop, normal (0), floating (3) or dock (20).
        int layer = 0;

        bool isOnScreen() const { return viewable && !hidden && onCurrentDesktop; }
    };

    explicit X11ClientWindows(std::shared_ptr<X11Connection> connection);

    // Reads what the window manager shows now: its lists, the active window, the desktops, the
    // root's children and every client. From here on the events keep it current.
    void fetchState();

    // Managed clients, in the window manager's mapping order (its stacking list when it keeps
    // no other). Empty without a window manager. Their stacking order is the root's children's:
    // the list is not read again each time the window manager raises one.
    const std::vector<xcb_window_t>& clientList() const { return clientList_; }
    // `clients` ordered by their frames' places among the root's children, bottom to top.
    std::vector<Client> stacked(std::vector<Client> clients) const;
    // Every client's details as kept (clients not kept, or gone, are left out).
    std::vector<Client> readClients(const std::vector<xcb_window_t>& windows) const;
    std::optional<Client> readClient(xcb_window_t window) const;
    // The same, reading those never read in one round trip first.
    std::vector<Client> fetchClients(const std::vector<xcb_window_t>& windows);
    // Whether the client's details are kept (it exists, as far as the events tell).
    bool isKnown(xcb_window_t window) const { return kept_.contains(window); }
    // The client windows read so far.
    std::vector<xcb_window_t> keptWindows() const;
    // Whether `window`, a child of the root, holds a known client (rather than being one of the
    // window manager's own windows, or another program's unmanaged one).
    bool isClientFrame(xcb_window_t window) const { return clientIn(window) != XCB_WINDOW_NONE; }
    // The known client `frame` holds; none when it holds none.
    xcb_window_t clientIn(xcb_window_t frame) const;
    // The active client: the one the keyboard focus moved into, or the window manager's choice
    // as last read; none when nothing (or the desktop) has focus, or before the state is read.
    xcb_window_t activeWindow() const;
    // The client the keyboard focus is in, as its FocusIn and FocusOut told; none when it is
    // elsewhere (in one of our windows, on the root, or in the window manager's).
    xcb_window_t focusedClient() const { return focusedClient_; }
    // The process of a client as kept (read with the client, or fetched); 0 when unknown.
    std::int32_t pid(xcb_window_t window) const;
    // Asks for the process of `window`'s client without waiting: _NET_WM_PID, else the
    // X-Resource extension; `done` hears it (0 when unknown) once answered, at once when kept.
    void fetchPid(xcb_window_t window, std::function<void(std::int32_t)> done);
    // The child of the root holding `window` (itself when it is one), as the events told it;
    // none when it is gone or not known yet.
    xcb_window_t frameOf(xcb_window_t window) const;
    // Asks the server for the frame without waiting, one level of the tree per answer; `done`
    // hears it (none when the window is gone or nested too deep), at once when known.
    void fetchFrameOf(xcb_window_t window, std::function<void(xcb_window_t)> done);
    // Called with a client whose frame, nested below the root's child, became known after its
    // reparenting.
    void setFrameLearnt(std::function<void(xcb_window_t client)> learnt) {
        frameLearnt_ = std::move(learnt);
    }
    // Called once clients read after they mapped are kept: what they are (a dock, a normal
    // window) is known from then on.
    void setClientsKept(std::function<void()> kept) { clientsKept_ = std::move(kept); }
    // The root's children, bottom to top, asked of the server: the true stacking order.
    std::vector<xcb_window_t> fetchRootChildren();
    // The same order as the events read so far tell it, kept without a round trip: for checks
    // that run after those events. A restack of our own shows once its event is read.
    const std::vector<xcb_window_t>& knownRootChildren() const { return knownRootChildren_; }
    // The order the server has once it has handled the restacks of our own windows sent so far:
    // the kept one with those its events do not show yet applied. None where what is kept cannot
    // tell it (not read yet, being read again after an event that could not be placed, or a
    // restack against a window not known yet).
    std::optional<std::vector<xcb_window_t>> expectedRootChildren() const;
    // The same, asked of the server only where what is kept cannot tell it.
    std::vector<xcb_window_t> fetchExpectedRootChildren();
    // Restacks one of our windows that the window manager leaves alone directly above or below
    // `sibling` (none: above or below all).
    xcb_void_cookie_t restackOwn(xcb_window_t window, xcb_window_t sibling, std::uint32_t mode);
    // `request` of ours puts `window` there among the root's children (a window put back into the
    // root goes above all).
    void expectRestack(xcb_void_cookie_t request, xcb_window_t window, xcb_window_t sibling,
                       std::uint32_t mode);

    // Selects the events that keep a client's details current; false when it is gone.
    bool watch(xcb_window_t window) const;
    // Our own windows keep the event mask we gave them, and are never kept.
    void setIsOwnWindow(std::function<bool(xcb_window_t)> isOwn) {
        isOwnWindow_ = std::move(isOwn);
    }

    // Whether another client became the active one since the last call: the keyboard focus
    // moved into it (the window manager publishes that a moment later), or the window manager's
    // choice, read since, named another.
    bool takeActiveWindowChange();
    // Whether `event`, not handed over yet, tells of a switch after the one known: the focus
    // moving into another client, or an announcement other than the one the focus ran ahead of.
    bool announcesSwitch(const xcb_generic_event_t& event) const;
    // Sends the reads the events asked for; their answers come later, in their place among the
    // events.
    void sendReads();
    // Its handlers bring what is kept up to date with each event, before any service reads the
    // state.
    void subscribeTracking(X11EventRouter& router);
    // Forgets what it cached about windows that were destroyed, after every service that may
    // still ask of a window has handled the event.
    void subscribe(X11EventRouter& router);

  private:
    struct Kept {
        Client client;
        // The client's desktop (absent: on every one) and its client-side shadow margin.
        std::optional<std::uint32_t> desktop;
        std::vector<std::uint32_t> gtkExtents;
        // The title came from _NET_WM_NAME, which WM_NAME does not override.
        bool hasNetTitle = false;
    };
    struct ClientRequests;
    struct ListRequests;

    // A kept client's details as they stand on the current desktop.
    Client read(const Kept& kept) const;
    void askParentOf(xcb_window_t window, xcb_window_t current, int depth,
                     std::function<void(xcb_window_t)> done);
    xcb_window_t waitForFrameOf(xcb_window_t window);
    void learnFrameOf(xcb_window_t window);
    void readOnceFramed(xcb_window_t window);
    // Asks the X-Resource extension for the process of `window`'s client, when it has one.
    std::optional<xcb_res_query_client_ids_cookie_t> requestClientIds(xcb_window_t window) const;
    // Asks for the details of `windows`, watching them first (so that no change falls between
    // the read and the watch).
    // Without waiting, a client whose frame is not known yet is read once it is.
    std::vector<ClientRequests> requestClients(const std::vector<xcb_window_t>& windows,
                                               bool waitForWatch);
    // Keeps the answers (waiting for those that have not come).
    void keepClients(const std::vector<ClientRequests>& requests) const;
    static constexpr std::size_t kReadPropertyCount = 9;
    // The properties read of each client, in the order their answers are applied.
    std::array<xcb_atom_t, kReadPropertyCount> readProperties() const;
    // What one property says about a client (absent: `value` empty).
    void applyProperty(Kept& kept, xcb_atom_t property,
                       const std::optional<PropertyValue>& value) const;
    // Reads again only the properties that changed; the rest is kept.
    void readChangedProperties();
    void applyFrameRect(Kept& kept, const RootRect& frame) const;
    void setViewable(xcb_window_t frame, bool viewable);
    void reparented(const xcb_reparent_notify_event_t& reparent);
    void forget(xcb_window_t window);
    // The current desktop and how many there are (unknown when not published).
    struct Desktops {
        std::uint32_t current = 0;
        std::optional<std::uint32_t> count;
    };
    void keepDesktops(xcb_get_property_cookie_t current, xcb_get_property_cookie_t count);
    // The handlers of what the events tell, before any service reads the state.
    void created(const xcb_create_notify_event_t& create);
    void destroyed(const xcb_destroy_notify_event_t& destroy);
    void reparentNotified(const xcb_reparent_notify_event_t& reparent);
    void configureNotified(const xcb_configure_notify_event_t& configure);
    void circulated(const xcb_circulate_notify_event_t& circulate);
    void focusIn(const xcb_focus_in_event_t& focus);
    void focusOut(const xcb_focus_out_event_t& focus);
    void mapped(const xcb_map_notify_event_t& map);
    void unmapped(const xcb_unmap_notify_event_t& unmap);
    void propertyChanged(const xcb_property_notify_event_t& notify);
    void destroyedLast(const xcb_destroy_notify_event_t& notify);
    // The root's children's order as kept, followed from the events that change it.
    bool followsRootChildren(const void* event) const;
    bool takeRootChild(xcb_window_t window);
    void restacked(const xcb_configure_notify_event_t& configure);
    void keepRootChildren(const xcb_query_tree_reply_t* tree);
    // Whether no event read so far was made after the server handled our `request`.
    bool isUnseen(std::uint32_t request) const;
    ListRequests requestLists() const;
    void keepClientList(const ListRequests& requests, const xcb_get_property_reply_t* stacking);
    void readActiveWindow();
    void readClientList();
    void readRootChildren();
    void readCurrentDesktop();
    void readClientsLater(const std::vector<xcb_window_t>& windows);
    void announcementRead(xcb_window_t announced);
    void adopt(xcb_window_t announced);

    std::shared_ptr<X11Connection> connection_;
    std::map<xcb_window_t, xcb_window_t> frames_;
    std::map<xcb_window_t, std::int32_t> pids_;
    std::function<void(xcb_window_t)> frameLearnt_;
    std::function<void()> clientsKept_;
    std::function<bool(xcb_window_t)> isOwnWindow_;
    mutable std::map<xcb_window_t, Kept> kept_;
    std::optional<xcb_window_t> activeWindow_;
    bool activeChanged_ = false;
    std::vector<xcb_window_t> knownRootChildren_;
    // Restacks of our own windows, the latest last: those the events read so far may not show.
    struct OwnRestack {
        std::uint32_t request;
        xcb_window_t window;
        xcb_window_t sibling;
        std::uint32_t mode;
    };
    std::vector<OwnRestack> ownRestacks_;
    // The order is being read again: what is kept may be wrong till the answer comes.
    bool rootChildrenRereading_ = false;
    // Whether the order was read (events before that are in it already).
    bool rootChildrenKnown_ = false;
    std::uint32_t knownRootChildrenRead_ = 0;
    // The active window came from the focus, before the window manager announced it.
    bool focusAhead_ = false;
    // The client the focus is in, as its FocusIn and FocusOut told.
    xcb_window_t focusedClient_ = XCB_WINDOW_NONE;
    std::vector<xcb_window_t> clientList_;
    Desktops desktops_;
    // What the events said changed, to be read again.
    bool activeAnnounced_ = false;
    bool clientListChanged_ = false;
    // No mapping list: the stacking list stands in, and is followed instead.
    bool listIsStacking_ = false;
    bool rootChildrenLost_ = false;
    bool desktopChanged_ = false;
    std::set<xcb_window_t> changedClients_;
    std::map<xcb_window_t, std::set<xcb_atom_t>> changedProperties_;
    // Only the answer to the latest read of each kind counts.
    std::uint64_t activeReads_ = 0;
    std::uint64_t listReads_ = 0;
    std::uint64_t treeReads_ = 0;
    std::uint64_t desktopReads_ = 0;
};

}  // namespace talvori::x11
