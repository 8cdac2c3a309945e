#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/desktop/LoginItem.hpp"

namespace talvori::freedesktop {

// Starting at login as the freedesktop desktops do it: an entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart), the program's own desktop entry with the absolute path of the
// program that registered it. Desktop sessions (and systemd's generator) start what the folder
// lists; a bare window manager started without a session starts nothing.
class AutostartEntry final : public LoginItem {
  public:
    static constexpr const char* kEntryName = "org.talvori.Talvori.desktop";

    // The program running now registers itself.
    explicit AutostartEntry(Logger log);
    // `program` registers itself; for tests.
    AutostartEntry(std::filesystem::path program, Logger log);

    Status status() const override;
    std::optional<std::string> registerItem() override;
    std::optional<std::string> unregisterItem() override;

    // Where the entry is written, as the environment says now.
    static std::filesystem::path entryPath();
    // The entry that starts `program`.
    static std::string entry(const std::filesystem::path& program);
    // Why `program` cannot be started from an entry (a control character, which the entry's
    // lines cannot hold, or a name that is no UTF-8, which its text must be); absent when it can.
    static std::optional<std::string> unusableProgram(const std::filesystem::path& program);
    // The program an entry's text starts (empty when it names none); absent when the entry is
    // switched off.
    static std::optional<std::string> programIn(std::istream& entry);

  private:
    std::filesystem::path program_;
    Logger log_;
};

}  // namespace talvori::freedesktop
