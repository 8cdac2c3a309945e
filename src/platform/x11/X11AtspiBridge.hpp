#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Registration.hpp"
#include "platform/x11/X11AtspiKeys.hpp"
#include "platform/x11/X11AtspiObjects.hpp"
#include "platform/x11/X11AtspiTree.hpp"
#include "platform/x11/X11BusSlot.hpp"

namespace talvori {
class HostedContent;
class Panel;
}  // namespace talvori

namespace talvori::x11 {

class X11AccessibilityStatus;
class X11Application;
class X11SessionBus;

// Publishes our windows to the desktop's screen readers over the accessibility bus: while the
// desktop says an assistive technology reads, it connects to that bus, registers the application
// with the registry and serves every window showing views, with the elements of its views, to
// readers that ask; it tells them what changes (focus, names, values, texts, rows that come and
// go, windows that come, go and become active) and takes announcements for readers that listen
// for them. While nobody reads it makes no traffic and reads no views.
class X11AtspiBridge final : public X11AtspiObjects::Source,
                             public std::enable_shared_from_this<X11AtspiBridge> {
  public:
    static std::shared_ptr<X11AtspiBridge> make(const std::shared_ptr<X11Application>& application,
                                                std::shared_ptr<X11AccessibilityStatus> status,
                                                Logger log);
    ~X11AtspiBridge() override;
    X11AtspiBridge(const X11AtspiBridge&) = delete;
    X11AtspiBridge& operator=(const X11AtspiBridge&) = delete;

    // Sends `text` to the readers that listen for announcements; false when none does.
    bool announce(const std::string& text, int priority);
    // Whether the registry took the application.
    bool isRegistered() const { return !desktop_.first.empty(); }
    // Whether keys typed into our windows go to the readers first.
    bool takesKeys() const { return keys_.isAttached(); }
    // Gives a key typed into one of our windows to the readers first; false when none reads,
    // and the caller has the key at once.
    bool offerKey(const X11AtspiKeys::Keystroke& key, X11AtspiKeys::Deliver deliver) {
        return keys_.offer(key, std::move(deliver));
    }

    // ---- X11AtspiObjects::Source
    const X11AtspiTree::Object* object(const char* path) override;
    const std::vector<X11AtspiTree::Id>& children(const X11AtspiTree::Object& object) override;
    const X11AtspiTree& tree() const override { return tree_; }
    RootRect extents(const X11AtspiTree::Object& object) const override;
    bool grabFocus(const X11AtspiTree::Object& object) override;
    const char* busName() const override;
    std::pair<std::string, std::string> desktop() const override { return desktop_; }
    int& applicationId() override { return applicationId_; }
    void readAll() override;

  private:
    struct ShownWindow {
        std::weak_ptr<Panel> panel;
        std::weak_ptr<HostedContent> content;
    };

    X11AtspiBridge(const std::shared_ptr<X11Application>& application,
                   std::shared_ptr<X11AccessibilityStatus> status, Logger log);
    void statusChanged();
    void start();
    void stop();
    void askForAddress();
    void connect(const std::string& address);
    void busChanged();
    void embed();
    void followListeners();
    void listenerRegistered(const std::string& owner, const std::string& event);
    void listenerDeregistered(const std::string& owner, const std::string& event);
    bool wants(const char* category, const char* member, const char* detail) const;

    void windowsChanged();
    void syncWindows();
    void contentChanged(std::uint32_t window);
    void readChangedWindows();
    void read(std::uint32_t window);
    std::shared_ptr<Panel> panelOf(const X11AtspiTree::Object& object) const;

    void send(const X11AtspiTree::Changes& changes);
    void emit(X11AtspiTree::Id source, const char* interface, const char* member,
              const char* detail, int detail1, int detail2, char type, const void* value);
    void emitReference(X11AtspiTree::Id source, const char* member, const char* detail, int detail1,
                       X11AtspiTree::Id child);
    void emitAdded(X11AtspiTree::Id object);
    void emitRemoved(X11AtspiTree::Id object);

    static int onAddress(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onEmbedded(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onListeners(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onListenerSignal(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onRegistryOwner(sd_bus_message* message, void* self, sd_bus_error* error);

    std::weak_ptr<X11Application> application_;
    std::shared_ptr<X11AccessibilityStatus> status_;
    Logger log_;
    Registration statusObservation_;
    bool started_ = false;
    BusSlot addressQuery_;
    // The accessibility bus, while connected.
    std::shared_ptr<X11SessionBus> bus_;
    Registration busConnection_;
    std::vector<BusSlot> objects_;
    BusSlot embedCall_;
    BusSlot listenersCall_;
    BusSlot registeredMatch_;
    BusSlot deregisteredMatch_;
    BusSlot registryOwnerMatch_;
    std::pair<std::string, std::string> desktop_;
    int applicationId_ = 0;
    // The events readers listen for: the listener's bus name and the event.
    std::multimap<std::string, std::string> listeners_;

    X11AtspiKeys keys_;
    X11AtspiTree tree_;
    std::map<std::uint32_t, ShownWindow> windows_;
    std::set<std::uint32_t> changedWindows_;
    bool windowsSyncPosted_ = false;
    bool readPosted_ = false;
    Registration keyObserver_;
    Registration resignObserver_;
};

}  // namespace talvori::x11
