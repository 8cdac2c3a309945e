#include "platform/freedesktop/AtspiBridge.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/core/NotificationCenter.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Announcer.hpp"
#include "platform/desktop/HostedContent.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/freedesktop/AccessibilityStatus.hpp"
#include "platform/freedesktop/AtspiPeers.hpp"
#include "platform/freedesktop/DisplayServer.hpp"
#include "platform/freedesktop/SessionBus.hpp"

namespace talvori::freedesktop {

namespace {

using Id = AtspiTree::Id;
using Kind = AtspiTree::Change::Kind;

constexpr const char* kRegistry = "org.a11y.atspi.Registry";
constexpr const char* kRegistryRoot = "/org/a11y/atspi/accessible/root";
constexpr const char* kRegistryPath = "/org/a11y/atspi/registry";
constexpr const char* kEventObject = "org.a11y.atspi.Event.Object";
constexpr const char* kEventWindow = "org.a11y.atspi.Event.Window";
constexpr const char* kEventFocus = "org.a11y.atspi.Event.Focus";
// How urgently a reader speaks an announcement.
constexpr int kPolite = 1;
constexpr int kAssertive = 2;

// An event's name in the one form of all its spellings: readers ask for
// "object:state-changed:focused", the registry lists "Object:StateChanged:Focused".
std::string normalized(std::string_view name) {
    std::string plain;
    for (const char c : name) {
        if (c != '-' && c != '_')
            plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return plain;
}

// A panel without a title or a label of its own (the menu-bar panel, a cover's controls) is
// the application's.
std::string windowName(const Panel& panel) {
    if (!panel.title().empty()) return panel.title();
    if (!panel.accessibilityLabel().empty()) return panel.accessibilityLabel();
    return AtspiObjects::kToolkitName;
}

}  // namespace

std::shared_ptr<AtspiBridge> AtspiBridge::make(const std::shared_ptr<DisplayServer>& display,
                                               std::shared_ptr<AccessibilityStatus> status,
                                               Logger log) {
    std::shared_ptr<AtspiBridge> bridge(
        new AtspiBridge(display, std::move(status), std::move(log)));
    if (bridge->status_) {
        bridge->statusObservation_ =
            bridge->status_->observe(weakly(bridge->weak_from_this(), &AtspiBridge::statusChanged));
        bridge->statusChanged();
    }
    return bridge;
}

AtspiBridge::AtspiBridge(const std::shared_ptr<DisplayServer>& display,
                         std::shared_ptr<AccessibilityStatus> status, Logger log)
    : display_(display), status_(std::move(status)), log_(std::move(log)) {}

AtspiBridge::~AtspiBridge() {
    // Whoever was to have the waiting keys goes with us.
    keys_.forget();
    stop();
}

// ---- Connecting

void AtspiBridge::statusChanged() {
    const bool reading = status_->isReading();
    if (reading && !started_) {
        started_ = true;
        askForAddress();
    } else if (!reading && started_) {
        started_ = false;
        stop();
    }
}

void AtspiBridge::askForAddress() {
    const auto& session = status_->sessionBus();
    if (!session || !session->isConnected() || bus_) return;
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(session->raw(), &call, "org.a11y.Bus", "/org/a11y/bus",
                                       "org.a11y.Bus", "GetAddress") < 0) {
        return;
    }
    sd_bus_message_set_auto_start(call, 0);
    sd_bus_slot* slot = nullptr;
    if (sd_bus_call_async(session->raw(), &slot, call, onAddress, this, 0) >= 0) {
        addressQuery_.reset(slot);
    }
    sd_bus_message_unref(call);
}

int AtspiBridge::onAddress(sd_bus_message* message, void* self, sd_bus_error*) {
    auto bridge = static_cast<AtspiBridge*>(self)->shared_from_this();
    bridge->addressQuery_.reset();
    const char* address = nullptr;
    if (sd_bus_message_is_method_error(message, nullptr) ||
        sd_bus_message_read(message, "s", &address) < 0 || !address || !*address) {
        bridge->log_.log("An assistive technology reads, but the accessibility bus has no address");
        return 0;
    }
    if (bridge->started_) bridge->connect(address);
    return 0;
}

void AtspiBridge::connect(const std::string& address) {
    auto display = display_.lock();
    if (!display) return;
    bus_ = SessionBus::connect(display->runLoop(), address, log_);
    if (!bus_) return;
    busConnection_ = bus_->observeConnection(weakly(weak_from_this(), &AtspiBridge::busChanged));
    // Our name on the bus, which every object we publish carries, is known once the bus has
    // greeted us; asked for before, it would be waited for, and a bus that never answers would
    // hold the program. The bus answers a call only after its greeting.
    sd_bus_slot* slot = nullptr;
    if (sd_bus_call_method_async(bus_->raw(), &slot, "org.freedesktop.DBus",
                                 "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId",
                                 onGreeted, this, "") >= 0) {
        greeting_.reset(slot);
    }
}

int AtspiBridge::onGreeted(sd_bus_message*, void* self, sd_bus_error*) {
    auto bridge = static_cast<AtspiBridge*>(self)->shared_from_this();
    bridge->greeting_.reset();
    if (sd_bus_is_ready(bridge->bus_->raw()) <= 0) {
        bridge->log_.error("The accessibility bus does not answer");
        return 0;
    }
    bridge->publish();
    return 0;
}

void AtspiBridge::publish() {
    auto display = display_.lock();
    if (!display) return;
    sd_bus* bus = bus_->raw();
    if (!AtspiObjects::install(bus, *this, objects_)) {
        log_.error("The accessibility bus refused our objects");
        stop();
        return;
    }
    sd_bus_slot* slot = nullptr;
    const std::string owner = SessionBus::ownerChangesMatch(kRegistry);
    if (sd_bus_add_match_async(bus, &slot, owner.c_str(), onRegistryOwner, nullptr, this) >= 0)
        registryOwnerMatch_.reset(slot);
    const std::string registered =
        std::string("type='signal',interface='") + kRegistry + "',member='EventListenerRegistered'";
    if (sd_bus_add_match_async(bus, &slot, registered.c_str(), onListenerSignal, nullptr, this) >=
        0)
        registeredMatch_.reset(slot);
    const std::string deregistered = std::string("type='signal',interface='") + kRegistry +
                                     "',member='EventListenerDeregistered'";
    if (sd_bus_add_match_async(bus, &slot, deregistered.c_str(), onListenerSignal, nullptr, this) >=
        0)
        deregisteredMatch_.reset(slot);
    embed();
    followListeners();

    const std::weak_ptr<AtspiBridge> weak = weak_from_this();
    display->setOnWindowsChange(weakly(weak, &AtspiBridge::windowsChanged));
    auto& center = display->notificationCenter();
    keyObserver_ = center.addObserver(Panel::kDidBecomeKeyNotification, nullptr,
                                      NotificationDelivery::synchronous,
                                      weakly(weak, &AtspiBridge::windowsChanged));
    resignObserver_ = center.addObserver(Panel::kDidResignKeyNotification, nullptr,
                                         NotificationDelivery::synchronous,
                                         weakly(weak, &AtspiBridge::windowsChanged));
    windowsChanged();
}

// The bus went away (its launcher ended or restarted): a restarted one has a new address.
void AtspiBridge::busChanged() {
    if (bus_ && bus_->isConnected()) return;
    stop();
    askForAddress();
}

void AtspiBridge::stop() {
    keys_.release();
    addressQuery_.reset();
    if (auto display = display_.lock()) display->setOnWindowsChange(nullptr);
    keyObserver_.reset();
    resignObserver_.reset();
    for (const auto& [number, shown] : windows_) {
        if (auto content = shown.content.lock()) content->setAccessibilityObserver(nullptr);
    }
    windows_.clear();
    changedWindows_.clear();
    held_.reset();
    tree_ = AtspiTree();
    greeting_.reset();
    embedCall_.reset();
    listenersCall_.reset();
    registeredMatch_.reset();
    deregisteredMatch_.reset();
    registryOwnerMatch_.reset();
    objects_.clear();
    peers_.reset();
    listeners_.clear();
    desktop_ = {};
    busConnection_.reset();
    // Closing the connection is what tells the registry that we left.
    bus_.reset();
}

void AtspiBridge::embed() {
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(bus_->raw(), &call, kRegistry, kRegistryRoot,
                                       "org.a11y.atspi.Socket", "Embed") < 0) {
        return;
    }
    sd_bus_slot* slot = nullptr;
    const std::string root = AtspiTree::path(AtspiTree::kApplication);
    if (sd_bus_message_append(call, "(so)", busName(), root.c_str()) >= 0 &&
        sd_bus_call_async(bus_->raw(), &slot, call, onEmbedded, this, 0) >= 0) {
        embedCall_.reset(slot);
    }
    sd_bus_message_unref(call);
}

int AtspiBridge::onEmbedded(sd_bus_message* message, void* self, sd_bus_error*) {
    auto bridge = static_cast<AtspiBridge*>(self)->shared_from_this();
    bridge->embedCall_.reset();
    const char* bus = nullptr;
    const char* path = nullptr;
    if (sd_bus_message_is_method_error(message, nullptr) ||
        sd_bus_message_read(message, "(so)", &bus, &path) < 0) {
        bridge->log_.error("The accessibility registry did not take the application");
        return 0;
    }
    bridge->desktop_ = {bus, path};
    bridge->keys_.attach(bridge->bus_->raw());
    return 0;
}

int AtspiBridge::onRegistryOwner(sd_bus_message* message, void* self, sd_bus_error*) {
    auto bridge = static_cast<AtspiBridge*>(self)->shared_from_this();
    const char* name = nullptr;
    const char* before = nullptr;
    const char* after = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &before, &after) < 0) return 0;
    // A registry that went knows nothing of us or of the readers' listeners when it comes back.
    if (!after || !*after) {
        bridge->desktop_ = {};
        bridge->listeners_.clear();
        bridge->keys_.release();
        return 0;
    }
    // The one our first call started is asked already: registered twice, we would be listed
    // twice.
    if (!bridge->embedCall_ && !bridge->isRegistered()) bridge->embed();
    if (!bridge->listenersCall_ && bridge->listeners_.empty()) bridge->followListeners();
    return 0;
}

// ---- What readers listen for

void AtspiBridge::followListeners() {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_call_method_async(bus_->raw(), &slot, kRegistry, kRegistryPath, kRegistry,
                                 "GetRegisteredEvents", onListeners, this, "") >= 0) {
        listenersCall_.reset(slot);
    }
}

int AtspiBridge::onListeners(sd_bus_message* message, void* self, sd_bus_error*) {
    auto bridge = static_cast<AtspiBridge*>(self)->shared_from_this();
    bridge->listenersCall_.reset();
    if (sd_bus_message_is_method_error(message, nullptr) ||
        sd_bus_message_enter_container(message, 'a', "(ss)") < 0) {
        return 0;
    }
    const char* owner = nullptr;
    const char* event = nullptr;
    while (sd_bus_message_read(message, "(ss)", &owner, &event) > 0) {
        bridge->listenerRegistered(owner, event);
    }
    return 0;
}

int AtspiBridge::onListenerSignal(sd_bus_message* message, void* self, sd_bus_error*) {
    auto bridge = static_cast<AtspiBridge*>(self)->shared_from_this();
    const char* owner = nullptr;
    const char* event = nullptr;
    if (sd_bus_message_read(message, "ss", &owner, &event) < 0) return 0;
    if (sd_bus_message_is_signal(message, kRegistry, "EventListenerRegistered")) {
        bridge->listenerRegistered(owner, event);
    } else {
        bridge->listenerDeregistered(owner, event);
    }
    return 0;
}

void AtspiBridge::listenerRegistered(const std::string& owner, const std::string& event) {
    listeners_.emplace(owner, normalized(event));
    // A reader that starts to follow the focus hears where it is.
    if (wants("object", "StateChanged", "focused")) windowsChanged();
}

// A reader that quits is deregistered by the registry with no event named: all it listened for
// goes with it.
void AtspiBridge::listenerDeregistered(const std::string& owner, const std::string& event) {
    if (event.empty()) {
        listeners_.erase(owner);
        return;
    }
    const auto [first, last] = listeners_.equal_range(owner);
    const auto found = std::find_if(
        first, last, [&](const auto& entry) { return entry.second == normalized(event); });
    if (found != last) listeners_.erase(found);
}

// Whether a reader listens for the event: a listener that names only the first parts of an
// event ("object:", "object:state-changed") hears all that start so.
bool AtspiBridge::wants(const char* category, const char* member, const char* detail) const {
    const std::string ours[] = {normalized(category), normalized(member), normalized(detail)};
    for (const auto& [owner, event] : listeners_) {
        bool matches = true;
        std::size_t start = 0;
        for (std::size_t part = 0; part < 3 && matches && start <= event.size(); ++part) {
            const std::size_t end = std::min(event.find(':', start), event.size());
            const std::string_view piece(event.data() + start, end - start);
            matches = piece.empty() || piece == ours[part];
            start = end + 1;
        }
        if (matches) return true;
    }
    return false;
}

// ---- Windows and their views

void AtspiBridge::windowsChanged() {
    auto display = display_.lock();
    if (windowsSyncPosted_ || !bus_ || !display) return;
    windowsSyncPosted_ = true;
    display->runLoop().post(weakly(weak_from_this(), &AtspiBridge::syncWindows));
}

void AtspiBridge::syncWindows() {
    windowsSyncPosted_ = false;
    auto display = display_.lock();
    if (!display || !bus_) return;
    std::vector<AtspiTree::Window> shown;
    std::map<std::uint32_t, ShownWindow> now;
    for (const auto& panel : display->shownWindows()) {
        const auto& content = panel->hostedContent();
        // Click-through panels (the dimming, previews) are decoration nobody can reach.
        if (!content || panel->ignoresMouseEvents()) continue;
        shown.push_back({panel->windowNumber(), windowName(*panel),
                         (panel->styleMask() & StyleMask::titled) != 0, panel->isKeyWindow(),
                         display->holdsKeyboard(*panel)});
        now[panel->windowNumber()] = {panel, content};
    }
    const std::weak_ptr<AtspiBridge> weak = weak_from_this();
    for (const auto& [number, before] : windows_) {
        const auto content = before.content.lock();
        const auto after = now.find(number);
        if (content && (after == now.end() || after->second.content.lock() != content))
            content->setAccessibilityObserver(nullptr);
    }
    for (const auto& [number, after] : now) {
        const auto before = windows_.find(number);
        const auto content = after.content.lock();
        if (before == windows_.end() || before->second.content.lock() != content) {
            content->setAccessibilityObserver(weakly(
                weak, [number = number](AtspiBridge& self) { self.contentChanged(number); }));
            if (before != windows_.end()) changedWindows_.insert(number);
        }
    }
    windows_ = std::move(now);
    send(tree_.setWindows(shown));
    // Where the focus is in the key window is told as soon as the window shows.
    if (wants("object", "StateChanged", "focused")) {
        for (const auto& window : shown) {
            const auto id = tree_.windowObject(window.number);
            if (window.isKey && id && !tree_.find(*id)->isRead) read(window.number);
        }
    }
    if (!changedWindows_.empty()) readChangedWindows();
}

void AtspiBridge::contentChanged(std::uint32_t window) {
    auto display = display_.lock();
    if (!display) return;
    // A window named for what it shows (a cover's control panel) takes its new name with it.
    const auto shown = windows_.find(window);
    const auto id = tree_.windowObject(window);
    const auto panel = shown == windows_.end() ? nullptr : shown->second.panel.lock();
    if (panel && id && windowName(*panel) != tree_.find(*id)->name) windowsChanged();
    changedWindows_.insert(window);
    if (readPosted_) return;
    readPosted_ = true;
    display->runLoop().post(weakly(weak_from_this(), [](AtspiBridge& self) {
        self.readPosted_ = false;
        self.readChangedWindows();
    }));
}

// Windows no reader has asked about stay unread, except the key one when readers follow the
// focus.
void AtspiBridge::readChangedWindows() {
    const auto changed = std::exchange(changedWindows_, {});
    const bool followsFocus = wants("object", "StateChanged", "focused");
    for (const std::uint32_t number : changed) {
        const auto id = tree_.windowObject(number);
        const AtspiTree::Object* window = id ? tree_.find(*id) : nullptr;
        if (window && (window->isRead || (window->isKey && followsFocus))) read(number);
    }
}

void AtspiBridge::read(std::uint32_t window, bool afterPress) {
    const auto found = windows_.find(window);
    if (found == windows_.end()) return;
    const auto content = found->second.content.lock();
    if (!content) return;
    auto elements = content->accessibilityElements();
    // Reading brings the views up to date first: what that changed is in this reading.
    changedWindows_.erase(window);
    auto changes = tree_.read(window, std::move(elements));
    if (afterPress) {
        sendPress(std::move(changes));
    } else {
        send(changes);
    }
    forgetDepartedLater();
}

// The reading puts the focused element's changes first. A press that moved the focus is told
// whole, as a reader needs the focus lost with the focus gained.
void AtspiBridge::sendPress(AtspiTree::Changes changes) {
    const auto focused = tree_.focused();
    const auto ofFocused = [&](const AtspiTree::Change& change) {
        return focused && change.object == *focused;
    };
    const auto rest = std::find_if_not(changes.begin(), changes.end(), ofFocused);
    const bool focusMoved = std::any_of(changes.begin(), changes.end(), [](const auto& change) {
        return change.kind == Kind::stateChanged && change.state == AtspiTree::State::focused;
    });
    const auto display = display_.lock();
    if (held_ || focusMoved || rest == changes.begin() || rest == changes.end() || !display) {
        send(changes);
        return;
    }
    send(AtspiTree::Changes(changes.begin(), rest));
    held_.emplace(std::make_move_iterator(rest), std::make_move_iterator(changes.end()));
    display->runLoop().runAfter(kPressHold, weakly(weak_from_this(), &AtspiBridge::releaseHeld));
    display->holdPainting(kPressHold);
}

void AtspiBridge::releaseHeld() {
    if (!held_) return;
    const auto changes = std::move(*held_);
    held_.reset();
    send(changes);
}

bool AtspiBridge::offerKey(const AtspiKeys::Keystroke& key, AtspiKeys::Deliver deliver) {
    if (!key.down) return keys_.offer(key, std::move(deliver));
    // What a press changed (a switch turned on) is told as soon as the press is handled: the
    // reader waits for it to speak, and the loop's next turns, which drawing fills, would keep it
    // waiting.
    return keys_.offer(key, [read = weakly(weak_from_this(), &AtspiBridge::readKeyWindow),
                             deliver = std::move(deliver)] {
        deliver();
        read();
    });
}

// A window no reader has read stays unread.
void AtspiBridge::readKeyWindow() {
    const auto display = display_.lock();
    const auto key = display ? display->keyWindow() : nullptr;
    const auto id = key ? tree_.windowObject(key->windowNumber()) : std::nullopt;
    if (id && tree_.find(*id)->isRead) read(key->windowNumber(), true);
}

// Long enough for a busy reader to have asked what it wanted of what it had focused.
void AtspiBridge::forgetDepartedLater() {
    const auto reading = tree_.readings();
    auto display = display_.lock();
    if (!display || !tree_.hasDepartedSince(reading - 1)) return;
    display->runLoop().runAfter(kDepartedLife,
                                weakly(weak_from_this(), [reading](AtspiBridge& self) {
                                    if (!self.bus_) return;
                                    for (const Id id : self.tree_.forgetDeparted(reading))
                                        self.emitRemoved(id);
                                }));
}

std::shared_ptr<Panel> AtspiBridge::panelOf(const AtspiTree::Object& object) const {
    const auto found = windows_.find(object.window);
    return found == windows_.end() ? nullptr : found->second.panel.lock();
}

// ---- Source

const AtspiTree::Object* AtspiBridge::object(const char* path) {
    if (windowsSyncPosted_) syncWindows();
    const auto id = path ? AtspiTree::idOfPath(path) : std::nullopt;
    const AtspiTree::Object* found = id ? tree_.find(*id) : nullptr;
    if (!found || found->window == 0 || !changedWindows_.contains(found->window)) return found;
    const auto window = tree_.windowObject(found->window);
    if (window && tree_.find(*window)->isRead) {
        read(found->window);
        found = tree_.find(*id);
    }
    return found;
}

const std::vector<AtspiTree::Id>& AtspiBridge::children(const AtspiTree::Object& object) {
    const bool unreadWindow = object.id != AtspiTree::kApplication &&
                              tree_.windowObject(object.window) == object.id && !object.isRead;
    if (unreadWindow) read(object.window);
    return tree_.find(object.id)->children;
}

ScreenRect AtspiBridge::extents(const AtspiTree::Object& object) const {
    const auto panel = panelOf(object);
    const auto display = display_.lock();
    if (!panel || !display) return {};
    if (tree_.windowObject(object.window) == object.id) return display->onScreen(*panel);
    return display->onScreen(*panel, object.element.frame);
}

bool AtspiBridge::grabFocus(const AtspiTree::Object& object) {
    const auto panel = panelOf(object);
    if (!panel) return false;
    const bool isWindow = tree_.windowObject(object.window) == object.id;
    if (!isWindow && !object.element.focus) return false;
    const auto focus = object.element.focus;
    if (panel->canBecomeKey() && !panel->isKeyWindow()) panel->makeKey();
    if (focus) focus();
    return true;
}

void AtspiBridge::readAll() {
    if (windowsSyncPosted_) syncWindows();
    for (const Id id : std::vector(tree_.application().children)) {
        const AtspiTree::Object* window = tree_.find(id);
        if (window && (!window->isRead || changedWindows_.contains(window->window)))
            read(window->window);
    }
}

std::string AtspiBridge::peerAddress() {
    auto display = display_.lock();
    if (!display || !bus_) return {};
    if (!peers_) peers_ = std::make_unique<AtspiPeers>(display->runLoop(), *this, log_);
    return peers_->address();
}

std::size_t AtspiBridge::directReaders() const {
    return peers_ ? peers_->count() : 0;
}

const char* AtspiBridge::busName() const {
    return bus_ ? bus_->uniqueName() : "";
}

// ---- Telling readers

bool AtspiBridge::announce(const std::string& text, int priority) {
    if (!isRegistered() || !wants("object", "Announcement", "")) return false;
    Id source = AtspiTree::kApplication;
    if (auto display = display_.lock()) {
        if (const auto key = display->keyWindow()) {
            source = tree_.windowObject(key->windowNumber()).value_or(source);
        }
    }
    emit(source, kEventObject, "Announcement", "",
         priority >= Announcer::kHighPriority ? kAssertive : kPolite, 0, 's', text.c_str());
    return true;
}

void AtspiBridge::send(const AtspiTree::Changes& changes) {
    if (!bus_) return;
    if (held_) {
        held_->insert(held_->end(), changes.begin(), changes.end());
        return;
    }
    std::vector<Id> removed;
    for (const auto& change : changes) {
        const AtspiTree::Object* object = tree_.find(change.object);
        switch (change.kind) {
            // Readers that cached the parent's children hear first where the child goes, and
            // then what it is: told the other way round, the new child would take the place of
            // the one there before.
            case Kind::childAdded:
                emitReference(change.object, "ChildrenChanged", "add", change.index, change.child);
                emitAdded(change.child);
                break;
            case Kind::childRemoved:
                emitReference(change.object, "ChildrenChanged", "remove", change.index,
                              change.child);
                removed.push_back(change.child);
                break;
            case Kind::nameChanged:
            case Kind::descriptionChanged: {
                if (!object) break;
                const bool name = change.kind == Kind::nameChanged;
                const bool window = tree_.windowObject(object->window) == object->id;
                const std::string text = name ? (window ? object->name : object->element.label)
                                              : AtspiTree::descriptionOf(object->element);
                emit(change.object, kEventObject, "PropertyChange",
                     name ? "accessible-name" : "accessible-description", 0, 0, 's', text.c_str());
                break;
            }
            case Kind::valueChanged: {
                // A value that only its description tells (a switch's "On") is no event: a
                // reader asking after it would find nothing to read it from.
                if (!object || !AtspiObjects::hasValue(*object) ||
                    !wants("object", "PropertyChange", "accessible-value"))
                    break;
                const double value = object->element.range ? object->element.range->value : 0;
                emit(change.object, kEventObject, "PropertyChange", "accessible-value", 0, 0, 'd',
                     &value);
                break;
            }
            case Kind::stateChanged: {
                const int none = 0;
                emit(change.object, kEventObject, "StateChanged",
                     AtspiObjects::stateName(change.state), change.on ? 1 : 0, 0, 'i', &none);
                if (change.state == AtspiTree::State::focused && change.on &&
                    wants("focus", "Focus", "")) {
                    emit(change.object, kEventFocus, "Focus", "", 0, 0, 'i', &none);
                }
                break;
            }
            case Kind::textInserted:
            case Kind::textRemoved: {
                const char* detail = change.kind == Kind::textInserted ? "insert" : "delete";
                if (!wants("object", "TextChanged", detail)) break;
                emit(change.object, kEventObject, "TextChanged", detail, change.offset,
                     change.length, 's', change.text.c_str());
                break;
            }
            case Kind::caretMoved:
                if (wants("object", "TextCaretMoved", ""))
                    emit(change.object, kEventObject, "TextCaretMoved", "", change.offset, 0, 's',
                         "");
                break;
            case Kind::textSelectionChanged:
                if (wants("object", "TextSelectionChanged", ""))
                    emit(change.object, kEventObject, "TextSelectionChanged", "", 0, 0, 's', "");
                break;
            case Kind::windowCreated:
            case Kind::windowDestroyed:
            case Kind::windowActivated:
            case Kind::windowDeactivated: {
                const char* member = change.kind == Kind::windowCreated     ? "Create"
                                     : change.kind == Kind::windowDestroyed ? "Destroy"
                                     : change.kind == Kind::windowActivated ? "Activate"
                                                                            : "Deactivate";
                if (!wants("window", member, "")) break;
                const char* name = object ? object->name.c_str() : change.text.c_str();
                emit(change.object, kEventWindow, member, "", 0, 0, 's', name);
                break;
            }
        }
    }
    // Readers forget an object as soon as they hear it is gone: that comes after all else they
    // hear of it (a window's name as it closes), and for an element once it stops answering. A
    // child that only moved stays.
    for (const Id id : removed) {
        if (!tree_.find(id)) emitRemoved(id);
    }
}

// One event: its kind's detail, two numbers and a value whose type is `type` ('s' a text, 'd'
// a number, 'i' an integer), with no properties.
void AtspiBridge::emit(Id source, const char* interface, const char* member, const char* detail,
                       int detail1, int detail2, char type, const void* value) {
    sd_bus_message* signal = nullptr;
    const std::string path = AtspiTree::path(source);
    int result = sd_bus_message_new_signal(bus_->raw(), &signal, path.c_str(), interface, member);
    if (result >= 0) result = sd_bus_message_append(signal, "sii", detail, detail1, detail2);
    if (result >= 0) {
        switch (type) {
            case 's':
                result = sd_bus_message_append(signal, "v", "s", static_cast<const char*>(value));
                break;
            case 'd':
                result =
                    sd_bus_message_append(signal, "v", "d", *static_cast<const double*>(value));
                break;
            default:
                result = sd_bus_message_append(signal, "v", "i", *static_cast<const int*>(value));
                break;
        }
    }
    if (result >= 0) result = sd_bus_message_open_container(signal, 'a', "{sv}");
    if (result >= 0) result = sd_bus_message_close_container(signal);
    if (result >= 0) sd_bus_send(bus_->raw(), signal, nullptr);
    sd_bus_message_unref(signal);
}

void AtspiBridge::emitReference(Id source, const char* member, const char* detail, int detail1,
                                Id child) {
    sd_bus_message* signal = nullptr;
    const std::string path = AtspiTree::path(source);
    const std::string childPath = AtspiTree::path(child);
    int result =
        sd_bus_message_new_signal(bus_->raw(), &signal, path.c_str(), kEventObject, member);
    if (result >= 0) result = sd_bus_message_append(signal, "sii", detail, detail1, 0);
    if (result >= 0)
        result = sd_bus_message_append(signal, "v", "(so)", busName(), childPath.c_str());
    if (result >= 0) result = sd_bus_message_open_container(signal, 'a', "{sv}");
    if (result >= 0) result = sd_bus_message_close_container(signal);
    if (result >= 0) sd_bus_send(bus_->raw(), signal, nullptr);
    sd_bus_message_unref(signal);
}

// The object and everything below it, parents first, for readers' caches.
void AtspiBridge::emitAdded(Id object) {
    std::vector<Id> pending{object};
    for (std::size_t index = 0; index < pending.size(); ++index) {
        const AtspiTree::Object* added = tree_.find(pending[index]);
        if (!added) continue;
        sd_bus_message* signal = nullptr;
        int result = sd_bus_message_new_signal(bus_->raw(), &signal, AtspiObjects::kCachePath,
                                               AtspiObjects::kCacheInterface, "AddAccessible");
        if (result >= 0) result = AtspiObjects::appendCacheItem(signal, *this, *added);
        if (result >= 0) sd_bus_send(bus_->raw(), signal, nullptr);
        sd_bus_message_unref(signal);
        pending.insert(pending.end(), added->children.begin(), added->children.end());
    }
}

void AtspiBridge::emitRemoved(Id object) {
    const std::string path = AtspiTree::path(object);
    sd_bus_emit_signal(bus_->raw(), AtspiObjects::kCachePath, AtspiObjects::kCacheInterface,
                       "RemoveAccessible", "(so)", busName(), path.c_str());
}

}  // namespace talvori::freedesktop
