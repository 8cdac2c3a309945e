#include "platform/freedesktop/AutostartEntry.hpp"

#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/freedesktop/DesktopFiles.hpp"

namespace talvori::freedesktop {

namespace {

constexpr std::string_view kExecPlaceholder = "@TALVORI_DESKTOP_EXEC@";

// The program as the Exec key wants it: quoted when it holds anything the key would otherwise
// split or expand. Inside quotes " ` $ and \ take a backslash, and the value's own escaping then
// doubles every backslash; % is always doubled.
std::string execValue(const std::filesystem::path& program) {
    const std::string path = program.string();
    if (path.find_first_of(" \t\n\"'\\><~|&;$*?#()`%=") == std::string::npos) return path;
    std::string value = "\"";
    for (const char character : path) {
        if (character == '"' || character == '`' || character == '$') {
            value += "\\\\";
            value += character;
        } else if (character == '\\') {
            value += "\\\\\\\\";
        } else if (character == '%') {
            value += "%%";
        } else {
            value += character;
        }
    }
    return value + '"';
}

// The program an Exec value starts: its first word, with the value's escapes, the quoting and
// the doubled % undone.
std::string programOf(const std::string& exec) {
    std::string value;
    for (std::size_t index = 0; index < exec.size(); ++index) {
        if (exec[index] == '\\' && index + 1 < exec.size() && exec[index + 1] == '\\') ++index;
        value.push_back(exec[index]);
    }
    std::string program;
    const bool quoted = !value.empty() && value.front() == '"';
    for (std::size_t index = quoted ? 1 : 0; index < value.size(); ++index) {
        const char character = value[index];
        if (quoted ? character == '"' : character == ' ') break;
        if (quoted && character == '\\' && index + 1 < value.size()) {
            program.push_back(value[++index]);
        } else if (character == '%' && index + 1 < value.size() && value[index + 1] == '%') {
            program.push_back(value[++index]);
        } else {
            program.push_back(character);
        }
    }
    return program;
}

std::filesystem::path runningProgram() {
    std::error_code error;
    auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program;
}

// A program the build made, still in its build tree: the build's cache lies above it.
bool isInBuildTree(const std::filesystem::path& program) {
    std::error_code error;
    for (auto folder = program.parent_path(); !folder.empty() && folder != folder.root_path();
         folder = folder.parent_path()) {
        if (std::filesystem::exists(folder / "CMakeCache.txt", error)) return true;
    }
    return false;
}

}  // namespace

AutostartEntry::AutostartEntry(Logger log) : AutostartEntry(runningProgram(), std::move(log)) {}

AutostartEntry::AutostartEntry(std::filesystem::path program, Logger log)
    : program_(std::move(program)), log_(std::move(log)) {}

std::filesystem::path AutostartEntry::entryPath() {
    const char* configuration = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path folder;
    if (configuration && *configuration == '/') {
        folder = configuration;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::filesystem::path(home ? home : "/") / ".config";
    }
    return folder / "autostart" / kEntryName;
}

std::string AutostartEntry::entry(const std::filesystem::path& program) {
    std::string text = kDesktopEntryTemplate;
    if (const auto at = text.find(kExecPlaceholder); at != std::string::npos) {
        text.replace(at, kExecPlaceholder.size(), execValue(program));
    }
    if (!text.empty() && text.back() != '\n') text.push_back('\n');
    return text + "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> AutostartEntry::unusableProgram(const std::filesystem::path& program) {
    const std::string& path = program.native();
    const bool control = std::any_of(path.begin(), path.end(), [](char character) {
        const auto byte = static_cast<unsigned char>(character);
        return byte < 0x20 || byte == 0x7f;
    });
    if (control) {
        return "Talvori cannot start at login from " + program.string() +
               ": the path holds a control character (a new line or a tab). Move Talvori to a "
               "folder whose name holds none.";
    }
    if (!g_utf8_validate(path.data(), static_cast<gssize>(path.size()), nullptr)) {
        return "Talvori cannot start at login from " + program.string() +
               ": the path is not UTF-8 text. Move Talvori to a folder whose name is.";
    }
    return std::nullopt;
}

std::optional<std::string> AutostartEntry::programIn(std::istream& entry) {
    std::string line;
    std::string exec;
    bool inEntry = false;
    while (std::getline(entry, line)) {
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        // The desktop's own ways of switching an entry off.
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") {
            return std::nullopt;
        }
        if (line.rfind("Exec=", 0) == 0) exec = line.substr(5);
    }
    return programOf(exec);
}

LoginItem::Status AutostartEntry::status() const {
    std::ifstream file(entryPath());
    if (!file) return Status::notRegistered;
    const auto program = programIn(file);
    if (!program) return Status::notRegistered;
    if (program->empty() || ::access(program->c_str(), X_OK) != 0) return Status::notFound;
    return Status::enabled;
}

std::optional<std::string> AutostartEntry::registerItem() {
    if (program_.empty() || !program_.is_absolute()) {
        return std::string("Talvori cannot tell where its program is.");
    }
    // The switch sets itself back; the reason stays where the user can read it.
    if (auto unusable = unusableProgram(program_)) {
        log_.error("%{public}s", *unusable);
        return unusable;
    }
    const auto path = entryPath();
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) {
        return "Cannot make the folder " + path.parent_path().string() + ": " + error.message();
    }
    // Written whole or not at all: the session never reads half an entry.
    const auto temporary = path.parent_path() / ("." + path.filename().string() + ".new");
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << entry(program_);
        file.close();
        if (!file) {
            std::filesystem::remove(temporary, error);
            return "Cannot write " + path.string() + ": " + std::strerror(errno);
        }
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return "Cannot write " + path.string() + ": " + error.message();
    }
    if (isInBuildTree(program_)) {
        log_.log("Talvori runs from its build tree: at login the session will start %{public}s",
                 program_.string());
    }
    return std::nullopt;
}

std::optional<std::string> AutostartEntry::unregisterItem() {
    const auto path = entryPath();
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) return "Cannot remove " + path.string() + ": " + error.message();
    return std::nullopt;
}

}  // namespace talvori::freedesktop
