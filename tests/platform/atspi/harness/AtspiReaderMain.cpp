// A screen reader's view of the desktop for the tests: it reads our application over the
// accessibility bus as a reader does, through the accessibility library with its caches on,
// which only the events keep right. Commands come one a line on standard input; each answer is
// some lines on standard output and then a line ".".
//
//   applications            the names of the applications the registry lists
//   toolkit                 toolkit name|version of the program
//   windows                 index|role|name|states of each of the application's windows
//   tree INDEX              the window's objects, indented: role|name|value|states|actions
//   find NAME               makes the first object named NAME the target: its role, or "none";
//                           "find ROLE|NAME" the first of that role
//   next-focus              waits up to five seconds for an object to gain the focus (the
//                           events before it are dropped) and makes it the target:
//                           role|name|key binding of its press, or "timeout"
//   target                  role|name|description|value|states|actions of the target
//   extents                 x y width height of the target and of its window, on screen
//   at X Y                  role|name of the object at a point on screen in the target's window
//   do ACTION               performs the target's action named ACTION ("click": the press)
//   set-value NUMBER        sets the target's value
//   value                   current|minimum|maximum|increment|text
//   text                    contents|caret
//   set-text TEXT, caret N  edit the target's text, move its caret
//   focus                   gives the target the keyboard focus
//   take NAME               keys named NAME ("Tab") are the reader's from now on ("": none)
//   events                  the events since the last asking: type|detail1|name|role; keys
//                           heard come as key:press:NAME and key:release:NAME
//   wait TYPE NAME          waits up to five seconds for an event of TYPE from NAME ("*": any)
//   stamp TYPE              when the latest event of TYPE arrived (monotonic microseconds)
//   meet INDEX              meets the program (the reader's first question to it) and waits
//                           until its cache holds the window's children: milliseconds or
//                           "timeout"
//   cached INDEX            the window's objects as the reader's cache holds them, asking the
//                           program nothing, indented: role|name, "?" for what it lacks
//   walk INDEX [kept]       reads every object of the window afresh (kept: as the reader has
//                           them cached): count and milliseconds
#include <atspi/atspi.h>
#include <glib-unix.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kApplication = "Talvori";
constexpr guint kWaitMilliseconds = 5000;

struct Event {
    std::string type;
    int detail1 = 0;
    AtspiAccessible* source = nullptr;
    // A window's events carry its name: a closed window's can no longer be asked.
    std::string name{};
};

struct Reader {
    AtspiAccessible* target = nullptr;
    std::vector<Event> events;
    std::map<std::string, gint64> arrivals;
    std::string input;
    bool reading = false;
    // The keys the reader takes for itself.
    std::string taken;
};

Reader reader;

std::string owned(gchar* text) {
    std::string copy = text ? text : "";
    g_free(text);
    return copy;
}

std::string nameOf(AtspiAccessible* object) {
    return object ? owned(atspi_accessible_get_name(object, nullptr)) : "";
}

std::string nameOf(const Event& event) {
    return event.name.empty() ? nameOf(event.source) : event.name;
}

std::string roleOf(AtspiAccessible* object) {
    return object ? atspi_role_get_name(atspi_accessible_get_role(object, nullptr)) : "";
}

std::string statesOf(AtspiAccessible* object) {
    AtspiStateSet* set = atspi_accessible_get_state_set(object);
    GArray* states = atspi_state_set_get_states(set);
    auto* kinds = static_cast<GEnumClass*>(g_type_class_ref(atspi_state_type_get_type()));
    std::string text;
    for (guint index = 0; index < states->len; ++index) {
        const GEnumValue* value =
            g_enum_get_value(kinds, g_array_index(states, AtspiStateType, index));
        if (!value) continue;
        if (!text.empty()) text += ',';
        text += value->value_nick;
    }
    g_type_class_unref(kinds);
    g_array_free(states, TRUE);
    g_object_unref(set);
    return text;
}

std::string valueOf(AtspiAccessible* object) {
    AtspiValue* value = atspi_accessible_get_value_iface(object);
    if (!value) return "";
    std::string text = owned(atspi_value_get_text(value, nullptr));
    g_object_unref(value);
    return text;
}

std::vector<std::string> actionsOf(AtspiAccessible* object) {
    std::vector<std::string> names;
    AtspiAction* action = atspi_accessible_get_action_iface(object);
    if (!action) return names;
    const int count = atspi_action_get_n_actions(action, nullptr);
    for (int index = 0; index < count; ++index) {
        names.push_back(owned(atspi_action_get_action_name(action, index, nullptr)));
    }
    g_object_unref(action);
    return names;
}

std::string joined(const std::vector<std::string>& parts, char separator) {
    std::string text;
    for (const auto& part : parts) {
        if (!text.empty()) text += separator;
        text += part;
    }
    return text;
}

AtspiAccessible* application() {
    AtspiAccessible* desktop = atspi_get_desktop(0);
    AtspiAccessible* found = nullptr;
    const int count = atspi_accessible_get_child_count(desktop, nullptr);
    for (int index = 0; index < count && !found; ++index) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(desktop, index, nullptr);
        if (child && nameOf(child) == kApplication) {
            found = child;
        } else if (child) {
            g_object_unref(child);
        }
    }
    g_object_unref(desktop);
    return found;
}

AtspiAccessible* window(int index) {
    AtspiAccessible* app = application();
    if (!app) return nullptr;
    AtspiAccessible* found = atspi_accessible_get_child_at_index(app, index, nullptr);
    g_object_unref(app);
    return found;
}

// Calls `visit` on `object` and every object below it, depth first; stops when it says so.
bool walk(AtspiAccessible* object, int depth,
          const std::function<bool(AtspiAccessible*, int)>& visit) {
    if (!visit(object, depth)) return false;
    const int count = atspi_accessible_get_child_count(object, nullptr);
    for (int index = 0; index < count; ++index) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(object, index, nullptr);
        if (!child) continue;
        const bool more = walk(child, depth + 1, visit);
        g_object_unref(child);
        if (!more) return false;
    }
    return true;
}

void answer(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (!text.empty() && text.back() != '\n') std::fputc('\n', stdout);
}

void applications() {
    AtspiAccessible* desktop = atspi_get_desktop(0);
    const int count = atspi_accessible_get_child_count(desktop, nullptr);
    for (int index = 0; index < count; ++index) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(desktop, index, nullptr);
        if (!child) continue;
        answer(nameOf(child));
        g_object_unref(child);
    }
    g_object_unref(desktop);
}

void toolkit() {
    AtspiAccessible* app = application();
    if (!app) return answer("none");
    answer(owned(atspi_accessible_get_toolkit_name(app, nullptr)) + "|" +
           owned(atspi_accessible_get_toolkit_version(app, nullptr)));
    g_object_unref(app);
}

void windows() {
    AtspiAccessible* app = application();
    if (!app) return;
    const int count = atspi_accessible_get_child_count(app, nullptr);
    for (int index = 0; index < count; ++index) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(app, index, nullptr);
        if (!child) continue;
        answer(std::to_string(index) + "|" + roleOf(child) + "|" + nameOf(child) + "|" +
               statesOf(child));
        g_object_unref(child);
    }
    g_object_unref(app);
}

void tree(int index) {
    AtspiAccessible* top = window(index);
    if (!top) return;
    walk(top, 0, [](AtspiAccessible* object, int depth) {
        answer(std::string(static_cast<std::size_t>(depth) * 2, ' ') + roleOf(object) + "|" +
               nameOf(object) + "|" + valueOf(object) + "|" + statesOf(object) + "|" +
               joined(actionsOf(object), ','));
        return true;
    });
    g_object_unref(top);
}

void find(const std::string& name) {
    if (reader.target) g_object_unref(reader.target);
    reader.target = nullptr;
    AtspiAccessible* app = application();
    if (!app) {
        answer("none");
        return;
    }
    const auto bar = name.find('|');
    const std::string role = bar == std::string::npos ? "" : name.substr(0, bar);
    const std::string wanted = bar == std::string::npos ? name : name.substr(bar + 1);
    walk(app, 0, [&](AtspiAccessible* object, int) {
        if (nameOf(object) != wanted || (!role.empty() && roleOf(object) != role)) return true;
        reader.target = static_cast<AtspiAccessible*>(g_object_ref(object));
        return false;
    });
    g_object_unref(app);
    answer(reader.target ? roleOf(reader.target) : "none");
}

std::string rectText(AtspiAccessible* object) {
    AtspiComponent* component = atspi_accessible_get_component_iface(object);
    if (!component) return "none";
    AtspiRect* rect = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
    std::ostringstream text;
    if (rect) text << rect->x << ' ' << rect->y << ' ' << rect->width << ' ' << rect->height;
    g_free(rect);
    g_object_unref(component);
    return text.str();
}

// The window of `object`: its ancestor whose parent is the application. Owned by the caller.
AtspiAccessible* windowOf(AtspiAccessible* object) {
    auto* top = static_cast<AtspiAccessible*>(g_object_ref(object));
    for (AtspiAccessible* parent = atspi_accessible_get_parent(top, nullptr); parent;
         parent = atspi_accessible_get_parent(top, nullptr)) {
        const bool isApplication =
            atspi_accessible_get_role(parent, nullptr) == ATSPI_ROLE_APPLICATION;
        if (isApplication) {
            g_object_unref(parent);
            break;
        }
        g_object_unref(top);
        top = parent;
    }
    return top;
}

void extents() {
    if (!reader.target) return answer("none");
    answer(rectText(reader.target));
    AtspiAccessible* top = windowOf(reader.target);
    answer(rectText(top));
    g_object_unref(top);
}

void at(const std::string& point) {
    if (!reader.target) return answer("none");
    int x = 0, y = 0;
    std::istringstream(point) >> x >> y;
    AtspiAccessible* top = windowOf(reader.target);
    AtspiComponent* component = atspi_accessible_get_component_iface(top);
    g_object_unref(top);
    if (!component) return answer("none");
    AtspiAccessible* found =
        atspi_component_get_accessible_at_point(component, x, y, ATSPI_COORD_TYPE_SCREEN, nullptr);
    g_object_unref(component);
    answer(found ? roleOf(found) + "|" + nameOf(found) : "none");
    if (found) g_object_unref(found);
}

void target() {
    AtspiAccessible* object = reader.target;
    if (!object) return answer("none");
    answer(roleOf(object) + "|" + nameOf(object) + "|" +
           owned(atspi_accessible_get_description(object, nullptr)) + "|" + valueOf(object) + "|" +
           statesOf(object) + "|" + joined(actionsOf(object), ','));
}

void perform(const std::string& name) {
    AtspiAction* action =
        reader.target ? atspi_accessible_get_action_iface(reader.target) : nullptr;
    if (!action) return answer("none");
    const auto names = actionsOf(reader.target);
    bool done = false;
    for (std::size_t index = 0; index < names.size() && !done; ++index) {
        if (names[index] == name)
            done = atspi_action_do_action(action, static_cast<int>(index), nullptr);
    }
    g_object_unref(action);
    answer(done ? "ok" : "none");
}

void value(const std::string* set) {
    AtspiValue* value = reader.target ? atspi_accessible_get_value_iface(reader.target) : nullptr;
    if (!value) return answer("none");
    if (set) {
        GError* error = nullptr;
        atspi_value_set_current_value(value, g_ascii_strtod(set->c_str(), nullptr), &error);
        answer(error ? std::string("error ") + error->message : "ok");
        if (error) g_error_free(error);
    } else {
        std::ostringstream text;
        text << atspi_value_get_current_value(value, nullptr) << '|'
             << atspi_value_get_minimum_value(value, nullptr) << '|'
             << atspi_value_get_maximum_value(value, nullptr) << '|'
             << atspi_value_get_minimum_increment(value, nullptr) << '|'
             << owned(atspi_value_get_text(value, nullptr));
        answer(text.str());
    }
    g_object_unref(value);
}

void text(const std::string& command, const std::string& argument) {
    AtspiText* text = reader.target ? atspi_accessible_get_text_iface(reader.target) : nullptr;
    if (!text) return answer("none");
    if (command == "text") {
        answer(owned(atspi_text_get_text(text, 0, -1, nullptr)) + "|" +
               std::to_string(atspi_text_get_caret_offset(text, nullptr)));
    } else if (command == "caret") {
        answer(atspi_text_set_caret_offset(text, std::atoi(argument.c_str()), nullptr) ? "ok"
                                                                                       : "none");
    } else {
        AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(reader.target);
        const bool done =
            editable && atspi_editable_text_set_text_contents(editable, argument.c_str(), nullptr);
        if (editable) g_object_unref(editable);
        answer(done ? "ok" : "none");
    }
    g_object_unref(text);
}

void focus() {
    AtspiComponent* component =
        reader.target ? atspi_accessible_get_component_iface(reader.target) : nullptr;
    if (!component) return answer("none");
    answer(atspi_component_grab_focus(component, nullptr) ? "ok" : "none");
    g_object_unref(component);
}

void events() {
    for (auto& event : reader.events) {
        answer(event.type + "|" + std::to_string(event.detail1) + "|" + nameOf(event) + "|" +
               roleOf(event.source));
        if (event.source) g_object_unref(event.source);
    }
    reader.events.clear();
}

bool arrived(const std::string& type, const std::string& name) {
    for (const auto& event : reader.events) {
        if (event.type.rfind(type, 0) == 0 && (name == "*" || nameOf(event) == name)) return true;
    }
    return false;
}

gboolean expire(gpointer expired) {
    *static_cast<bool*>(expired) = true;
    return G_SOURCE_REMOVE;
}

void wait(const std::string& type, const std::string& name) {
    bool expired = false;
    const guint timer = g_timeout_add(kWaitMilliseconds, expire, &expired);
    while (!arrived(type, name) && !expired) g_main_context_iteration(nullptr, TRUE);
    if (!expired) g_source_remove(timer);
    answer(arrived(type, name) ? "ok" : "timeout");
}

// The first object to gain the focus among the events heard; the events up to it are dropped.
AtspiAccessible* takeFocusGain() {
    for (auto event = reader.events.begin(); event != reader.events.end(); ++event) {
        if (event->type != "object:state-changed:focused" || event->detail1 != 1) continue;
        AtspiAccessible* gained = event->source;
        event->source = nullptr;
        for (auto dropped = reader.events.begin(); dropped != std::next(event); ++dropped) {
            if (dropped->source) g_object_unref(dropped->source);
        }
        reader.events.erase(reader.events.begin(), std::next(event));
        return gained;
    }
    return nullptr;
}

std::string keyBindingOf(AtspiAccessible* object) {
    AtspiAction* action = atspi_accessible_get_action_iface(object);
    if (!action) return "";
    const std::string binding = atspi_action_get_n_actions(action, nullptr) > 0
                                    ? owned(atspi_action_get_key_binding(action, 0, nullptr))
                                    : "";
    g_object_unref(action);
    return binding;
}

void nextFocus() {
    bool expired = false;
    const guint timer = g_timeout_add(kWaitMilliseconds, expire, &expired);
    AtspiAccessible* gained = takeFocusGain();
    while (!gained && !expired) {
        g_main_context_iteration(nullptr, TRUE);
        gained = takeFocusGain();
    }
    if (!expired) g_source_remove(timer);
    if (!gained) return answer("timeout");
    if (reader.target) g_object_unref(reader.target);
    reader.target = gained;
    answer(roleOf(gained) + "|" + nameOf(gained) + "|" + keyBindingOf(gained));
}

constexpr guint kKnown = ATSPI_CACHE_NAME | ATSPI_CACHE_ROLE;

bool childrenCached(AtspiAccessible* object) {
    return (object->cached_properties & ATSPI_CACHE_CHILDREN) && object->children;
}

void meet(int index) {
    const gint64 start = g_get_monotonic_time();
    AtspiAccessible* top = window(index);
    if (!top) return answer("none");
    bool expired = false;
    const guint timer = g_timeout_add(kWaitMilliseconds, expire, &expired);
    while (!childrenCached(top) && !expired) g_main_context_iteration(nullptr, TRUE);
    if (!expired) g_source_remove(timer);
    const bool cached = childrenCached(top);
    g_object_unref(top);
    answer(cached ? std::to_string(static_cast<double>(g_get_monotonic_time() - start) / 1000)
                  : "timeout");
}

// Reads the library's own fields, which reading through its functions would fill by asking.
void listCached(AtspiAccessible* object, int depth) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    if (!object || (object->cached_properties & kKnown) != kKnown) return answer(indent + "?");
    answer(indent + atspi_role_get_name(object->role) + "|" + (object->name ? object->name : ""));
    if (!childrenCached(object)) return;
    for (guint child = 0; child < object->children->len; ++child) {
        listCached(static_cast<AtspiAccessible*>(g_ptr_array_index(object->children, child)),
                   depth + 1);
    }
}

void cached(int index) {
    AtspiAccessible* top = window(index);
    if (!top) return answer("none");
    listCached(top, 0);
    g_object_unref(top);
}

// A reader reading the window for the first time: nothing of it cached unless `kept`.
void walkTimed(int index, bool kept) {
    AtspiAccessible* top = window(index);
    if (!top) return answer("none");
    if (!kept) atspi_accessible_clear_cache(top);
    const gint64 start = g_get_monotonic_time();
    int count = 0;
    walk(top, 0, [&](AtspiAccessible* object, int) {
        ++count;
        g_free(atspi_accessible_get_name(object, nullptr));
        atspi_accessible_get_role(object, nullptr);
        g_object_unref(atspi_accessible_get_state_set(object));
        return true;
    });
    g_object_unref(top);
    const double milliseconds = static_cast<double>(g_get_monotonic_time() - start) / 1000;
    answer(std::to_string(count) + " " + std::to_string(milliseconds));
}

void run(const std::string& line) {
    const auto space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
    if (command == "applications") {
        applications();
    } else if (command == "toolkit") {
        toolkit();
    } else if (command == "windows") {
        windows();
    } else if (command == "tree") {
        tree(std::atoi(argument.c_str()));
    } else if (command == "find") {
        find(argument);
    } else if (command == "target") {
        target();
    } else if (command == "extents") {
        extents();
    } else if (command == "at") {
        at(argument);
    } else if (command == "do") {
        perform(argument);
    } else if (command == "value") {
        value(nullptr);
    } else if (command == "set-value") {
        value(&argument);
    } else if (command == "text" || command == "set-text" || command == "caret") {
        text(command, argument);
    } else if (command == "focus") {
        focus();
    } else if (command == "next-focus") {
        nextFocus();
    } else if (command == "take") {
        reader.taken = argument;
        answer("ok");
    } else if (command == "events") {
        events();
    } else if (command == "wait") {
        const auto split = argument.find(' ');
        wait(argument.substr(0, split),
             split == std::string::npos ? "*" : argument.substr(split + 1));
    } else if (command == "stamp") {
        const auto found = reader.arrivals.find(argument);
        answer(found == reader.arrivals.end() ? "none" : std::to_string(found->second));
    } else if (command == "meet") {
        meet(std::atoi(argument.c_str()));
    } else if (command == "cached") {
        cached(std::atoi(argument.c_str()));
    } else if (command == "walk") {
        walkTimed(std::atoi(argument.c_str()), argument.find(" kept") != std::string::npos);
    } else {
        answer("unknown command " + command);
    }
    std::fputs(".\n", stdout);
    std::fflush(stdout);
}

gboolean onInput(gint descriptor, GIOCondition, gpointer) {
    char buffer[4096];
    const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got <= 0) {
        atspi_event_quit();
        return G_SOURCE_REMOVE;
    }
    reader.input.append(buffer, static_cast<std::size_t>(got));
    // A command waiting for events runs the loop itself: the next command waits its turn.
    if (reader.reading) return G_SOURCE_CONTINUE;
    reader.reading = true;
    for (auto end = reader.input.find('\n'); end != std::string::npos;
         end = reader.input.find('\n')) {
        const std::string line = reader.input.substr(0, end);
        reader.input.erase(0, end + 1);
        run(line);
    }
    reader.reading = false;
    return G_SOURCE_CONTINUE;
}

// Every key without modifiers, as screen readers hear them before the application.
gboolean onKey(AtspiDeviceEvent* key, void*) {
    const std::string name = key->event_string ? key->event_string : "";
    const bool pressed = key->type == ATSPI_KEY_PRESSED_EVENT;
    reader.arrivals["key"] = g_get_monotonic_time();
    reader.events.push_back({std::string("key:") + (pressed ? "press:" : "release:") + name});
    return !reader.taken.empty() && name == reader.taken;
}

// Events are kept with their source and read out when asked: reading them here would ask the
// program while it may not be answering.
void onEvent(AtspiEvent* event, void*) {
    std::string type = event->type ? event->type : "";
    reader.arrivals[type] = g_get_monotonic_time();
    std::string name{};
    if (type.rfind("window:", 0) == 0 && G_VALUE_HOLDS_STRING(&event->any_data)) {
        const gchar* carried = g_value_get_string(&event->any_data);
        name = carried ? carried : "";
    }
    reader.events.push_back(
        {type, event->detail1,
         event->source ? static_cast<AtspiAccessible*>(g_object_ref(event->source)) : nullptr,
         name});
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

}  // namespace

int main() {
    if (atspi_init() > 1) {
        std::fputs("no accessibility bus\n", stderr);
        return 1;
    }
    AtspiEventListener* listener = atspi_event_listener_new(onEvent, nullptr, nullptr);
    for (const char* type :
         {"object:state-changed:focused", "object:state-changed:checked", "object:children-changed",
          "object:property-change:accessible-value", "object:property-change:accessible-name",
          "object:text-changed", "object:text-caret-moved", "object:announcement",
          "window:activate", "window:deactivate", "window:create", "window:destroy"}) {
        atspi_event_listener_register(listener, type, nullptr);
    }
    AtspiDeviceListener* keys = atspi_device_listener_new(onKey, nullptr, nullptr);
    atspi_register_keystroke_listener(
        keys, nullptr, 0, (1 << ATSPI_KEY_PRESSED_EVENT) | (1 << ATSPI_KEY_RELEASED_EVENT),
        static_cast<AtspiKeyListenerSyncType>(ATSPI_KEYLISTENER_SYNCHRONOUS |
                                              ATSPI_KEYLISTENER_CANCONSUME),
        nullptr);
    g_unix_fd_add(STDIN_FILENO, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), onInput, nullptr);
    std::fputs("ready\n.\n", stdout);
    std::fflush(stdout);
    atspi_event_main();
    g_object_unref(keys);
    g_object_unref(listener);
    return 0;
}
