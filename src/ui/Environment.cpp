#include "ui/Environment.hpp"

namespace talvori::ui {

bool Environment::reduceMotion() const {
    if (reduceMotionOverride_) return *reduceMotionOverride_;
    return reduceMotionProvider_ && *reduceMotionProvider_ && (*reduceMotionProvider_)();
}

bool Environment::operator==(const Environment& other) const {
    if (!(font == other.font && foreground == other.foreground && tint == other.tint &&
          lineLimit == other.lineLimit && tracking == other.tracking &&
          multilineTextAlignment == other.multilineTextAlignment && underline == other.underline &&
          lineSpacing == other.lineSpacing && textSelectionEnabled == other.textSelectionEnabled &&
          isEnabled == other.isEnabled && buttonStyle == other.buttonStyle &&
          reduceMotionProvider_ == other.reduceMotionProvider_ &&
          reduceMotionOverride_ == other.reduceMotionOverride_ &&
          custom_.size() == other.custom_.size())) {
        return false;
    }
    for (const auto& [key, custom] : custom_) {
        const auto found = other.custom_.find(key);
        if (found == other.custom_.end()) return false;
        if (!custom.equal(custom.value.get(), found->second.value.get())) return false;
    }
    return true;
}

bool Environment::laysOutLike(const Environment& other) const {
    return font == other.font && lineLimit == other.lineLimit && tracking == other.tracking &&
           multilineTextAlignment == other.multilineTextAlignment && underline == other.underline &&
           lineSpacing == other.lineSpacing;
}

bool Environment::drawsLike(const Environment& other) const {
    return laysOutLike(other) && foreground == other.foreground && tint == other.tint &&
           textSelectionEnabled == other.textSelectionEnabled && isEnabled == other.isEnabled;
}

}  // namespace talvori::ui
