#include "platform/freedesktop/AtspiTree.hpp"

#include <algorithm>
#include <charconv>
#include <tuple>
#include <utility>

#include "platform/freedesktop/AtspiText.hpp"

namespace talvori::freedesktop {

namespace {

using Change = AtspiTree::Change;
using Kind = AtspiTree::Change::Kind;
using Role = AtspiTree::Role;
using State = AtspiTree::State;
using States = AtspiTree::States;

constexpr States bit(State state) {
    return AtspiTree::bit(state);
}

States elementStates(const AccessibilityNode& element) {
    States states = bit(State::visible) | bit(State::showing);
    if (element.isEnabled) states |= bit(State::enabled) | bit(State::sensitive);
    if (element.isFocusable) states |= bit(State::focusable);
    if (contains(element.traits, AccessibilityTrait::isSelected))
        states |= bit(State::selectable) | bit(State::selected);
    // Every tab can be chosen, not only the chosen one.
    if (contains(element.traits, AccessibilityTrait::isTab) && element.children.empty())
        states |= bit(State::selectable);
    // Checked alone, as the desktop's switches and radio buttons say it: a reader told of both
    // checked and pressed speaks the change twice.
    if (element.isOn) {
        states |= bit(State::checkable);
        if (*element.isOn) states |= bit(State::checked);
    }
    if (element.range) states |= bit(State::horizontal);
    if (element.text) {
        states |= bit(State::selectableText);
        if (element.text->replace) states |= bit(State::editable) | bit(State::singleLine);
    }
    return states;
}

bool isContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// What an edit from `before` to `after` removed and inserted, as a reader hears it.
void compareTexts(AtspiTree::Id object, const std::string& before, const std::string& after,
                  AtspiTree::Changes& changes) {
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
    while (prefix > 0 && prefix < before.size() && isContinuation(before[prefix])) --prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    while (suffix > 0 && isContinuation(before[before.size() - suffix])) --suffix;
    const std::string removed = before.substr(prefix, before.size() - suffix - prefix);
    const std::string inserted = after.substr(prefix, after.size() - suffix - prefix);
    const int offset = AtspiText(before).offsetOfByte(prefix);
    if (!removed.empty()) {
        changes.push_back({.kind = Kind::textRemoved,
                           .object = object,
                           .offset = offset,
                           .length = AtspiText(removed).length(),
                           .text = removed});
    }
    if (!inserted.empty()) {
        changes.push_back({.kind = Kind::textInserted,
                           .object = object,
                           .offset = offset,
                           .length = AtspiText(inserted).length(),
                           .text = inserted});
    }
}

}  // namespace

bool AtspiTree::Key::operator<(const Key& other) const {
    const auto mine = std::tie(parent, role, occurrence);
    const auto theirs = std::tie(other.parent, other.role, other.occurrence);
    if (mine != theirs) return mine < theirs;
    return source.owner_before(other.source);
}

AtspiTree::AtspiTree() {
    Object application;
    application.isRead = true;
    objects_.emplace(kApplication, std::move(application));
}

const AtspiTree::Object* AtspiTree::find(Id id) const {
    if (const auto found = objects_.find(id); found != objects_.end()) return &found->second;
    const auto departed = departed_.find(id);
    return departed == departed_.end() ? nullptr : &departed->second.first;
}

bool AtspiTree::hasDepartedSince(std::uint64_t reading) const {
    return std::any_of(departed_.begin(), departed_.end(),
                       [&](const auto& entry) { return entry.second.second > reading; });
}

std::vector<AtspiTree::Id> AtspiTree::forgetDeparted(std::uint64_t upTo) {
    std::vector<Id> forgotten;
    std::erase_if(departed_, [&](const auto& entry) {
        if (entry.second.second > upTo) return false;
        forgotten.push_back(entry.first);
        return true;
    });
    return forgotten;
}

std::optional<AtspiTree::Id> AtspiTree::windowObject(std::uint32_t window) const {
    for (const Id id : application().children) {
        if (objects_.at(id).window == window) return id;
    }
    return std::nullopt;
}

int AtspiTree::indexInParent(const Object& object) const {
    if (object.id == kApplication) return -1;
    const Object* parent = find(object.parent);
    if (!parent) return -1;
    const auto found = std::find(parent->children.begin(), parent->children.end(), object.id);
    return found == parent->children.end() ? -1
                                           : static_cast<int>(found - parent->children.begin());
}

AtspiTree::States AtspiTree::states(const Object& object) const {
    if (object.id == kApplication) return 0;
    if (object.role == Role::frame || object.role == Role::window) {
        States states =
            bit(State::visible) | bit(State::showing) | bit(State::enabled) | bit(State::sensitive);
        if (object.isKey) states |= bit(State::active);
        if (object.isTitled) states |= bit(State::resizable);
        return states;
    }
    if (departed_.contains(object.id)) return bit(State::defunct);
    States states = elementStates(object.element);
    if (focused_ == object.id) states |= bit(State::focused);
    return states;
}

AtspiTree::Role AtspiTree::roleOf(const AccessibilityNode& element) {
    if (element.range) return Role::slider;
    if (element.text && element.text->replace) return Role::entry;
    if (contains(element.traits, AccessibilityTrait::isTab))
        return element.children.empty() ? Role::pageTab : Role::pageTabList;
    if (contains(element.traits, AccessibilityTrait::isRadio)) return Role::radioButton;
    if (contains(element.traits, AccessibilityTrait::isToggle)) return Role::toggleButton;
    if (contains(element.traits, AccessibilityTrait::isButton)) return Role::pushButton;
    if (contains(element.traits, AccessibilityTrait::isLink)) return Role::link;
    if (contains(element.traits, AccessibilityTrait::isHeader)) return Role::heading;
    return element.children.empty() ? Role::label : Role::panel;
}

std::string AtspiTree::descriptionOf(const AccessibilityNode& element) {
    // A slider's, a switch's and a field's values have readers' own ways of being read.
    const bool readElsewhere = element.range || element.isOn || element.text;
    if (element.value.empty() || readElsewhere) return element.hint;
    return element.hint.empty() ? element.value : element.value + ". " + element.hint;
}

std::string AtspiTree::path(Id id) {
    return id == kApplication ? std::string(kPathPrefix) + "/root"
                              : std::string(kPathPrefix) + "/" + std::to_string(id);
}

std::optional<AtspiTree::Id> AtspiTree::idOfPath(std::string_view path) {
    const std::string_view prefix = kPathPrefix;
    if (!path.starts_with(prefix) || path.size() < prefix.size() + 2 || path[prefix.size()] != '/')
        return std::nullopt;
    const std::string_view name = path.substr(prefix.size() + 1);
    if (name == "root") return kApplication;
    Id id = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), id);
    if (error != std::errc() || end != name.data() + name.size() || id == kApplication)
        return std::nullopt;
    return id;
}

// ---- Windows

AtspiTree::Id AtspiTree::add(Object object) {
    const Id id = next_++;
    object.id = id;
    objects_.at(object.parent).children.push_back(id);
    objects_.emplace(id, std::move(object));
    return id;
}

void AtspiTree::remove(Id id) {
    const auto found = objects_.find(id);
    if (found == objects_.end()) return;
    const Object object = std::move(found->second);
    objects_.erase(found);
    for (const Id child : object.children) remove(child);
    if (auto parent = objects_.find(object.parent); parent != objects_.end()) {
        std::erase(parent->second.children, id);
    }
    if (object.role == Role::frame || object.role == Role::window) keys_.erase(object.window);
    if (focused_ == id) focused_.reset();
}

// A reader (Orca) that handles the click which gave a window the keys by a grab takes whichever
// window says it is active by then for the one clicked into, silently, and the activation it reads
// next is for a window it already has: the window would open unnamed. Told first that the window is
// not active, such a reader lets go of it and says the activation; one that never took it ignores
// the deactivation of a window other than its active one.
void AtspiTree::tellKeyStatus(Changes& changes, Id window, const Window& shown) {
    if (shown.isKey && shown.holdsKeyboard)
        changes.push_back({.kind = Kind::windowDeactivated, .object = window});
    changes.push_back(
        {.kind = Kind::stateChanged, .object = window, .state = State::active, .on = shown.isKey});
    changes.push_back(
        {.kind = shown.isKey ? Kind::windowActivated : Kind::windowDeactivated, .object = window});
}

AtspiTree::Changes AtspiTree::setWindows(const std::vector<Window>& windows) {
    Changes changes;
    for (const Id id : std::vector(application().children)) {
        const Object& window = objects_.at(id);
        const bool stays = std::any_of(windows.begin(), windows.end(), [&](const Window& shown) {
            return shown.number == window.window;
        });
        if (stays) continue;
        changes.push_back({.kind = Kind::childRemoved,
                           .object = kApplication,
                           .child = id,
                           .index = indexInParent(window)});
        // The window is gone before readers hear of it: its name travels with the event.
        changes.push_back({.kind = Kind::windowDestroyed, .object = id, .text = window.name});
        remove(id);
    }
    Changes activations;
    for (const Window& shown : windows) {
        if (const auto existing = windowObject(shown.number)) {
            Object& window = objects_.at(*existing);
            if (window.name != shown.name) {
                window.name = shown.name;
                changes.push_back({.kind = Kind::nameChanged, .object = window.id});
            }
            if (window.isKey == shown.isKey) continue;
            window.isKey = shown.isKey;
            tellKeyStatus(shown.isKey ? activations : changes, window.id, shown);
            continue;
        }
        Object window;
        window.parent = kApplication;
        window.role = shown.isTitled ? Role::frame : Role::window;
        window.window = shown.number;
        window.name = shown.name;
        window.isTitled = shown.isTitled;
        window.isKey = shown.isKey;
        const Id id = add(std::move(window));
        changes.push_back({.kind = Kind::childAdded,
                           .object = kApplication,
                           .child = id,
                           .index = static_cast<int>(application().children.size()) - 1});
        changes.push_back({.kind = Kind::windowCreated, .object = id});
        if (shown.isKey) tellKeyStatus(activations, id, shown);
    }
    changes.insert(changes.end(), activations.begin(), activations.end());
    updateFocus(changes);
    return changes;
}

// ---- Elements

std::vector<AtspiTree::Id> AtspiTree::build(Id parent, std::uint32_t window,
                                            std::vector<AccessibilityNode>& elements,
                                            const Keys& before, Keys& after,
                                            std::unordered_map<Id, Object>& built) {
    std::vector<Id> ids;
    ids.reserve(elements.size());
    for (auto& element : elements) {
        Key key{parent, roleOf(element), element.source, 0};
        while (after.contains(key)) ++key.occurrence;
        const auto known = before.find(key);
        const Id id = known != before.end() ? known->second : next_++;
        after.emplace(key, id);
        auto children = std::move(element.children);
        element.children.clear();
        Object object;
        object.id = id;
        object.parent = parent;
        object.role = key.role;
        object.window = window;
        object.element = std::move(element);
        object.children = build(id, window, children, before, after, built);
        built.emplace(id, std::move(object));
        ids.push_back(id);
    }
    return ids;
}

AtspiTree::Changes AtspiTree::read(std::uint32_t window, std::vector<AccessibilityNode> elements) {
    Changes changes;
    const auto windowId = windowObject(window);
    if (!windowId) return changes;
    Keys after;
    std::unordered_map<Id, Object> built;
    Object next = objects_.at(*windowId);
    next.children = build(*windowId, window, elements, keys_[window], after, built);

    Object& current = objects_.at(*windowId);
    auto [structure, elementChanges] =
        current.isRead ? compare(*windowId, next, built) : std::pair<Changes, Changes>();
    ++readings_;
    std::vector<Id> stale = current.children;
    for (std::size_t index = 0; index < stale.size(); ++index) {
        const auto found = objects_.find(stale[index]);
        if (found == objects_.end()) continue;
        stale.insert(stale.end(), found->second.children.begin(), found->second.children.end());
        if (!built.contains(found->first))
            departed_.insert_or_assign(found->first,
                                       std::pair{std::move(found->second), readings_});
        objects_.erase(found);
    }
    for (auto& [id, object] : built) objects_.insert_or_assign(id, std::move(object));
    current.children = std::move(next.children);
    current.isRead = true;
    keys_[window] = std::move(after);
    if (focused_ && !objects_.contains(*focused_)) focused_.reset();
    // What changed in the elements a reader knows (the switch just pressed) goes first: a reader
    // reads each added child before the next event, which would keep the press silent for as
    // long. The focus goes to a child only once the child is there.
    Changes focus;
    updateFocus(focus);
    const bool focusOnNewChild = focused_ && objects_.at(*focused_).window == window &&
                                 std::find(stale.begin(), stale.end(), *focused_) == stale.end();
    // The focused element's new state first, then the rest of its changes: a reader works
    // through each event before the next, and those of the card around a switch just pressed
    // would keep the press unsaid for as long.
    const auto rank = [this](const Change& change) {
        if (!focused_ || change.object != *focused_) return 2;
        return change.kind == Kind::stateChanged ? 0 : 1;
    };
    std::stable_sort(
        elementChanges.begin(), elementChanges.end(),
        [&](const Change& one, const Change& other) { return rank(one) < rank(other); });
    changes = std::move(elementChanges);
    if (!focusOnNewChild) changes.insert(changes.end(), focus.begin(), focus.end());
    changes.insert(changes.end(), structure.begin(), structure.end());
    if (focusOnNewChild) changes.insert(changes.end(), focus.begin(), focus.end());
    return changes;
}

std::pair<AtspiTree::Changes, AtspiTree::Changes> AtspiTree::compare(
    Id window, const Object& next, const std::unordered_map<Id, Object>& built) const {
    Changes structure;
    Changes elements;
    // Parents before children, each parent's removals before its additions.
    std::vector<Id> order{window};
    for (std::size_t index = 0; index < order.size(); ++index) {
        const Object& now = order[index] == window ? next : built.at(order[index]);
        order.insert(order.end(), now.children.begin(), now.children.end());
        const Object* before = find(order[index]);
        if (!before) continue;
        compareChildren(*before, now, built, structure);
        if (order[index] != window) compareElements(*before, now, elements);
    }
    return {std::move(structure), std::move(elements)};
}

void AtspiTree::compareChildren(const Object& before, const Object& after,
                                const std::unordered_map<Id, Object>& built,
                                Changes& changes) const {
    auto isIn = [](const std::vector<Id>& list, Id id) {
        return std::find(list.begin(), list.end(), id) != list.end();
    };
    std::vector<Id> keptBefore;
    for (const Id id : before.children) {
        if (built.contains(id)) keptBefore.push_back(id);
    }
    std::vector<Id> keptAfter;
    for (const Id id : after.children) {
        if (isIn(before.children, id)) keptAfter.push_back(id);
    }
    // A reader keeps the children it has in order and inserts the new ones where they go: kept
    // children that changed places leave and come back.
    const bool reordered = keptBefore != keptAfter;
    for (auto index = static_cast<int>(before.children.size()) - 1; index >= 0; --index) {
        const Id id = before.children[static_cast<std::size_t>(index)];
        if (reordered || !built.contains(id)) {
            changes.push_back(
                {.kind = Kind::childRemoved, .object = before.id, .child = id, .index = index});
        }
    }
    for (std::size_t index = 0; index < after.children.size(); ++index) {
        const Id id = after.children[index];
        if (reordered || !isIn(before.children, id)) {
            changes.push_back({.kind = Kind::childAdded,
                               .object = after.id,
                               .child = id,
                               .index = static_cast<int>(index)});
        }
    }
}

void AtspiTree::compareElements(const Object& before, const Object& after, Changes& changes) const {
    const AccessibilityNode& old = before.element;
    const AccessibilityNode& now = after.element;
    if (old.label != now.label) changes.push_back({.kind = Kind::nameChanged, .object = after.id});
    if (descriptionOf(old) != descriptionOf(now))
        changes.push_back({.kind = Kind::descriptionChanged, .object = after.id});
    const bool moved = old.range.has_value() != now.range.has_value() ||
                       (old.range && old.range->value != now.range->value);
    if (old.value != now.value || moved)
        changes.push_back({.kind = Kind::valueChanged, .object = after.id});
    const States was = elementStates(old);
    const States is = elementStates(now);
    for (unsigned state = 0; state < 64; ++state) {
        const States mask = States{1} << state;
        if ((was & mask) == (is & mask)) continue;
        changes.push_back({.kind = Kind::stateChanged,
                           .object = after.id,
                           .state = static_cast<State>(state),
                           .on = (is & mask) != 0});
    }
    if (!old.text || !now.text) return;
    if (old.text->contents != now.text->contents)
        compareTexts(after.id, old.text->contents, now.text->contents, changes);
    const AtspiText oldText(old.text->contents);
    const AtspiText newText(now.text->contents);
    if (oldText.offsetOfByte(old.text->caret) != newText.offsetOfByte(now.text->caret)) {
        changes.push_back({.kind = Kind::caretMoved,
                           .object = after.id,
                           .offset = newText.offsetOfByte(now.text->caret)});
    }
    if (old.text->selectionStart != now.text->selectionStart ||
        old.text->selectionEnd != now.text->selectionEnd) {
        changes.push_back({.kind = Kind::textSelectionChanged, .object = after.id});
    }
}

// ---- Focus

std::optional<AtspiTree::Id> AtspiTree::findFocused() const {
    for (const Id windowId : application().children) {
        const Object& window = objects_.at(windowId);
        if (!window.isKey) continue;
        std::vector<Id> pending = window.children;
        for (std::size_t index = 0; index < pending.size(); ++index) {
            const Object& object = objects_.at(pending[index]);
            if (object.element.isFocused) return object.id;
            pending.insert(pending.end(), object.children.begin(), object.children.end());
        }
    }
    return std::nullopt;
}

void AtspiTree::updateFocus(Changes& changes) {
    const auto now = findFocused();
    if (now == focused_) return;
    if (focused_) {
        changes.push_back({.kind = Kind::stateChanged,
                           .object = *focused_,
                           .state = State::focused,
                           .on = false});
    }
    focused_ = now;
    if (now) {
        changes.push_back(
            {.kind = Kind::stateChanged, .object = *now, .state = State::focused, .on = true});
    }
}

}  // namespace talvori::freedesktop
