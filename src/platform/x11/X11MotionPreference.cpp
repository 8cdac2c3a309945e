#include "platform/x11/X11MotionPreference.hpp"

#include <gio/gio.h>

#include "platform/x11/X11XSettings.hpp"

namespace talvori::x11 {

namespace {

constexpr const char* kSchema = "org.gnome.desktop.interface";
constexpr const char* kKey = "enable-animations";

}  // namespace

X11MotionPreference::X11MotionPreference(std::shared_ptr<X11Connection> connection)
    : settings_(std::make_unique<X11XSettings>(std::move(connection))) {}

X11MotionPreference::~X11MotionPreference() {
    if (stored_) g_object_unref(stored_);
}

bool X11MotionPreference::reducesMotion() const {
    if (const auto animations = settings_->integer("Gtk/EnableAnimations")) return *animations == 0;
    if (GSettings* stored = storedSettings()) return !g_settings_get_boolean(stored, kKey);
    return false;
}

// Made once, and only where the schema is installed: GSettings stops the program for a schema
// it does not know.
GSettings* X11MotionPreference::storedSettings() const {
    if (lookedForStored_) return stored_;
    lookedForStored_ = true;
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, kSchema, TRUE) : nullptr;
    if (schema && g_settings_schema_has_key(schema, kKey)) stored_ = g_settings_new(kSchema);
    if (schema) g_settings_schema_unref(schema);
    return stored_;
}

}  // namespace talvori::x11
