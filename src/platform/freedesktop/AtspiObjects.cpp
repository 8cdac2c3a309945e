#include "platform/freedesktop/AtspiObjects.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/Platform.hpp"
#include "platform/desktop/Bundle.hpp"
#include "platform/freedesktop/AtspiText.hpp"

namespace talvori::freedesktop {

namespace {

using Object = AtspiTree::Object;
using Role = AtspiTree::Role;
using Source = AtspiObjects::Source;

constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kApplication = "org.a11y.atspi.Application";
constexpr const char* kComponent = "org.a11y.atspi.Component";
constexpr const char* kAction = "org.a11y.atspi.Action";
constexpr const char* kValue = "org.a11y.atspi.Value";
constexpr const char* kText = "org.a11y.atspi.Text";
constexpr const char* kEditableText = "org.a11y.atspi.EditableText";
constexpr const char* kNullPath = "/org/a11y/atspi/null";
// What a button's press is called on the accessibility bus.
constexpr const char* kPressName = "click";

enum class Coordinates : std::uint32_t { screen = 0, window = 1, parent = 2 };
enum class Layer : std::uint32_t { widget = 3, window = 7 };

Source& sourceOf(void* userdata) {
    return *static_cast<Source*>(userdata);
}

const Object* target(sd_bus_message* message, void* userdata) {
    return sourceOf(userdata).object(sd_bus_message_get_path(message));
}

int gone(sd_bus_error* error) {
    return sd_bus_error_set_const(error, "org.freedesktop.DBus.Error.UnknownObject",
                                  "The object has gone");
}

int invalid(sd_bus_error* error, const char* what) {
    return sd_bus_error_set_const(error, "org.freedesktop.DBus.Error.InvalidArgs", what);
}

bool isWindow(const Object& object) {
    return object.role == Role::frame || object.role == Role::window;
}

bool isElement(const Object& object) {
    return object.id != AtspiTree::kApplication && !isWindow(object);
}

bool hasValue(const Object& object) {
    const auto& element = object.element;
    return isElement(object) &&
           (element.range || (!element.value.empty() && !element.text && !element.isOn));
}

bool hasText(const Object& object) {
    return isElement(object) && object.element.text.has_value();
}

bool isEditable(const Object& object) {
    return hasText(object) && object.element.text->replace;
}

std::string nameOf(const Object& object) {
    if (object.id == AtspiTree::kApplication) return AtspiObjects::kToolkitName;
    return isWindow(object) ? object.name : object.element.label;
}

int appendReference(sd_bus_message* message, Source& source, AtspiTree::Id id) {
    return sd_bus_message_append(message, "(so)", source.busName(), AtspiTree::path(id).c_str());
}

int appendNull(sd_bus_message* message) {
    return sd_bus_message_append(message, "(so)", "", kNullPath);
}

// The application's parent is the registry's desktop, once the registry took it.
int appendParent(sd_bus_message* message, Source& source, const Object& object) {
    if (object.id != AtspiTree::kApplication)
        return appendReference(message, source, object.parent);
    const auto [bus, desktop] = source.desktop();
    return bus.empty() ? appendNull(message)
                       : sd_bus_message_append(message, "(so)", bus.c_str(), desktop.c_str());
}

std::string descriptionOf(const Object& object) {
    return isElement(object) ? AtspiTree::descriptionOf(object.element) : std::string();
}

int appendStates(sd_bus_message* message, AtspiTree::States states) {
    const std::uint32_t words[] = {static_cast<std::uint32_t>(states & 0xFFFFFFFF),
                                   static_cast<std::uint32_t>(states >> 32)};
    return sd_bus_message_append_array(message, 'u', words, sizeof words);
}

int appendInterfaces(sd_bus_message* message, const Object& object) {
    int result = sd_bus_message_open_container(message, 'a', "s");
    for (const char* name : AtspiObjects::interfacesOf(object)) {
        if (result >= 0) result = sd_bus_message_append(message, "s", name);
    }
    return result >= 0 ? sd_bus_message_close_container(message) : result;
}

// Where the object is in the coordinates asked for.
ScreenRect extentsIn(Source& source, const Object& object, std::uint32_t coordinates) {
    ScreenRect rect = source.extents(object);
    std::optional<ScreenRect> origin;
    if (coordinates == static_cast<std::uint32_t>(Coordinates::window)) {
        if (const auto window = source.tree().windowObject(object.window))
            origin = source.extents(*source.tree().find(*window));
    } else if (coordinates == static_cast<std::uint32_t>(Coordinates::parent)) {
        if (const Object* parent = source.tree().find(object.parent); parent && !isWindow(object))
            origin = source.extents(*parent);
    }
    if (origin) {
        rect.x -= origin->x;
        rect.y -= origin->y;
    }
    return rect;
}

bool contains(const ScreenRect& rect, int x, int y) {
    return x >= rect.x && y >= rect.y && x < rect.x + static_cast<std::int64_t>(rect.width) &&
           y < rect.y + static_cast<std::int64_t>(rect.height);
}

template <class Reply>
int reply(sd_bus_message* message, Reply&& fill) {
    sd_bus_message* answer = nullptr;
    int result = sd_bus_message_new_method_return(message, &answer);
    if (result >= 0) result = fill(answer);
    if (result >= 0) result = sd_bus_send(nullptr, answer, nullptr);
    sd_bus_message_unref(answer);
    return result;
}

// ---- Accessible

int getName(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
            void* userdata, sd_bus_error* error) {
    const Object* object = sourceOf(userdata).object(path);
    return object ? sd_bus_message_append(reply, "s", nameOf(*object).c_str()) : gone(error);
}

int getDescription(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
                   void* userdata, sd_bus_error* error) {
    const Object* object = sourceOf(userdata).object(path);
    if (!object) return gone(error);
    return sd_bus_message_append(reply, "s", descriptionOf(*object).c_str());
}

int getParent(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
              void* userdata, sd_bus_error* error) {
    auto& source = sourceOf(userdata);
    const Object* object = source.object(path);
    return object ? appendParent(reply, source, *object) : gone(error);
}

int getChildCount(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
                  void* userdata, sd_bus_error* error) {
    auto& source = sourceOf(userdata);
    const Object* object = source.object(path);
    if (!object) return gone(error);
    return sd_bus_message_append(reply, "i", static_cast<int>(source.children(*object).size()));
}

int getLocale(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
              sd_bus_error*) {
    // The texts are English only.
    return sd_bus_message_append(reply, "s", "en");
}

int getAccessibleId(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
                    void* userdata, sd_bus_error* error) {
    const Object* object = sourceOf(userdata).object(path);
    if (!object) return gone(error);
    return sd_bus_message_append(reply, "s",
                                 isElement(*object) ? object->element.identifier.c_str() : "");
}

int getChildAtIndex(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    auto& source = sourceOf(userdata);
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    int index = 0;
    if (sd_bus_message_read(message, "i", &index) < 0) return invalid(error, "An index is needed");
    const auto& children = source.children(*object);
    if (index < 0 || static_cast<std::size_t>(index) >= children.size())
        return invalid(error, "No child has that index");
    const auto child = children[static_cast<std::size_t>(index)];
    return reply(message,
                 [&](sd_bus_message* answer) { return appendReference(answer, source, child); });
}

int getChildren(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    auto& source = sourceOf(userdata);
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    const auto children = source.children(*object);
    return reply(message, [&](sd_bus_message* answer) {
        int result = sd_bus_message_open_container(answer, 'a', "(so)");
        for (const auto child : children) {
            if (result >= 0) result = appendReference(answer, source, child);
        }
        return result >= 0 ? sd_bus_message_close_container(answer) : result;
    });
}

int getIndexInParent(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    return sd_bus_reply_method_return(message, "i",
                                      sourceOf(userdata).tree().indexInParent(*object));
}

int getRelationSet(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    if (!target(message, userdata)) return gone(error);
    return reply(message, [](sd_bus_message* answer) {
        int result = sd_bus_message_open_container(answer, 'a', "(ua(so))");
        return result >= 0 ? sd_bus_message_close_container(answer) : result;
    });
}

int getRole(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    return sd_bus_reply_method_return(message, "u", static_cast<std::uint32_t>(object->role));
}

int getRoleName(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    return sd_bus_reply_method_return(message, "s", AtspiObjects::roleName(object->role));
}

int getState(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    const auto states = sourceOf(userdata).tree().states(*object);
    return reply(message, [&](sd_bus_message* answer) { return appendStates(answer, states); });
}

int getAttributes(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    return reply(message, [&](sd_bus_message* answer) {
        int result = sd_bus_message_open_container(answer, 'a', "{ss}");
        if (result >= 0)
            result = sd_bus_message_append(answer, "{ss}", "toolkit", AtspiObjects::kToolkitName);
        // What a control says it is set to, for readers that read it beside the name.
        if (result >= 0 && isElement(*object) && !object->element.value.empty())
            result =
                sd_bus_message_append(answer, "{ss}", "valuetext", object->element.value.c_str());
        return result >= 0 ? sd_bus_message_close_container(answer) : result;
    });
}

int getApplication(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    if (!target(message, userdata)) return gone(error);
    return reply(message, [&](sd_bus_message* answer) {
        return appendReference(answer, sourceOf(userdata), AtspiTree::kApplication);
    });
}

int getInterfaces(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    return reply(message,
                 [&](sd_bus_message* answer) { return appendInterfaces(answer, *object); });
}

const sd_bus_vtable kAccessibleTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Name", "s", getName, 0, 0),
    SD_BUS_PROPERTY("Description", "s", getDescription, 0, 0),
    SD_BUS_PROPERTY("Parent", "(so)", getParent, 0, 0),
    SD_BUS_PROPERTY("ChildCount", "i", getChildCount, 0, 0),
    SD_BUS_PROPERTY("Locale", "s", getLocale, 0, 0),
    SD_BUS_PROPERTY("AccessibleId", "s", getAccessibleId, 0, 0),
    SD_BUS_METHOD("GetChildAtIndex", "i", "(so)", getChildAtIndex, 0),
    SD_BUS_METHOD("GetChildren", "", "a(so)", getChildren, 0),
    SD_BUS_METHOD("GetIndexInParent", "", "i", getIndexInParent, 0),
    SD_BUS_METHOD("GetRelationSet", "", "a(ua(so))", getRelationSet, 0),
    SD_BUS_METHOD("GetRole", "", "u", getRole, 0),
    SD_BUS_METHOD("GetRoleName", "", "s", getRoleName, 0),
    SD_BUS_METHOD("GetLocalizedRoleName", "", "s", getRoleName, 0),
    SD_BUS_METHOD("GetState", "", "au", getState, 0),
    SD_BUS_METHOD("GetAttributes", "", "a{ss}", getAttributes, 0),
    SD_BUS_METHOD("GetApplication", "", "(so)", getApplication, 0),
    SD_BUS_METHOD("GetInterfaces", "", "as", getInterfaces, 0),
    SD_BUS_VTABLE_END};

// ---- Application

int getToolkitName(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                   sd_bus_error*) {
    return sd_bus_message_append(reply, "s", AtspiObjects::kToolkitName);
}

int getVersion(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
               sd_bus_error*) {
    const auto version = Bundle::program().shortVersion().value_or("");
    return sd_bus_message_append(reply, "s", version.c_str());
}

int getAtspiVersion(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                    sd_bus_error*) {
    return sd_bus_message_append(reply, "s", "2.1");
}

int getId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* userdata,
          sd_bus_error*) {
    return sd_bus_message_append(reply, "i", sourceOf(userdata).applicationId());
}

int setId(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void* userdata,
          sd_bus_error*) {
    return sd_bus_message_read(value, "i", &sourceOf(userdata).applicationId());
}

int getApplicationLocale(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "s", "en");
}

// Readers talk to us over the accessibility bus itself, never over a bus of our own.
int getApplicationBusAddress(sd_bus_message* message, void* userdata, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "s", sourceOf(userdata).peerAddress().c_str());
}

const sd_bus_vtable kApplicationTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("ToolkitName", "s", getToolkitName, 0, 0),
    SD_BUS_PROPERTY("Version", "s", getVersion, 0, 0),
    SD_BUS_PROPERTY("AtspiVersion", "s", getAtspiVersion, 0, 0),
    SD_BUS_WRITABLE_PROPERTY("Id", "i", getId, setId, 0, 0),
    SD_BUS_METHOD("GetLocale", "u", "s", getApplicationLocale, 0),
    SD_BUS_METHOD("GetApplicationBusAddress", "", "s", getApplicationBusAddress, 0),
    SD_BUS_VTABLE_END};

// ---- Component

std::uint32_t readCoordinates(sd_bus_message* message) {
    std::uint32_t coordinates = 0;
    sd_bus_message_read(message, "u", &coordinates);
    return coordinates;
}

int componentContains(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    int x = 0, y = 0;
    sd_bus_message_read(message, "ii", &x, &y);
    const auto rect = extentsIn(sourceOf(userdata), *object, readCoordinates(message));
    return sd_bus_reply_method_return(message, "b", contains(rect, x, y) ? 1 : 0);
}

// The deepest object at the point, the object itself when none of its children is there.
int accessibleAtPoint(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    auto& source = sourceOf(userdata);
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    int x = 0, y = 0;
    sd_bus_message_read(message, "ii", &x, &y);
    const std::uint32_t coordinates = readCoordinates(message);
    // The point in pixels from the top left of the screen.
    const ScreenRect own = source.extents(*object);
    const ScreenRect asked = extentsIn(source, *object, coordinates);
    x += own.x - asked.x;
    y += own.y - asked.y;
    std::optional<AtspiTree::Id> found;
    const Object* at = object;
    for (bool deeper = true; deeper;) {
        deeper = false;
        const auto children = source.children(*at);
        // The front-most child first: views later in the tree draw over earlier ones.
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            const Object* candidate = source.tree().find(*child);
            if (candidate && contains(source.extents(*candidate), x, y)) {
                found = candidate->id;
                at = candidate;
                deeper = true;
                break;
            }
        }
    }
    return reply(message, [&](sd_bus_message* answer) {
        return found ? appendReference(answer, source, *found) : appendNull(answer);
    });
}

int getExtents(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    const auto rect = extentsIn(sourceOf(userdata), *object, readCoordinates(message));
    return reply(message, [&](sd_bus_message* answer) {
        return sd_bus_message_append(answer, "(iiii)", rect.x, rect.y, static_cast<int>(rect.width),
                                     static_cast<int>(rect.height));
    });
}

int getPosition(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    const auto rect = extentsIn(sourceOf(userdata), *object, readCoordinates(message));
    return sd_bus_reply_method_return(message, "ii", rect.x, rect.y);
}

int getSize(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    const auto rect = sourceOf(userdata).extents(*object);
    return sd_bus_reply_method_return(message, "ii", static_cast<int>(rect.width),
                                      static_cast<int>(rect.height));
}

int getLayer(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    const Layer layer = isWindow(*object) ? Layer::window : Layer::widget;
    return sd_bus_reply_method_return(message, "u", static_cast<std::uint32_t>(layer));
}

int getMdiZOrder(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "n", std::int16_t{0});
}

int grabFocus(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    return sd_bus_reply_method_return(message, "b", sourceOf(userdata).grabFocus(*object) ? 1 : 0);
}

int getAlpha(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "d", 1.0);
}

// Our windows place themselves; nothing scrolls on a reader's request.
int refuse(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "b", 0);
}

const sd_bus_vtable kComponentTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Contains", "iiu", "b", componentContains, 0),
    SD_BUS_METHOD("GetAccessibleAtPoint", "iiu", "(so)", accessibleAtPoint, 0),
    SD_BUS_METHOD("GetExtents", "u", "(iiii)", getExtents, 0),
    SD_BUS_METHOD("GetPosition", "u", "ii", getPosition, 0),
    SD_BUS_METHOD("GetSize", "", "ii", getSize, 0),
    SD_BUS_METHOD("GetLayer", "", "u", getLayer, 0),
    SD_BUS_METHOD("GetMDIZOrder", "", "n", getMdiZOrder, 0),
    SD_BUS_METHOD("GrabFocus", "", "b", grabFocus, 0),
    SD_BUS_METHOD("GetAlpha", "", "d", getAlpha, 0),
    SD_BUS_METHOD("SetExtents", "iiiiu", "b", refuse, 0),
    SD_BUS_METHOD("SetPosition", "iiu", "b", refuse, 0),
    SD_BUS_METHOD("SetSize", "ii", "b", refuse, 0),
    SD_BUS_METHOD("ScrollTo", "u", "b", refuse, 0),
    SD_BUS_METHOD("ScrollToPoint", "uii", "b", refuse, 0),
    SD_BUS_VTABLE_END};

// ---- Action

const AccessibilityAction* actionAt(const Object& object, int index) {
    const auto& actions = object.element.actions;
    if (index < 0 || static_cast<std::size_t>(index) >= actions.size()) return nullptr;
    return &actions[static_cast<std::size_t>(index)];
}

const char* actionName(const AccessibilityAction& action) {
    return action.name.empty() ? kPressName : action.name.c_str();
}

int getNActions(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
                void* userdata, sd_bus_error* error) {
    const Object* object = sourceOf(userdata).object(path);
    if (!object) return gone(error);
    return sd_bus_message_append(reply, "i", static_cast<int>(object->element.actions.size()));
}

int actionText(sd_bus_message* message, void* userdata, sd_bus_error* error, bool keyBinding) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    int index = 0;
    sd_bus_message_read(message, "i", &index);
    const AccessibilityAction* action = actionAt(*object, index);
    if (!action) return invalid(error, "No action has that index");
    return sd_bus_reply_method_return(
        message, "s", keyBinding ? action->keyBinding.c_str() : actionName(*action));
}

int getActionName(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    return actionText(message, userdata, error, false);
}

int getKeyBinding(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    return actionText(message, userdata, error, true);
}

int getActions(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    return reply(message, [&](sd_bus_message* answer) {
        int result = sd_bus_message_open_container(answer, 'a', "(sss)");
        for (const auto& action : object->element.actions) {
            if (result >= 0)
                result = sd_bus_message_append(answer, "(sss)", actionName(action),
                                               actionName(action), action.keyBinding.c_str());
        }
        return result >= 0 ? sd_bus_message_close_container(answer) : result;
    });
}

int doAction(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const Object* object = target(message, userdata);
    if (!object) return gone(error);
    int index = 0;
    sd_bus_message_read(message, "i", &index);
    const AccessibilityAction* found = actionAt(*object, index);
    if (!found) return sd_bus_reply_method_return(message, "b", 0);
    // The action may close the window and with it the object.
    const auto perform = found->perform;
    if (perform) perform();
    return sd_bus_reply_method_return(message, "b", 1);
}

const sd_bus_vtable kActionTable[] = {SD_BUS_VTABLE_START(0),
                                      SD_BUS_PROPERTY("NActions", "i", getNActions, 0, 0),
                                      SD_BUS_METHOD("GetDescription", "i", "s", getActionName, 0),
                                      SD_BUS_METHOD("GetName", "i", "s", getActionName, 0),
                                      SD_BUS_METHOD("GetLocalizedName", "i", "s", getActionName, 0),
                                      SD_BUS_METHOD("GetKeyBinding", "i", "s", getKeyBinding, 0),
                                      SD_BUS_METHOD("GetActions", "", "a(sss)", getActions, 0),
                                      SD_BUS_METHOD("DoAction", "i", "b", doAction, 0),
                                      SD_BUS_VTABLE_END};

// ---- Value

double rangeValue(const Object& object, double AccessibilityRange::*member) {
    return object.element.range ? (*object.element.range).*member : 0;
}

template <double AccessibilityRange::*member>
int getRangeValue(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
                  void* userdata, sd_bus_error* error) {
    const Object* object = sourceOf(userdata).object(path);
    return object ? sd_bus_message_append(reply, "d", rangeValue(*object, member)) : gone(error);
}

int setCurrentValue(sd_bus*, const char* path, const char*, const char*, sd_bus_message* value,
                    void* userdata, sd_bus_error* error) {
    const Object* object = sourceOf(userdata).object(path);
    if (!object) return gone(error);
    double wanted = 0;
    const int result = sd_bus_message_read(value, "d", &wanted);
    if (result < 0) return result;
    if (!object->element.range || !object->element.range->set || !std::isfinite(wanted))
        return invalid(error, "The value cannot be set");
    const auto set = object->element.range->set;
    set(wanted);
    return 0;
}

int getValueText(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
                 void* userdata, sd_bus_error* error) {
    const Object* object = sourceOf(userdata).object(path);
    return object ? sd_bus_message_append(reply, "s", object->element.value.c_str()) : gone(error);
}

const sd_bus_vtable kValueTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("MinimumValue", "d", getRangeValue<&AccessibilityRange::minimum>, 0, 0),
    SD_BUS_PROPERTY("MaximumValue", "d", getRangeValue<&AccessibilityRange::maximum>, 0, 0),
    SD_BUS_PROPERTY("MinimumIncrement", "d", getRangeValue<&AccessibilityRange::step>, 0, 0),
    SD_BUS_WRITABLE_PROPERTY("CurrentValue", "d", getRangeValue<&AccessibilityRange::value>,
                             setCurrentValue, 0, 0),
    SD_BUS_PROPERTY("Text", "s", getValueText, 0, 0),
    SD_BUS_VTABLE_END};

// ---- Text

struct TextTarget {
    const Object* object = nullptr;
    const AccessibilityText* text = nullptr;
};

TextTarget textTarget(const Object* object) {
    if (!object || !object->element.text) return {};
    return {object, &*object->element.text};
}

int getCharacterCount(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
                      void* userdata, sd_bus_error* error) {
    const auto found = textTarget(sourceOf(userdata).object(path));
    if (!found.text) return gone(error);
    return sd_bus_message_append(reply, "i", AtspiText(found.text->contents).length());
}

int getCaretOffset(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply,
                   void* userdata, sd_bus_error* error) {
    const auto found = textTarget(sourceOf(userdata).object(path));
    if (!found.text) return gone(error);
    return sd_bus_message_append(reply, "i",
                                 AtspiText(found.text->contents).offsetOfByte(found.text->caret));
}

int getText(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int start = 0, end = -1;
    sd_bus_message_read(message, "ii", &start, &end);
    const auto text = AtspiText(found.text->contents).slice(start, end);
    return sd_bus_reply_method_return(message, "s", text.c_str());
}

// Selects characters `start` to `end` (the caret at `end`) in the element's text.
bool select(const AccessibilityText& text, int start, int end) {
    if (!text.select) return false;
    const AtspiText characters(text.contents);
    const auto select = text.select;
    select(characters.byteOffset(start), characters.byteOffset(end));
    return true;
}

int setCaretOffset(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int offset = 0;
    sd_bus_message_read(message, "i", &offset);
    return sd_bus_reply_method_return(message, "b", select(*found.text, offset, offset) ? 1 : 0);
}

// Boundaries: character, word start and end, sentence start and end, line start and end.
AtspiText::Unit unitOfBoundary(std::uint32_t boundary) {
    return boundary == 0   ? AtspiText::Unit::character
           : boundary <= 2 ? AtspiText::Unit::word
                           : AtspiText::Unit::line;
}

// Granularities: character, word, sentence, line, paragraph.
AtspiText::Unit unitOfGranularity(std::uint32_t granularity) {
    return granularity == 0   ? AtspiText::Unit::character
           : granularity == 1 ? AtspiText::Unit::word
                              : AtspiText::Unit::line;
}

enum class Around { before, at, after };

int textAround(sd_bus_message* message, void* userdata, sd_bus_error* error, Around around,
               bool granularity) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int offset = 0;
    std::uint32_t kind = 0;
    sd_bus_message_read(message, "iu", &offset, &kind);
    const AtspiText text(found.text->contents);
    const auto unit = granularity ? unitOfGranularity(kind) : unitOfBoundary(kind);
    auto [start, end] = text.unitAt(offset, unit);
    if (around == Around::before) {
        std::tie(start, end) = start > 0 ? text.unitAt(start - 1, unit) : std::pair{0, 0};
    } else if (around == Around::after) {
        std::tie(start, end) =
            end < text.length() ? text.unitAt(end, unit) : std::pair{text.length(), text.length()};
    }
    const auto slice = text.slice(start, end);
    return sd_bus_reply_method_return(message, "sii", slice.c_str(), start, end);
}

int getStringAtOffset(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    return textAround(message, userdata, error, Around::at, true);
}
int getTextAtOffset(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    return textAround(message, userdata, error, Around::at, false);
}
int getTextBeforeOffset(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    return textAround(message, userdata, error, Around::before, false);
}
int getTextAfterOffset(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    return textAround(message, userdata, error, Around::after, false);
}

int getCharacterAtOffset(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int offset = 0;
    sd_bus_message_read(message, "i", &offset);
    return sd_bus_reply_method_return(message, "i",
                                      AtspiText(found.text->contents).codePointAt(offset));
}

// The texts carry no attributes of their own.
int emptyAttribute(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "s", "");
}

int emptyAttributes(sd_bus_message* message, void*, sd_bus_error*) {
    return reply(message, [](sd_bus_message* answer) {
        int result = sd_bus_message_open_container(answer, 'a', "{ss}");
        return result >= 0 ? sd_bus_message_close_container(answer) : result;
    });
}

int attributeRun(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    const int length = AtspiText(found.text->contents).length();
    return reply(message, [&](sd_bus_message* answer) {
        int result = sd_bus_message_open_container(answer, 'a', "{ss}");
        if (result >= 0) result = sd_bus_message_close_container(answer);
        return result >= 0 ? sd_bus_message_append(answer, "ii", 0, length) : result;
    });
}

// The texts are single lines of one font: characters stand where the view drew them, or share
// the element's box evenly when it could not say.
ScreenRect characterBox(Source& source, const Object& object, int start, int end,
                        std::uint32_t coordinates) {
    ScreenRect rect = extentsIn(source, object, coordinates);
    const auto& text = *object.element.text;
    const int length = AtspiText(text.contents).length();
    const int first = std::clamp(start, 0, length);
    const int last = std::clamp(end, first, length);
    const auto& edges = text.characterEdges;
    double from = 0, to = 0;
    if (edges.size() == static_cast<std::size_t>(length) + 1 && object.element.frame.width() > 0) {
        const double scale = rect.width / object.element.frame.width();
        from = edges[static_cast<std::size_t>(first)] * scale;
        to = edges[static_cast<std::size_t>(last)] * scale;
    } else {
        const double width = static_cast<double>(rect.width) / std::max(1, length);
        from = first * width;
        to = last * width;
    }
    rect.x += static_cast<std::int32_t>(std::lround(from));
    rect.width = static_cast<std::uint32_t>(std::lround(std::max(0.0, to - from)));
    return rect;
}

int replyWithBox(sd_bus_message* message, void* userdata, const TextTarget& found, int start,
                 int end) {
    const auto rect =
        characterBox(sourceOf(userdata), *found.object, start, end, readCoordinates(message));
    return sd_bus_reply_method_return(message, "iiii", rect.x, rect.y, static_cast<int>(rect.width),
                                      static_cast<int>(rect.height));
}

int getCharacterExtents(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int offset = 0;
    sd_bus_message_read(message, "i", &offset);
    return replyWithBox(message, userdata, found, offset, offset + 1);
}

int getRangeExtents(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int start = 0, end = 0;
    sd_bus_message_read(message, "ii", &start, &end);
    return replyWithBox(message, userdata, found, start, end);
}

int getOffsetAtPoint(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int x = 0, y = 0;
    sd_bus_message_read(message, "ii", &x, &y);
    const auto rect = extentsIn(sourceOf(userdata), *found.object, readCoordinates(message));
    if (!contains(rect, x, y)) return sd_bus_reply_method_return(message, "i", -1);
    const int length = AtspiText(found.text->contents).length();
    const double fraction = static_cast<double>(x - rect.x) / std::max(1U, rect.width);
    return sd_bus_reply_method_return(
        message, "i", std::clamp(static_cast<int>(fraction * length), 0, std::max(0, length - 1)));
}

int getNSelections(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    const bool any = found.text->selectionEnd > found.text->selectionStart;
    return sd_bus_reply_method_return(message, "i", any ? 1 : 0);
}

int getSelection(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    const AtspiText text(found.text->contents);
    return sd_bus_reply_method_return(message, "ii", text.offsetOfByte(found.text->selectionStart),
                                      text.offsetOfByte(found.text->selectionEnd));
}

int addSelection(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int start = 0, end = 0;
    sd_bus_message_read(message, "ii", &start, &end);
    return sd_bus_reply_method_return(message, "b", select(*found.text, start, end) ? 1 : 0);
}

int setSelection(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int number = 0, start = 0, end = 0;
    sd_bus_message_read(message, "iii", &number, &start, &end);
    const bool done = number == 0 && select(*found.text, start, end);
    return sd_bus_reply_method_return(message, "b", done ? 1 : 0);
}

int removeSelection(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    const int caret = AtspiText(found.text->contents).offsetOfByte(found.text->caret);
    return sd_bus_reply_method_return(message, "b", select(*found.text, caret, caret) ? 1 : 0);
}

int getBoundedRanges(sd_bus_message* message, void*, sd_bus_error*) {
    return reply(message, [](sd_bus_message* answer) {
        int result = sd_bus_message_open_container(answer, 'a', "(iisv)");
        return result >= 0 ? sd_bus_message_close_container(answer) : result;
    });
}

const sd_bus_vtable kTextTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("CharacterCount", "i", getCharacterCount, 0, 0),
    SD_BUS_PROPERTY("CaretOffset", "i", getCaretOffset, 0, 0),
    SD_BUS_METHOD("GetStringAtOffset", "iu", "sii", getStringAtOffset, 0),
    SD_BUS_METHOD("GetText", "ii", "s", getText, 0),
    SD_BUS_METHOD("SetCaretOffset", "i", "b", setCaretOffset, 0),
    SD_BUS_METHOD("GetTextBeforeOffset", "iu", "sii", getTextBeforeOffset, 0),
    SD_BUS_METHOD("GetTextAtOffset", "iu", "sii", getTextAtOffset, 0),
    SD_BUS_METHOD("GetTextAfterOffset", "iu", "sii", getTextAfterOffset, 0),
    SD_BUS_METHOD("GetCharacterAtOffset", "i", "i", getCharacterAtOffset, 0),
    SD_BUS_METHOD("GetAttributeValue", "is", "s", emptyAttribute, 0),
    SD_BUS_METHOD("GetAttributes", "i", "a{ss}ii", attributeRun, 0),
    SD_BUS_METHOD("GetDefaultAttributes", "", "a{ss}", emptyAttributes, 0),
    SD_BUS_METHOD("GetCharacterExtents", "iu", "iiii", getCharacterExtents, 0),
    SD_BUS_METHOD("GetOffsetAtPoint", "iiu", "i", getOffsetAtPoint, 0),
    SD_BUS_METHOD("GetNSelections", "", "i", getNSelections, 0),
    SD_BUS_METHOD("GetSelection", "i", "ii", getSelection, 0),
    SD_BUS_METHOD("AddSelection", "ii", "b", addSelection, 0),
    SD_BUS_METHOD("RemoveSelection", "i", "b", removeSelection, 0),
    SD_BUS_METHOD("SetSelection", "iii", "b", setSelection, 0),
    SD_BUS_METHOD("GetRangeExtents", "iiu", "iiii", getRangeExtents, 0),
    SD_BUS_METHOD("GetBoundedRanges", "iiiiuuu", "a(iisv)", getBoundedRanges, 0),
    SD_BUS_METHOD("GetAttributeRun", "ib", "a{ss}ii", attributeRun, 0),
    SD_BUS_METHOD("GetDefaultAttributeSet", "", "a{ss}", emptyAttributes, 0),
    SD_BUS_METHOD("ScrollSubstringTo", "iiu", "b", refuse, 0),
    SD_BUS_METHOD("ScrollSubstringToPoint", "iiuii", "b", refuse, 0),
    SD_BUS_VTABLE_END};

// ---- EditableText

// Replaces characters `start` to `end` of the field's text with `inserted`, as typing would; only
// as much of `inserted` as the field has room for is copied.
bool edit(const AccessibilityText& text, int start, int end, std::string_view inserted) {
    if (!text.replace) return false;
    const AtspiText characters(text.contents);
    const int first = std::clamp(start, 0, characters.length());
    const int last = std::clamp(end < 0 ? characters.length() : end, first, characters.length());
    const auto kept = static_cast<std::size_t>(characters.length() - (last - first));
    const auto room = text.maxLength - std::min(text.maxLength, kept);
    const auto fitting = static_cast<int>(std::min<std::size_t>(room, INT_MAX));
    const auto replace = text.replace;
    replace(characters.slice(0, first) + AtspiText(inserted).slice(0, fitting) +
            characters.slice(last, -1));
    return true;
}

int setTextContents(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    const char* contents = "";
    sd_bus_message_read(message, "s", &contents);
    return sd_bus_reply_method_return(message, "b", edit(*found.text, 0, -1, contents) ? 1 : 0);
}

int insertText(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int position = 0, length = 0;
    const char* inserted = "";
    sd_bus_message_read(message, "isi", &position, &inserted, &length);
    const std::string text = AtspiText(inserted).slice(0, length);
    return sd_bus_reply_method_return(message, "b",
                                      edit(*found.text, position, position, text) ? 1 : 0);
}

int deleteText(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int start = 0, end = 0;
    sd_bus_message_read(message, "ii", &start, &end);
    return sd_bus_reply_method_return(message, "b", edit(*found.text, start, end, "") ? 1 : 0);
}

void copy(const AccessibilityText& text, int start, int end) {
    const auto copied = AtspiText(text.contents).slice(start, end);
    if (!copied.empty() && platform().hasDesktop()) platform().pasteboard().setString(copied);
}

int copyText(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int start = 0, end = 0;
    sd_bus_message_read(message, "ii", &start, &end);
    copy(*found.text, start, end);
    return sd_bus_reply_method_return(message, "");
}

int cutText(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int start = 0, end = 0;
    sd_bus_message_read(message, "ii", &start, &end);
    copy(*found.text, start, end);
    return sd_bus_reply_method_return(message, "b", edit(*found.text, start, end, "") ? 1 : 0);
}

int pasteText(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    const auto found = textTarget(target(message, userdata));
    if (!found.text) return gone(error);
    int position = 0;
    sd_bus_message_read(message, "i", &position);
    if (!found.text->replace || !platform().hasDesktop()) {
        return sd_bus_reply_method_return(message, "b", 0);
    }
    // The text may have to come from another program: it goes in when it comes, as typed. Every
    // character takes four bytes at most.
    const auto limit = std::min<std::size_t>(found.text->maxLength, SIZE_MAX / 4) * 4;
    platform().pasteboard().readString(
        limit, [text = *found.text, position](std::optional<std::string> pasted) {
            if (pasted) edit(text, position, position, *pasted);
        });
    return sd_bus_reply_method_return(message, "b", 1);
}

const sd_bus_vtable kEditableTextTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("SetTextContents", "s", "b", setTextContents, 0),
    SD_BUS_METHOD("InsertText", "isi", "b", insertText, 0),
    SD_BUS_METHOD("CopyText", "ii", "", copyText, 0),
    SD_BUS_METHOD("CutText", "ii", "b", cutText, 0),
    SD_BUS_METHOD("DeleteText", "ii", "b", deleteText, 0),
    SD_BUS_METHOD("PasteText", "i", "b", pasteText, 0),
    SD_BUS_VTABLE_END};

// ---- Cache

// A reader meeting us takes every object at once, in one call instead of a few for each object:
// parents before their children.
int getItems(sd_bus_message* message, void* userdata, sd_bus_error*) {
    auto& source = sourceOf(userdata);
    source.readAll();
    const auto& tree = source.tree();
    return reply(message, [&](sd_bus_message* answer) {
        int result = sd_bus_message_open_container(answer, 'a', AtspiObjects::kCacheItem);
        std::vector<AtspiTree::Id> pending{AtspiTree::kApplication};
        for (std::size_t index = 0; index < pending.size() && result >= 0; ++index) {
            const Object* object = tree.find(pending[index]);
            if (!object) continue;
            result = AtspiObjects::appendCacheItem(answer, source, *object);
            pending.insert(pending.end(), object->children.begin(), object->children.end());
        }
        return result >= 0 ? sd_bus_message_close_container(answer) : result;
    });
}

const sd_bus_vtable kCacheTable[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_METHOD("GetItems", "", "a((so)(so)(so)iiassusau)", getItems, 0),
    SD_BUS_VTABLE_END};

// ---- Which object has which interface

bool offers(const Object& object, std::string_view interface) {
    if (interface == kAccessible) return true;
    if (interface == kApplication) return object.id == AtspiTree::kApplication;
    if (interface == kComponent) return object.id != AtspiTree::kApplication;
    if (interface == kAction) return isElement(object) && !object.element.actions.empty();
    if (interface == kValue) return hasValue(object);
    if (interface == kText) return hasText(object);
    if (interface == kEditableText) return isEditable(object);
    return false;
}

int findObject(sd_bus*, const char* path, const char* interface, void* userdata, void** found,
               sd_bus_error*) {
    const Object* object = sourceOf(userdata).object(path);
    if (!object || !offers(*object, interface)) return 0;
    *found = userdata;
    return 1;
}

}  // namespace

bool AtspiObjects::install(sd_bus* bus, Source& source, std::vector<BusSlot>& slots) {
    const std::pair<const char*, const sd_bus_vtable*> tables[] = {
        {kAccessible, kAccessibleTable},
        {kApplication, kApplicationTable},
        {kComponent, kComponentTable},
        {kAction, kActionTable},
        {kValue, kValueTable},
        {kText, kTextTable},
        {kEditableText, kEditableTextTable}};
    for (const auto& [interface, table] : tables) {
        sd_bus_slot* slot = nullptr;
        if (sd_bus_add_fallback_vtable(bus, &slot, AtspiTree::kPathPrefix, interface, table,
                                       findObject, &source) < 0) {
            return false;
        }
        slots.emplace_back(slot);
    }
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus, &slot, kCachePath, kCacheInterface, kCacheTable, &source) <
        0) {
        return false;
    }
    slots.emplace_back(slot);
    return true;
}

int AtspiObjects::appendCacheItem(sd_bus_message* message, Source& source,
                                  const AtspiTree::Object& object) {
    const auto& tree = source.tree();
    // A window nobody has read yet has children nobody counted: the reader asks when it wants them.
    const bool counted = object.isRead || !isWindow(object);
    const int childCount = counted ? static_cast<int>(object.children.size()) : -1;
    const std::string name = nameOf(object);
    const std::string description = descriptionOf(object);
    int result = sd_bus_message_open_container(message, 'r', "(so)(so)(so)iiassusau");
    if (result >= 0) result = appendReference(message, source, object.id);
    if (result >= 0) result = appendReference(message, source, AtspiTree::kApplication);
    if (result >= 0) result = appendParent(message, source, object);
    if (result >= 0)
        result = sd_bus_message_append(message, "ii", tree.indexInParent(object), childCount);
    if (result >= 0) result = appendInterfaces(message, object);
    if (result >= 0)
        result =
            sd_bus_message_append(message, "sus", name.c_str(),
                                  static_cast<std::uint32_t>(object.role), description.c_str());
    if (result >= 0) result = appendStates(message, tree.states(object));
    return result >= 0 ? sd_bus_message_close_container(message) : result;
}

bool AtspiObjects::hasValue(const AtspiTree::Object& object) {
    return freedesktop::hasValue(object);
}

std::vector<const char*> AtspiObjects::interfacesOf(const AtspiTree::Object& object) {
    std::vector<const char*> interfaces;
    for (const char* interface :
         {kAccessible, kApplication, kComponent, kAction, kValue, kText, kEditableText}) {
        if (offers(object, interface)) interfaces.push_back(interface);
    }
    return interfaces;
}

const char* AtspiObjects::roleName(AtspiTree::Role role) {
    switch (role) {
        case Role::frame:
            return "frame";
        case Role::label:
            return "label";
        case Role::panel:
            return "panel";
        case Role::pageTab:
            return "page tab";
        case Role::pageTabList:
            return "page tab list";
        case Role::pushButton:
            return "push button";
        case Role::radioButton:
            return "radio button";
        case Role::slider:
            return "slider";
        case Role::toggleButton:
            return "toggle button";
        case Role::window:
            return "window";
        case Role::application:
            return "application";
        case Role::entry:
            return "entry";
        case Role::heading:
            return "heading";
        case Role::link:
            return "link";
    }
    return "unknown";
}

const char* AtspiObjects::stateName(AtspiTree::State state) {
    using State = AtspiTree::State;
    switch (state) {
        case State::active:
            return "active";
        case State::checked:
            return "checked";
        case State::defunct:
            return "defunct";
        case State::editable:
            return "editable";
        case State::enabled:
            return "enabled";
        case State::focusable:
            return "focusable";
        case State::focused:
            return "focused";
        case State::horizontal:
            return "horizontal";
        case State::resizable:
            return "resizable";
        case State::selectable:
            return "selectable";
        case State::selected:
            return "selected";
        case State::sensitive:
            return "sensitive";
        case State::showing:
            return "showing";
        case State::singleLine:
            return "single-line";
        case State::visible:
            return "visible";
        case State::selectableText:
            return "selectable-text";
        case State::checkable:
            return "checkable";
    }
    return "";
}

}  // namespace talvori::freedesktop
