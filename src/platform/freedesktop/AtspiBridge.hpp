#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Registration.hpp"
#include "platform/freedesktop/AtspiKeys.hpp"
#include "platform/freedesktop/AtspiObjects.hpp"
#include "platform/freedesktop/AtspiTree.hpp"
#include "platform/freedesktop/BusSlot.hpp"

namespace talvori {
class HostedContent;
class Panel;
}  // namespace talvori

namespace talvori::freedesktop {

class AccessibilityStatus;
class AtspiPeers;
class DisplayServer;
class SessionBus;

// Publishes our windows to the desktop's screen readers over the accessibility bus: while the
// desktop says an assistive technology reads, it connects to that bus, registers the application
// with the registry and serves every window showing views, with the elements of its views, to
// readers that ask; it tells them what changes (focus, names, values, texts, rows that come and
// go, windows that come, go and become active) and takes announcements for readers that listen
// for them. While nobody reads it makes no traffic and reads no views.
class AtspiBridge final : public AtspiObjects::Source,
                          public std::enable_shared_from_this<AtspiBridge> {
  public:
    static std::shared_ptr<AtspiBridge> make(const std::shared_ptr<DisplayServer>& display,
                                             std::shared_ptr<AccessibilityStatus> status,
                                             Logger log);
    ~AtspiBridge() override;
    AtspiBridge(const AtspiBridge&) = delete;
    AtspiBridge& operator=(const AtspiBridge&) = delete;

    // Sends `text` to the readers that listen for announcements; false when none does.
    bool announce(const std::string& text, int priority);
    // Whether the registry took the application.
    bool isRegistered() const { return !desktop_.first.empty(); }
    // How many readers call us straight rather than through the bus.
    std::size_t directReaders() const;
    // Whether keys typed into our windows go to the readers first.
    bool takesKeys() const { return keys_.isAttached(); }
    // Gives a key typed into one of our windows to the readers first; false when none reads,
    // and the caller has the key at once.
    bool offerKey(const AtspiKeys::Keystroke& key, AtspiKeys::Deliver deliver);

    // ---- AtspiObjects::Source
    const AtspiTree::Object* object(const char* path) override;
    const std::vector<AtspiTree::Id>& children(const AtspiTree::Object& object) override;
    const AtspiTree& tree() const override { return tree_; }
    ScreenRect extents(const AtspiTree::Object& object) const override;
    bool grabFocus(const AtspiTree::Object& object) override;
    const char* busName() const override;
    std::pair<std::string, std::string> desktop() const override { return desktop_; }
    int& applicationId() override { return applicationId_; }
    void readAll() override;
    std::string peerAddress() override;

  private:
    struct ShownWindow {
        std::weak_ptr<Panel> panel;
        std::weak_ptr<HostedContent> content;
    };

    AtspiBridge(const std::shared_ptr<DisplayServer>& display,
                std::shared_ptr<AccessibilityStatus> status, Logger log);
    void statusChanged();
    void start();
    void stop();
    void askForAddress();
    void connect(const std::string& address);
    void publish();
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
    void read(std::uint32_t window, bool afterPress = false);
    void readKeyWindow();
    // What a key press changed of the focused element (a switch turned on) goes out at once; the
    // rest of that reading (the card around the switch) waits this long, whatever comes after
    // waits behind it, and so does the drawing of our windows: a reader works through every event
    // it already has before it says the press, and each of its many calls to us would wait for a
    // drawing under way.
    static constexpr double kPressHold = 0.05;
    void sendPress(AtspiTree::Changes changes);
    void releaseHeld();
    // Forgets, a while after this reading, the elements it removed.
    void forgetDepartedLater();
    static constexpr double kDepartedLife = 5;
    std::shared_ptr<Panel> panelOf(const AtspiTree::Object& object) const;

    void send(const AtspiTree::Changes& changes);
    void emit(AtspiTree::Id source, const char* interface, const char* member, const char* detail,
              int detail1, int detail2, char type, const void* value);
    void emitReference(AtspiTree::Id source, const char* member, const char* detail, int detail1,
                       AtspiTree::Id child);
    void emitAdded(AtspiTree::Id object);
    void emitRemoved(AtspiTree::Id object);

    static int onAddress(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onGreeted(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onEmbedded(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onListeners(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onListenerSignal(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onRegistryOwner(sd_bus_message* message, void* self, sd_bus_error* error);

    std::weak_ptr<DisplayServer> display_;
    std::shared_ptr<AccessibilityStatus> status_;
    Logger log_;
    Registration statusObservation_;
    bool started_ = false;
    BusSlot addressQuery_;
    // The accessibility bus, while connected.
    std::shared_ptr<SessionBus> bus_;
    Registration busConnection_;
    BusSlot greeting_;
    std::vector<BusSlot> objects_;
    std::unique_ptr<AtspiPeers> peers_;
    BusSlot embedCall_;
    BusSlot listenersCall_;
    BusSlot registeredMatch_;
    BusSlot deregisteredMatch_;
    BusSlot registryOwnerMatch_;
    std::pair<std::string, std::string> desktop_;
    int applicationId_ = 0;
    // The events readers listen for: the listener's bus name and the event.
    std::multimap<std::string, std::string> listeners_;

    AtspiKeys keys_;
    AtspiTree tree_;
    std::map<std::uint32_t, ShownWindow> windows_;
    std::set<std::uint32_t> changedWindows_;
    bool windowsSyncPosted_ = false;
    bool readPosted_ = false;
    std::optional<AtspiTree::Changes> held_;
    Registration keyObserver_;
    Registration resignObserver_;
};

}  // namespace talvori::freedesktop
