#include "platform/x11/X11Keyboard.hpp"

// The XKB protocol header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <utility>

#include "platform/core/RunLoop.hpp"
#include "platform/desktop/ModifierFlags.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11KeyCodes.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

// The key that types "a" on a US keyboard tells whether a layout types Latin letters.
constexpr std::uint32_t kLetterAKey = 30 + X11KeyCodes::kEvdevOffset;
constexpr double kDefaultRepeatDelay = 0.5;
constexpr double kDefaultRepeatInterval = 1.0 / 30;

// The XKB event kinds share one event code; the second byte tells them apart.
struct XkbEventHeader {
    std::uint8_t responseType;
    std::uint8_t xkbType;
    std::uint16_t sequence;
    xcb_timestamp_t time;
    std::uint8_t deviceID;
};

bool isDeadKey(xkb_keysym_t symbol) {
    return symbol >= XKB_KEY_dead_grave && symbol <= XKB_KEY_dead_greek;
}

}  // namespace

X11Keyboard::X11Keyboard(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {
    setUp();
}

X11Keyboard::~X11Keyboard() {
    if (compose_) xkb_compose_state_unref(compose_);
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
}

void X11Keyboard::setUp() {
    xcb_connection_t* raw = connection_->raw();
    std::uint8_t firstError = 0;
    if (!xkb_x11_setup_xkb_extension(
            raw, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &xkbFirstEvent_, &firstError)) {
        connection_->log().error("The X server has no XKB extension: keys cannot be read");
        return;
    }
    deviceId_ = xkb_x11_get_core_keyboard_device_id(raw);
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context_ || deviceId_ < 0 || !loadKeymap()) {
        connection_->log().error("The keyboard's keymap cannot be read");
        return;
    }
    const auto device = static_cast<xcb_xkb_device_spec_t>(deviceId_);
    const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_MAP_NOTIFY | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    const std::uint16_t mapParts =
        XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
        XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS |
        XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState = XCB_XKB_STATE_PART_MODIFIER_BASE | XCB_XKB_STATE_PART_MODIFIER_LATCH |
                          XCB_XKB_STATE_PART_MODIFIER_LOCK | XCB_XKB_STATE_PART_GROUP_BASE |
                          XCB_XKB_STATE_PART_GROUP_LATCH | XCB_XKB_STATE_PART_GROUP_LOCK;
    details.stateDetails = details.affectState;
    xcb_xkb_select_events_aux(raw, device, events, 0, 0, mapParts, mapParts, &details);
    // A held key repeats as presses without releases, so a repeat can be told from a new press.
    const std::uint32_t detectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    auto flags = waitReply(xcb_xkb_per_client_flags_reply, raw,
                           xcb_xkb_per_client_flags(raw, device, detectable, detectable, 0, 0, 0));
    if (!flags) connection_->log().log("Key repeats cannot be told from presses on this server");
}

bool X11Keyboard::loadKeymap() {
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(context_, connection_->raw(), deviceId_,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) return false;
    xkb_state* state = xkb_x11_state_new_from_device(keymap, connection_->raw(), deviceId_);
    if (!state) {
        xkb_keymap_unref(keymap);
        return false;
    }
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    resetCompose();
    keymap_ = keymap;
    state_ = state;
    readModifierMap();
    return true;
}

// The locale's table, as every program of the session reads it: the first of LC_ALL, LC_CTYPE and
// LANG that is set names the locale, and xkbcommon looks for $XCOMPOSEFILE and ~/.XCompose first.
void X11Keyboard::loadComposeTable() {
    if (std::exchange(composeTableRead_, true) || !keymap_) return;
    composeTableHook_.reset();
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            locale = value;
            break;
        }
    }
    if (!locale) locale = "C";
    xkb_compose_table* table =
        xkb_compose_table_new_from_locale(context_, locale, XKB_COMPOSE_COMPILE_NO_FLAGS);
    if (!table) {
        connection_->log().log(std::string("No compose table for the locale ") + locale +
                               ": dead keys and the Compose key type nothing of their own");
        return;
    }
    compose_ = xkb_compose_state_new(table, XKB_COMPOSE_STATE_NO_FLAGS);
    xkb_compose_table_unref(table);
}

// Parsing the locale's table takes milliseconds that start-up, with the status icon yet to dock,
// does not wait for.
void X11Keyboard::loadComposeTableWhenIdle(RunLoop& loop) {
    if (composeTableRead_) return;
    composeTableHook_ = loop.addBeforeWaitHook([this, &loop] {
        if (loop.nextDeadline() > loop.now()) loadComposeTable();
    });
}

xkb_compose_state* X11Keyboard::composeState() {
    loadComposeTable();
    return compose_;
}

X11Keyboard::Composition X11Keyboard::compose(std::uint32_t xKeyCode, std::uint16_t state) {
    xkb_compose_state* compose = composeState();
    if (!compose) return {};
    if (xkb_compose_state_feed(compose, symbol(xKeyCode, state)) == XKB_COMPOSE_FEED_IGNORED)
        return {};
    switch (xkb_compose_state_get_status(compose)) {
        case XKB_COMPOSE_COMPOSING:
            return {Composition::consumed, {}};
        case XKB_COMPOSE_COMPOSED: {
            char buffer[64] = {};
            xkb_compose_state_get_utf8(compose, buffer, sizeof buffer);
            resetCompose();
            return {Composition::composed, buffer};
        }
        case XKB_COMPOSE_CANCELLED:
            // A key that fits no sequence ends it and types nothing, as with other programs.
            resetCompose();
            return {Composition::consumed, {}};
        case XKB_COMPOSE_NOTHING:
            break;
    }
    return {};
}

void X11Keyboard::resetCompose() {
    if (compose_) xkb_compose_state_reset(compose_);
}

// Which X modifier bit each modifier key sets, from the keys the server lists for each bit.
void X11Keyboard::readModifierMap() {
    xcb_connection_t* raw = connection_->raw();
    auto reply = waitReply(xcb_get_modifier_mapping_reply, raw, xcb_get_modifier_mapping(raw));
    if (!reply || !keymap_) return;
    ModifierBits bits;
    modifierKeys_.clear();
    const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        const auto bit = static_cast<std::uint16_t>(1U << modifier);
        for (int index = 0; index < perModifier; ++index) {
            const xcb_keycode_t key = keys[modifier * perModifier + index];
            if (key == 0) continue;
            modifierKeys_.emplace(key, bit);
            const xkb_keysym_t* symbols = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap_, key, 0, 0, &symbols);
            for (int symbol = 0; symbol < count; ++symbol) {
                switch (symbols[symbol]) {
                    case XKB_KEY_Alt_L:
                    case XKB_KEY_Alt_R:
                    case XKB_KEY_Meta_L:
                    case XKB_KEY_Meta_R:
                        if (modifier >= 3) bits.option = bit;
                        break;
                    case XKB_KEY_Super_L:
                    case XKB_KEY_Super_R:
                        if (modifier >= 3) bits.command = bit;
                        break;
                    case XKB_KEY_Num_Lock:
                        bits.numLock = bit;
                        break;
                    case XKB_KEY_Scroll_Lock:
                        bits.scrollLock = bit;
                        break;
                    default:
                        break;
                }
            }
        }
    }
    modifiers_ = bits;
}

void X11Keyboard::subscribe(X11EventRouter& router) {
    router.on<&X11Keyboard::mappingNotified>(XCB_MAPPING_NOTIFY, *this);
    // Without the extension its events never come.
    if (xkbFirstEvent_ != 0) router.on<&X11Keyboard::xkbNotified>(xkbFirstEvent_, *this);
}

void X11Keyboard::mappingNotified(const xcb_mapping_notify_event_t& mapping) {
    if (mapping.request == XCB_MAPPING_POINTER) return;
    const ModifierBits before = modifiers_;
    readModifierMap();
    if (mapping.request == XCB_MAPPING_MODIFIER && before == modifiers_) return;
    if (onKeymapChange_) onKeymapChange_();
}

// The XKB kinds share one event code, so they are told apart here rather than by the router.
void X11Keyboard::xkbNotified(const xcb_generic_event_t& event) {
    const auto& header = reinterpret_cast<const XkbEventHeader&>(event);
    if (!keymap_ || header.deviceID != deviceId_) return;
    if (header.xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY) {
        const auto& notify = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t&>(event);
        if (notify.changed & XCB_XKB_NKN_DETAIL_KEYCODES) keymapNotified();
    } else if (header.xkbType == XCB_XKB_MAP_NOTIFY) {
        keymapNotified();
    } else if (header.xkbType == XCB_XKB_STATE_NOTIFY) {
        const auto& notify = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
        xkb_state_update_mask(state_, notify.baseMods, notify.latchedMods, notify.lockedMods,
                              static_cast<xkb_layout_index_t>(notify.baseGroup),
                              static_cast<xkb_layout_index_t>(notify.latchedGroup),
                              notify.lockedGroup);
    }
}

void X11Keyboard::keymapNotified() {
    if (loadKeymap() && onKeymapChange_) onKeymapChange_();
}

std::uint64_t X11Keyboard::flags(std::uint16_t state) const {
    std::uint64_t result = 0;
    const auto has = [state](std::uint16_t bit) { return bit != 0 && (state & bit) != 0; };
    if (has(modifiers_.capsLock)) result |= ModifierFlags::capsLock;
    if (has(modifiers_.shift)) result |= ModifierFlags::shift;
    if (has(modifiers_.control)) result |= ModifierFlags::control;
    if (has(modifiers_.option)) result |= ModifierFlags::option;
    if (has(modifiers_.command)) result |= ModifierFlags::command;
    return result;
}

xkb_state* X11Keyboard::stateOf(std::uint16_t state, bool shiftOnly) const {
    if (!keymap_) return nullptr;
    xkb_state* scratch = xkb_state_new(keymap_);
    if (!scratch) return nullptr;
    // Core state: the eight real modifiers in their XKB order, and the layout in bits 13-14.
    std::uint32_t mods = state & 0xFF;
    if (shiftOnly) mods &= modifiers_.shift | modifiers_.capsLock;
    const xkb_layout_index_t group = (state >> 13) & 0x3;
    xkb_state_update_mask(scratch, mods, 0, 0, 0, 0, group);
    return scratch;
}

std::string X11Keyboard::utf8(std::uint32_t xKeyCode, std::uint16_t state, bool shiftOnly) const {
    xkb_state* scratch = stateOf(state, shiftOnly);
    if (!scratch) return {};
    char buffer[64] = {};
    xkb_state_key_get_utf8(scratch, xKeyCode, buffer, sizeof buffer);
    xkb_state_unref(scratch);
    return buffer;
}

std::uint32_t X11Keyboard::symbol(std::uint32_t xKeyCode, std::uint16_t state) const {
    xkb_state* scratch = stateOf(state, false);
    if (!scratch) return 0;
    const xkb_keysym_t symbol = xkb_state_key_get_one_sym(scratch, xKeyCode);
    xkb_state_unref(scratch);
    return symbol;
}

std::string X11Keyboard::symbolName(std::uint32_t symbol) {
    char name[64] = {};
    if (xkb_keysym_get_name(symbol, name, sizeof name) <= 0) return {};
    return name;
}

std::string X11Keyboard::characters(std::uint32_t xKeyCode, std::uint16_t state) const {
    return utf8(xKeyCode, state, false);
}

std::string X11Keyboard::charactersIgnoringModifiers(std::uint32_t xKeyCode,
                                                     std::uint16_t state) const {
    return utf8(xKeyCode, state, true);
}

bool X11Keyboard::typesLatinLetters(std::uint32_t layout) const {
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap_, kLetterAKey, layout, 0, &symbols);
    return count > 0 && symbols[0] >= XKB_KEY_a && symbols[0] <= XKB_KEY_z;
}

std::optional<std::string> X11Keyboard::latinCharacters(std::uint32_t xKeyCode) const {
    if (!keymap_) return std::nullopt;
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts(keymap_);
    std::optional<xkb_layout_index_t> layout;
    const xkb_layout_index_t current =
        xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE);
    if (current < layouts && typesLatinLetters(current)) {
        layout = current;
    } else {
        for (xkb_layout_index_t index = 0; index < layouts && !layout; ++index) {
            if (typesLatinLetters(index)) layout = index;
        }
    }
    if (!layout) return std::nullopt;
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap_, xKeyCode, *layout, 0, &symbols);
    if (count <= 0 || isDeadKey(symbols[0])) return std::string();
    char buffer[64] = {};
    if (xkb_keysym_to_utf8(symbols[0], buffer, sizeof buffer) <= 0) return std::string();
    return std::string(buffer);
}

std::uint16_t X11Keyboard::modifierBitOfKey(std::uint32_t xKeyCode) const {
    const auto found = modifierKeys_.find(xKeyCode);
    return found == modifierKeys_.end() ? 0 : found->second;
}

double X11Keyboard::repeatDelay() const {
    if (deviceId_ < 0) return kDefaultRepeatDelay;
    xcb_connection_t* raw = connection_->raw();
    auto controls =
        waitReply(xcb_xkb_get_controls_reply, raw,
                  xcb_xkb_get_controls(raw, static_cast<xcb_xkb_device_spec_t>(deviceId_)));
    if (!controls || controls->repeatDelay == 0) return kDefaultRepeatDelay;
    return controls->repeatDelay / 1000.0;
}

double X11Keyboard::repeatInterval() const {
    if (deviceId_ < 0) return kDefaultRepeatInterval;
    xcb_connection_t* raw = connection_->raw();
    auto controls =
        waitReply(xcb_xkb_get_controls_reply, raw,
                  xcb_xkb_get_controls(raw, static_cast<xcb_xkb_device_spec_t>(deviceId_)));
    if (!controls || controls->repeatInterval == 0) return kDefaultRepeatInterval;
    return controls->repeatInterval / 1000.0;
}

}  // namespace talvori::x11
