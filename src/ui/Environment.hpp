#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "ui/Animation.hpp"
#include "ui/Color.hpp"
#include "ui/Font.hpp"

namespace talvori::ui {

class View;
struct ButtonConfiguration;
// Draws a button from its label and pressed state.
using ButtonStyle = std::function<View(const ButtonConfiguration&)>;

enum class TextAlignment { leading, center, trailing };

// A value that views inherit from their ancestors, such as a conflict policy; the innermost setting
// wins. Declare one as a constant: `inline const EnvironmentKey<Policy>
// policyKey{Policy::standard};`
template <class T>
struct EnvironmentKey {
    T defaultValue;
};

// The values a view inherits: text style, foreground colour, whether controls are enabled, Reduce
// Motion, and custom keys. Set with View modifiers (font, foregroundColor, disabled, ...).
class Environment {
  public:
    Font font = Font::system(13);
    Color foreground = Color::white();
    // The caret's colour.
    Color tint = Color::rgb255(245, 160, 53);
    std::optional<int> lineLimit;
    double tracking = 0;
    TextAlignment multilineTextAlignment = TextAlignment::leading;
    // Texts draw a solid line under their glyphs, in their own colour.
    bool underline = false;
    double lineSpacing = 0;
    // Texts can be selected with the pointer and copied with Command-C.
    bool textSelectionEnabled = false;
    bool isEnabled = true;
    std::shared_ptr<const ButtonStyle> buttonStyle;

    // Whether the system's Reduce Motion setting is on, read now (not when the view was built).
    bool reduceMotion() const;
    // `animation`, or none while Reduce Motion is on: the way views make their animations.
    std::optional<Animation> animation(const Animation& animation) const {
        return reduceMotion() ? std::nullopt : std::optional<Animation>(animation);
    }
    void setReduceMotionProvider(std::shared_ptr<const std::function<bool()>> provider) {
        reduceMotionProvider_ = std::move(provider);
    }
    void setReduceMotion(bool on) { reduceMotionOverride_ = on; }

    template <class T>
    const T& value(const EnvironmentKey<T>& key) const {
        const auto found = custom_.find(&key);
        if (found == custom_.end()) return key.defaultValue;
        return *static_cast<const T*>(found->second.value.get());
    }
    template <class T>
    void setValue(const EnvironmentKey<T>& key, T value) {
        custom_[&key] =
            Custom{std::make_shared<T>(std::move(value)), [](const void* a, const void* b) {
                       return *static_cast<const T*>(a) == *static_cast<const T*>(b);
                   }};
    }

    bool operator==(const Environment& other) const;
    // Whether views measure and place alike in both (text style only: custom values and the
    // button style are read by bodies, which are built again when they change).
    bool laysOutLike(const Environment& other) const;
    // Whether views draw alike in both: the text style, colours and what makes texts selectable.
    bool drawsLike(const Environment& other) const;

  private:
    struct Custom {
        std::shared_ptr<const void> value;
        bool (*equal)(const void*, const void*);
    };
    std::shared_ptr<const std::function<bool()>> reduceMotionProvider_;
    std::optional<bool> reduceMotionOverride_;
    std::map<const void*, Custom> custom_;
};

}  // namespace talvori::ui
