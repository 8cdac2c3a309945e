#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/desktop/ModifierFlags.hpp"

namespace talvori {

class Menu;

// One entry of a menu: its title, the key equivalent that chooses it (a character and a mask of
// modifier flags, Command by default) and an optional submenu. Code that decorates items keeps its
// own per-item state on the item under a key object of its own (associated objects).
class MenuItem {
  public:
    explicit MenuItem(std::string title, std::string keyEquivalent = {},
                      std::uint64_t keyEquivalentModifierMask = ModifierFlags::command)
        : title_(std::move(title)),
          keyEquivalent_(std::move(keyEquivalent)),
          modifierMask_(keyEquivalentModifierMask) {}

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    // An upper-case letter stands for Shift and the letter.
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(std::string key) { keyEquivalent_ = std::move(key); }
    std::uint64_t keyEquivalentModifierMask() const { return modifierMask_; }
    void setKeyEquivalentModifierMask(std::uint64_t mask) { modifierMask_ = mask; }
    // Whether the desktop may move the key equivalent to where the user's layout has the key.
    bool allowsAutomaticKeyEquivalentLocalization() const { return localizesKey_; }
    void setAllowsAutomaticKeyEquivalentLocalization(bool allows) { localizesKey_ = allows; }

    const std::shared_ptr<Menu>& submenu() const { return submenu_; }
    void setSubmenu(std::shared_ptr<Menu> submenu) { submenu_ = std::move(submenu); }

    // Per-item state of other code, by a key object's address; null removes it.
    void setAssociatedObject(const void* key, std::shared_ptr<void> value);
    std::shared_ptr<void> associatedObject(const void* key) const;

  private:
    std::string title_;
    std::string keyEquivalent_;
    std::uint64_t modifierMask_;
    bool localizesKey_ = true;
    std::shared_ptr<Menu> submenu_;
    std::map<const void*, std::shared_ptr<void>> associated_;
};

}  // namespace talvori
