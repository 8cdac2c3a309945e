#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace talvori::x11 {

class X11Connection;

// The desktop's settings as its settings daemon publishes them (XSETTINGS: a binary table on the
// window that owns _XSETTINGS_S<screen>): theme name, animations, font and cursor settings.
class X11XSettings {
  public:
    // red, green, blue, alpha
    using Color = std::array<std::uint16_t, 4>;
    using Value = std::variant<std::int32_t, std::string, Color>;
    using Table = std::map<std::string, Value, std::less<>>;

    explicit X11XSettings(std::shared_ptr<X11Connection> connection)
        : connection_(std::move(connection)) {}

    // The current table, read anew; empty when no settings daemon runs.
    Table read() const;
    std::optional<std::int32_t> integer(std::string_view name) const;
    std::optional<std::string> string(std::string_view name) const;

    // The table in `blob`; what follows a malformed entry is left out.
    static Table parse(const std::vector<std::uint8_t>& blob);

  private:
    std::shared_ptr<X11Connection> connection_;
};

}  // namespace talvori::x11
