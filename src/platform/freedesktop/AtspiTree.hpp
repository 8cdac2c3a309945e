#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/desktop/AccessibilityNode.hpp"

namespace talvori::freedesktop {

// What the accessibility bus knows of our windows: the application, each window showing views and
// each accessibility element of those views, as objects whose numbers stay while what they stand
// for stays (the same view under the same parent in the same role). A window's elements are read
// when a reader first asks for them and read again after the views change; every reading and
// every change to the windows says what a reader that cached the earlier answers must hear.
class AtspiTree {
  public:
    using Id = std::uint64_t;
    static constexpr Id kApplication = 0;

    // Roles and states as the accessibility bus numbers them.
    enum class Role : std::uint32_t {
        frame = 23,
        label = 29,
        pageTab = 37,
        pageTabList = 38,
        panel = 39,
        pushButton = 43,
        radioButton = 44,
        slider = 51,
        toggleButton = 62,
        window = 69,
        application = 75,
        entry = 79,
        heading = 83,
        link = 88,
    };
    enum class State : std::uint32_t {
        active = 1,
        checked = 4,
        defunct = 9,
        editable = 7,
        enabled = 8,
        focusable = 11,
        focused = 12,
        horizontal = 14,
        resizable = 21,
        selectable = 22,
        selected = 23,
        sensitive = 24,
        showing = 25,
        singleLine = 26,
        visible = 30,
        selectableText = 38,
        checkable = 41,
    };
    using States = std::uint64_t;
    static constexpr States bit(State state) { return States{1} << static_cast<unsigned>(state); }

    struct Window {
        std::uint32_t number = 0;
        std::string name;
        bool isTitled = false;
        bool isKey = false;
        // Has the keys by holding the keyboard, the focus left in another window.
        bool holdsKeyboard = false;
    };

    struct Object {
        Id id = kApplication;
        Id parent = kApplication;
        Role role = Role::application;
        // The panel's number; 0 for the application.
        std::uint32_t window = 0;
        std::vector<Id> children;
        // For elements: as last read, without its children (they are the objects above).
        AccessibilityNode element;
        // For windows.
        std::string name;
        bool isTitled = false;
        bool isKey = false;
        bool isRead = false;
    };

    // What a reader must hear. Offsets and lengths of texts count characters.
    struct Change {
        enum class Kind {
            childAdded,
            childRemoved,
            nameChanged,
            descriptionChanged,
            valueChanged,
            stateChanged,
            textInserted,
            textRemoved,
            caretMoved,
            textSelectionChanged,
            windowCreated,
            windowDestroyed,
            windowActivated,
            windowDeactivated,
        };
        Kind kind;
        Id object;
        Id child = 0;
        int index = 0;
        State state = State::focused;
        bool on = false;
        int offset = 0;
        int length = 0;
        std::string text{};
    };
    using Changes = std::vector<Change>;

    AtspiTree();

    // The windows that show views now, front to back: windows are added, named, activated and
    // removed as they come, change and go; the application lists them in the order they came.
    Changes setWindows(const std::vector<Window>& windows);
    // The window's elements as read now.
    Changes read(std::uint32_t window, std::vector<AccessibilityNode> elements);

    // An element removed from its window still answers, as it was and defunct, until forgotten: a
    // reader that had it focused asks it for its place while the focus moves on (a page replaced
    // by the next), and takes an element that answers nothing for a reason to say less.
    const Object* find(Id id) const;
    // The number of readings so far; the elements removed up to reading `upTo` are forgotten.
    std::uint64_t readings() const { return readings_; }
    bool hasDepartedSince(std::uint64_t reading) const;
    std::vector<Id> forgetDeparted(std::uint64_t upTo);
    const Object& application() const { return *find(kApplication); }
    std::optional<Id> windowObject(std::uint32_t window) const;
    // The element with the keyboard focus: focused in its views, in the key window.
    std::optional<Id> focused() const { return focused_; }
    States states(const Object& object) const;
    int indexInParent(const Object& object) const;

    // Object paths: the application is the root every reader starts from.
    static std::string path(Id id);
    static std::optional<Id> idOfPath(std::string_view path);
    static constexpr const char* kPathPrefix = "/org/a11y/atspi/accessible";

    static Role roleOf(const AccessibilityNode& element);
    // What a reader reads after the name and role: the hint, led by the value where the element
    // has one that readers read nowhere else (a shortcut field's shortcut, a card's "On").
    static std::string descriptionOf(const AccessibilityNode& element);

  private:
    struct Key {
        Id parent;
        Role role;
        std::weak_ptr<const void> source;
        int occurrence;
        bool operator<(const Key& other) const;
    };
    using Keys = std::map<Key, Id>;

    // The events that tell a window became key, or stopped being key.
    static void tellKeyStatus(Changes& changes, Id window, const Window& shown);
    Id add(Object object);
    void remove(Id id);
    std::vector<Id> build(Id parent, std::uint32_t window, std::vector<AccessibilityNode>& elements,
                          const Keys& before, Keys& after, std::unordered_map<Id, Object>& built);
    void compareChildren(const Object& before, const Object& after,
                         const std::unordered_map<Id, Object>& built, Changes& changes) const;
    // Additions and removals of children, then the changes of the elements.
    std::pair<Changes, Changes> compare(Id window, const Object& next,
                                        const std::unordered_map<Id, Object>& built) const;
    void compareElements(const Object& before, const Object& after, Changes& changes) const;
    void updateFocus(Changes& changes);
    std::optional<Id> findFocused() const;

    std::unordered_map<Id, Object> objects_;
    // Removed elements with the reading that removed them.
    std::unordered_map<Id, std::pair<Object, std::uint64_t>> departed_;
    std::uint64_t readings_ = 0;
    std::map<std::uint32_t, Keys> keys_;
    std::optional<Id> focused_;
    Id next_ = 1;
};

}  // namespace talvori::freedesktop
