#include <benchmark/benchmark.h>

#include <string>

#include "reminder/UpdateReminder.hpp"
#include "updates/Appcast.hpp"

namespace talvori {
namespace {

std::string appcastOf(int items) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
        "xmlns:u=\"urn:talvori:updates:appcast\" xmlns:talvori=\"https://talvori.org/appcast\">"
        "<channel><title>Talvori</title>\n";
    for (int i = 0; i < items; ++i) {
        const std::string build = std::to_string(100 + i);
        xml += "<item><title>Version 1." + build + "</title><u:version>" + build +
               "</u:version><u:shortVersionString>1." + build +
               "</u:shortVersionString><u:minimumSystemVersion>5.10</u:minimumSystemVersion>"
               "<talvori:summary>Covers follow windows &amp; more.</talvori:summary>"
               "<u:releaseNotesLink>https://talvori.org/notes/" +
               build + "</u:releaseNotesLink><enclosure url=\"https://talvori.org/Talvori-" +
               build +
               ".tar.gz\" length=\"12345678\" type=\"application/octet-stream\" "
               "u:edSignature=\"" +
               std::string(88, 'A') + "\"/></item>\n";
    }
    return xml + "</channel></rss>\n";
}

// Reading a feed of 200 releases and choosing the one to offer.
void BM_AppcastParseAndChooseBest(benchmark::State& state) {
    const std::string xml = appcastOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto appcast = updates::Appcast::parse(xml);
        auto best = appcast->bestItem("150", "6.1", "299");
        benchmark::DoNotOptimize(best);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(xml.size()));
}
BENCHMARK(BM_AppcastParseAndChooseBest)->Arg(200)->Unit(benchmark::kMillisecond);

// The summary of a release-notes page whose only list item comes at the very end, after a head
// full of links, scripts and paragraph-like tags: the scan must stay linear in the page size.
void BM_ReleaseNotesSummary(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    std::string page = "<html><head><link rel=\"stylesheet\" href=\"a.css\"><script>var a = '<p>';";
    const std::string chunk = "</script><pre>x</pre><param name=p><script>var b = 1;";
    while (page.size() + chunk.size() < size - 64) page += chunk;
    page += "</script></head><body><li>Covers follow windows.</li></body></html>";
    for (auto _ : state) {
        auto summary = UpdateReminder::firstElementText(page);
        benchmark::DoNotOptimize(summary);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_ReleaseNotesSummary)->Arg(256 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvori
