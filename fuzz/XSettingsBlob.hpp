#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/x11/X11XSettings.hpp"

namespace talvori::fuzz {

// A table as a settings daemon publishes it, in little-endian order: the seed corpus is made of
// such tables, and a table read back from one must be the table written.
inline std::vector<std::uint8_t> xsettingsBlob(const x11::X11XSettings::Table& table) {
    std::vector<std::uint8_t> blob;
    auto card = [&](std::uint64_t value, int bytes) {
        for (int index = 0; index < bytes; ++index) {
            blob.push_back(static_cast<std::uint8_t>(value >> (8 * index)));
        }
    };
    auto text = [&](const std::string& text) {
        blob.insert(blob.end(), text.begin(), text.end());
        while (blob.size() % 4 != 0) blob.push_back(0);
    };
    card(0, 4);
    card(1, 4);
    card(table.size(), 4);
    for (const auto& [name, value] : table) {
        card(value.index(), 1);
        card(0, 1);
        card(name.size(), 2);
        text(name);
        card(0, 4);
        if (const auto* integer = std::get_if<std::int32_t>(&value)) {
            card(static_cast<std::uint32_t>(*integer), 4);
        } else if (const auto* string = std::get_if<std::string>(&value)) {
            card(string->size(), 4);
            text(*string);
        } else {
            for (const std::uint16_t channel : std::get<x11::X11XSettings::Color>(value)) {
                card(channel, 2);
            }
        }
    }
    return blob;
}

}  // namespace talvori::fuzz
