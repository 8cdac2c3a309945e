#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

// What every fuzz target shares. A target defines LLVMFuzzerTestOneInput; under libFuzzer that is
// all, and in the ordinary build ReplayMain.cpp runs it on every file of the folders it is given.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace talvori::fuzz {

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A property of the decoder that an input broke: the input is a finding.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "Talvori fuzz: %s\n", what);
    std::abort();
}

inline void check(bool holds, const char* what) {
    if (!holds) fail(what);
}

// A virtual platform for the decoders that log or read settings through it, installed once.
void installPlatform();

// A folder of this process's own for decoders that read files, emptied on every call.
const std::filesystem::path& scratchFolder();

}  // namespace talvori::fuzz
