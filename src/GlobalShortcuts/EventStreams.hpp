#pragma once

#include "GlobalShortcuts/EventType.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "platform/core/AsyncStream.hpp"

// The key events of names and shortcuts as streams, beside the handlers. An open stream keeps its
// name active (unless disabled) and so its hot key registered; ending the stream (cancelling or
// dropping it) releases the hot key when nothing else needs it. All on the main thread.
namespace GlobalShortcuts {

// One element of a repeating stream.
struct KeyRepeatTick {
    bool operator==(const KeyRepeatTick&) const = default;
};

// Every press and release of the name's shortcut while the name is enabled; nothing is dropped.
talvori::AsyncStream<EventType> events(const Name& name);
// Every press and release of `shortcut`, whatever names store it and whether they are enabled.
talvori::AsyncStream<EventType> events(const Shortcut& shortcut);
// The same, only the events of `type`.
talvori::AsyncStream<EventType> events(EventType type, const Name& name);
talvori::AsyncStream<EventType> events(EventType type, const Shortcut& shortcut);

// A tick at each press, one more after the keyboard's repeat delay and then one per repeat
// interval while the key is held and the shortcut still fires (the settings are read once, when
// the stream is made). A consumer that falls behind finds only the newest tick.
talvori::AsyncStream<KeyRepeatTick> repeatingKeyDownEvents(const Name& name);
talvori::AsyncStream<KeyRepeatTick> repeatingKeyDownEvents(const Shortcut& shortcut);

}  // namespace GlobalShortcuts
