#include "platform/atspi/harness/OrcaTestReader.hpp"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/Platform.hpp"
#include "platform/atspi/harness/ScopedVariable.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::testing {

namespace {

constexpr const char* kOrca = "/usr/bin/orca";
constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kSpeechServer = "/usr/bin/speech-dispatcher";
constexpr const char* kGenericVoice = "/usr/lib/speech-dispatcher-modules/sd_generic";

void write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// Runs the program's loop until `condition` holds; false after `seconds`.
bool runUntil(const std::function<bool()>& condition, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        platform().runLoop().runOnce(0.005);
    }
    return true;
}

}  // namespace

OrcaTestReader::OrcaTestReader(X11TestSession& session, const std::string& busAddress)
    : session_(session) {
    if (::access(kOrca, X_OK) != 0 || ::access(kSpeechServer, X_OK) != 0 ||
        ::access(kGenericVoice, X_OK) != 0) {
        error_ = "orca or speech-dispatcher is missing: run scripts/setup";
        return;
    }
    static int made = 0;
    folder_ = std::filesystem::temp_directory_path() /
              ("talvori-orca-" + std::to_string(::getpid()) + "-" + std::to_string(++made));
    std::filesystem::create_directories(folder_ / "home");
    // No sound card on a test machine: the server's sound goes nowhere, its words to the file.
    write(folder_ / "home/.libao", "default_driver=null\n");
    const ScopedVariable home("HOME", (folder_ / "home").string());
    const ScopedVariable config("XDG_CONFIG_HOME", (folder_ / "config").string());
    const ScopedVariable data("XDG_DATA_HOME", (folder_ / "data").string());
    const ScopedVariable runtime("XDG_RUNTIME_DIR", folder_.string());
    const ScopedVariable settings("GSETTINGS_BACKEND", "memory");
    if (startSpeechServer()) startOrca(busAddress);
}

OrcaTestReader::~OrcaTestReader() {
    // Neither has anything to keep: ended at once, they take no second off every test.
    if (orca_ > 0) session_.end(orca_, SIGKILL, 2);
    if (server_ > 0) session_.end(server_, SIGKILL, 2);
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

bool OrcaTestReader::startSpeechServer() {
    const auto config = folder_ / "speech";
    write(config / "speechd.conf",
          "AddModule \"file\" \"sd_generic\" \"file.conf\"\n"
          "DefaultModule file\n"
          "LanguageDefaultModule \"en\" \"file\"\n"
          "AudioOutputMethod \"libao\"\n");
    // Each utterance a line; the module hands it over in single quotes.
    write(config / "modules/file.conf", "GenericExecuteSynth \"printf '%s\\\\n' \\'$DATA\\' >> " +
                                            (folder_ / "speech.txt").string() +
                                            "\"\n"
                                            "GenericCmdDependency \"printf\"\n"
                                            "GenericLanguage \"en\" \"en\" \"utf-8\"\n"
                                            "AddVoice \"en\" \"MALE1\" \"default\"\n");
    const auto socket = folder_ / "speechd.sock";
    server_ = session_.spawn({kSpeechServer, "--run-single", "--config-dir", config.string(),
                              "--socket-path", socket.string(), "--timeout", "0", "--log-dir",
                              (folder_ / "log").string()});
    if (server_ <= 0 || !runUntil([&] { return std::filesystem::exists(socket); }, 10)) {
        error_ = "speech-dispatcher does not start";
        return false;
    }
    return true;
}

bool OrcaTestReader::startOrca(const std::string& busAddress) {
    const ScopedVariable server("SPEECHD_ADDRESS",
                                "unix_socket:" + (folder_ / "speechd.sock").string());
    const ScopedVariable bus("AT_SPI_BUS_ADDRESS", busAddress);
    // Started past its launcher, which refuses to start beside any other Orca of the same user
    // and, told to replace it, kills every one: other tests on the machine keep theirs.
    orca_ = session_.spawn({kPython, "-c",
                            "import sys\n"
                            "from orca import orca\n"
                            "orca.getSettingsManager().activate(None, {})\n"
                            "sys.exit(orca.main())\n"});
    // Its first words say that it reads.
    if (orca_ <= 0 ||
        !runUntil([&] { return speech().find("Screen reader on") != std::string::npos; }, 20)) {
        error_ = "orca does not start speaking: " + speech();
        return false;
    }
    return true;
}

std::string OrcaTestReader::speech() const {
    std::ifstream file(speechFile());
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace talvori::testing
