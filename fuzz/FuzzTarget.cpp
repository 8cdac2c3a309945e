#include "FuzzTarget.hpp"

#include <unistd.h>

#include "platform/Platform.hpp"

namespace talvori::fuzz {

void installPlatform() {
    if (!Platform::isInstalled()) Platform::install(Platform::makeVirtual());
}

const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path folder = [] {
        auto path =
            std::filesystem::temp_directory_path() / ("talvori-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        // Gone with the process, however the fuzzer ends it.
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                            ("talvori-fuzz-" + std::to_string(::getpid())),
                                        error);
        });
        return path;
    }();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::filesystem::remove_all(entry.path(), error);
    }
    return folder;
}

}  // namespace talvori::fuzz
