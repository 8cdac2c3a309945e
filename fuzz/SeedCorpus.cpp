// Writes the seed corpus of every fuzz target, made by the program's own encoders, into
// <output>/<target>/: talvori_fuzz_seeds <output folder> <hot-key text bundle folder>.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "GlobalShortcuts/Key.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "XSettingsBlob.hpp"
#include "covers/PresetManager.hpp"
#include "focus/SpotlightModel.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Base64.hpp"
#include "platform/core/Clock.hpp"
#include "platform/core/DefaultsFile.hpp"
#include "platform/core/Json.hpp"
#include "platform/desktop/ModifierFlags.hpp"

namespace fs = std::filesystem;
using namespace talvori;

namespace {

class Corpus {
  public:
    explicit Corpus(fs::path folder) : folder_(std::move(folder)) {}

    void add(const std::string& target, const std::string& bytes) {
        const fs::path folder = folder_ / target;
        fs::create_directories(folder);
        std::ofstream(folder / ("seed-" + std::to_string(++counts_[target])), std::ios::binary)
            << bytes;
    }
    void add(const std::string& target, const Data& bytes) {
        add(target, std::string(bytes.begin(), bytes.end()));
    }

  private:
    fs::path folder_;
    std::map<std::string, int> counts_;
};

std::vector<PresetModel> sampleLayouts() {
    OverlayModel free;
    free.name = "Overlay 1";
    free.frame = {100, 200, 320.5, 180};
    free.color = {21.0 / 255, 24.0 / 255, 32.0 / 255, 1};
    free.opacity = 0.85;
    OverlayModel attached = free;
    attached.id = UUID::random();
    attached.name = "Overlay 2 — “quoted”";
    attached.effectType = EffectType::glass;
    attached.blurRadius = 12;
    attached.isClickThroughEnabled = true;
    attached.zOrderMode = ZOrderMode::smart;
    attached.attachmentInfo = AttachmentInfo{4242, "org.example.editor", "Draft"};
    return {PresetModel{UUID::random(), "Layout 1", {free, attached}},
            PresetModel{UUID::random(), "Empty", {}}};
}

std::vector<DefaultsValue> sampleValues() {
    return {true,
            std::int64_t{-9'223'372'036'854'775'807 - 1},
            0.1,
            "Show Talvori Panel",
            Data{0, 1, 2, 255},
            DefaultsValue::Array{1, "two", DefaultsValue::Array{}},
            DefaultsValue::Dictionary{{"nested", DefaultsValue::Dictionary{{"a", false}}},
                                      {"data", Data{}}}};
}

void addLayouts(Corpus& corpus) {
    auto defaults = UserDefaults::inMemory();
    PresetManager manager(PresetManager::standardKey, defaults);
    for (const auto& layouts : {sampleLayouts(), std::vector<PresetModel>{}}) {
        manager.save(layouts);
        corpus.add("LayoutDocument", *defaults->data(PresetManager::standardKey));
        corpus.add("JsonReader", *defaults->data(PresetManager::standardKey));
    }
}

void addFocusSettings(Corpus& corpus) {
    SpotlightModel glass;
    glass.effect = SpotlightEffect::glass;
    glass.blurRadius = 30;
    glass.glassOpacityLinked = false;
    for (const auto& model : {SpotlightModel{}, glass}) {
        corpus.add("FocusSettings", *model.encoded());
        corpus.add("JsonReader", *model.encoded());
    }
}

void addShortcuts(Corpus& corpus) {
    using GlobalShortcuts::Key;
    using GlobalShortcuts::Shortcut;
    for (const auto& shortcut :
         {Shortcut(Key::f, ModifierFlags::shift | ModifierFlags::command),
          Shortcut(Key::upArrow, ModifierFlags::control | ModifierFlags::option),
          Shortcut(Key::f12, 0)}) {
        corpus.add("StoredShortcut", shortcut.jsonText());
    }
}

void addValuesAndSettingsFile(Corpus& corpus, const fs::path& scratch) {
    DefaultsFile::Changes changes;
    auto change = [&](std::string key, DefaultsValue value) {
        changes.emplace(std::move(key), std::make_shared<const DefaultsValue>(std::move(value)));
    };
    int index = 0;
    for (const auto& value : sampleValues()) {
        const auto json = Json::dump(value.toJson());
        corpus.add("DefaultsValue", *json);
        change("key." + std::to_string(++index), value);
    }
    auto layouts = UserDefaults::inMemory();
    PresetManager(PresetManager::standardKey, layouts).save(sampleLayouts());
    change(PresetManager::standardKey, *layouts->object(PresetManager::standardKey));
    change(SpotlightModel::kDefaultsKey, *SpotlightModel{}.encoded());
    change("GlobalShortcuts_toggleFocus",
           GlobalShortcuts::Shortcut(GlobalShortcuts::Key::f,
                                     ModifierFlags::shift | ModifierFlags::command)
               .jsonText());
    change("hasCompletedOnboarding", true);

    const VirtualClock clock;
    const fs::path path = scratch / "defaults.json";
    DefaultsFile file(path.string(), clock, Logger());
    file.write(changes, {}, 0);
    std::ifstream written(path, std::ios::binary);
    const std::string contents{std::istreambuf_iterator<char>(written), {}};
    corpus.add("DefaultsFile", contents);
    corpus.add("JsonReader", contents);
}

void addBase64AndUUIDs(Corpus& corpus) {
    for (const Data& bytes : {Data{}, Data{'f'}, Data{'f', 'o'}, Data{0, 255, 128, 7, 9}}) {
        corpus.add("Base64", Base64::encode(bytes));
    }
    corpus.add("UUID", UUID::random().uuidString());
    corpus.add("UUID", "00000000-0000-0000-0000-000000000000");
}

void addHotKeyTexts(Corpus& corpus, const fs::path& bundle) {
    for (const auto& entry : fs::directory_iterator(bundle)) {
        std::ifstream table(entry.path(), std::ios::binary);
        corpus.add("HotKeyTexts", std::string(std::istreambuf_iterator<char>(table), {}));
    }
}

// The program reads feeds and pages but writes none: these are written as a server writes them.
void addNetworkDocuments(Corpus& corpus) {
    corpus.add("Appcast",
               "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
               "<rss version=\"2.0\" xmlns:u=\"urn:talvori:updates:appcast\" "
               "xmlns:talvori=\"https://talvori.org/appcast\">\n<channel><title>Talvori</title>\n"
               "<item><title>Version 1.3</title><u:version>130</u:version>"
               "<u:shortVersionString>1.3</u:shortVersionString>"
               "<u:minimumSystemVersion>12.0</u:minimumSystemVersion>"
               "<talvori:summary>Covers follow windows &amp; more.</talvori:summary>"
               "<u:releaseNotesLink>https://talvori.org/notes/1.3.html</u:releaseNotesLink>"
               "<enclosure url=\"https://talvori.org/Talvori-1.3.tar.gz\" length=\"1024\" "
               "type=\"application/octet-stream\" u:edSignature=\"c2lnbmF0dXJl\"/></item>\n"
               "<item><title>Version 1.2</title><u:version>120</u:version>"
               "<enclosure url=\"https://talvori.org/Talvori-1.2.tar.gz\" length=\"99\" "
               "type=\"application/octet-stream\"/></item>\n</channel></rss>\n");
    corpus.add("ReleaseNotes",
               "<html><head><title>Talvori 1.3</title><style>li { color: red }</style>"
               "<script>var a = '<li>';</script></head><body><h1>What&rsquo;s new</h1><ul>"
               "<li>Covers follow <b>windows</b> &amp; layouts.</li><li>Faster.</li></ul>"
               "<!-- <p>hidden</p> --><p>More text.</p></body></html>");
}

// What other programs and the feed hand over, as they write it.
void addDesktopAndUpdateInputs(Corpus& corpus) {
    corpus.add("XSettings",
               fuzz::xsettingsBlob({{"Net/ThemeName", std::string("Adwaita-dark")},
                                    {"Gtk/EnableAnimations", 0},
                                    {"Gtk/CursorThemeSize", 24},
                                    {"Net/ColorScheme", std::string("prefer-dark")},
                                    {"Xft/RGBA", std::string("rgb")},
                                    {"Gtk/Color", x11::X11XSettings::Color{1, 2, 3, 4}}}));
    corpus.add("VersionComparator", std::string("1.0\n1.0.1\n1.0b2\n2.0 beta\n1.10\n0042"));
    corpus.add("AutostartEntry", std::string("/usr/bin/talvori"));
    corpus.add("AutostartEntry", std::string("/home/a user/Apps $HOME 100%/tal\"vori"));
    corpus.add("UpdateDownload", std::string("Talvori-1.3.tar.gz"));
    corpus.add("UpdateDownload", std::string("Talvori 1.3 (final).tar.gz?download=1#top"));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output folder> <hot-key text bundle folder>\n", argv[0]);
        return 1;
    }
    Platform::install(Platform::makeVirtual());
    const fs::path output = argv[1];
    const fs::path scratch = output / ".scratch";
    fs::remove_all(output);
    fs::create_directories(scratch);
    Corpus corpus(output);
    addLayouts(corpus);
    addFocusSettings(corpus);
    addShortcuts(corpus);
    addValuesAndSettingsFile(corpus, scratch);
    addBase64AndUUIDs(corpus);
    addHotKeyTexts(corpus, argv[2]);
    addNetworkDocuments(corpus);
    addDesktopAndUpdateInputs(corpus);
    fs::remove_all(scratch);
    Platform::uninstall();
    return 0;
}
