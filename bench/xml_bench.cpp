// Reading a 10 MB XML document from start to end: a CXMLReader that keeps what it is handed
// against expat (XML_Parse over the file read in 64 KiB blocks, with handlers that copy the
// names, attributes, text and comments out). Expat hands a run of text over in several pieces
// (at every line end, entity and block boundary); its handler gathers them and takes the run
// as one item when the next tag or comment comes, as CXMLReader hands its callback one text per
// run. Reported as MB/s.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/support.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"
#include "fieldkit/xml/xml_reader.h"

#ifdef FIELDKIT_BENCH_HAVE_EXPAT
#include <expat.h>
#endif

namespace {

using fieldkit::detail::AppendFormat;

struct XmlFile {
    std::string path;
    std::uint64_t bytes = 0;
};

// A survey job: stations holding observations, with attributes, nested elements, text with
// non-ASCII letters, an escaped character, comments and, in every fourth observation, a CDATA
// section holding markup.
std::string Generate(std::size_t targetBytes) {
    std::mt19937_64 rng(fieldkit::bench::kSeed);
    std::uniform_real_distribution<double> angle(0.0, 400.0), distance(1.0, 2500.0),
        east(500000.0, 600000.0), north(4100000.0, 4200000.0), height(-50.0, 2500.0);
    const char* const codes[] = {"tree", "fence", "kerb", "wall", "manhole", "gate"};
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- Survey job generated for the benchmarks -->\n"
        "<Job name=\"Bench\" units=\"metric\" created=\"2019-02-01T10:30:00\">\n";
    unsigned station = 0, point = 0;
    while (out.size() < targetBytes) {
        ++station;
        AppendFormat(out, "  <Station id=\"S%04u\" instrument=\"TS16\" height=\"%.4f\">\n", station,
                     distance(rng) / 1000.0);
        AppendFormat(out, "    <!-- station %u set up over control point C%u -->\n", station,
                     station);
        for (int k = 0; k < 20; ++k) {
            ++point;
            AppendFormat(out, "    <Observation target=\"P%06u\" code=\"%s\" face=\"%d\">\n", point,
                         codes[point % 6], 1 + static_cast<int>(point % 2));
            AppendFormat(out, "      <Hz>%.4f</Hz>\n      <V>%.4f</V>\n      <SD>%.3f</SD>\n",
                         angle(rng), angle(rng), distance(rng));
            AppendFormat(out, "      <Point e=\"%.3f\" n=\"%.3f\" h=\"%.3f\"/>\n", east(rng),
                         north(rng), height(rng));
            // "Gemessen über Kante, Höhe geprüft" in UTF-8, and an escaped ampersand.
            out +=
                "      <Note>Gemessen \xC3\xBC"
                "ber Kante &amp; H\xC3\xB6he gepr\xC3\xBC"
                "ft</Note>\n";
            if (point % 4 == 0)
                AppendFormat(out,
                             "      <Raw><![CDATA[<obs hz=\"%.4f\" sd=\"%.3f\"/> & raw]]></Raw>\n",
                             angle(rng), distance(rng));
            out += "    </Observation>\n";
        }
        out += "  </Station>\n";
    }
    out += "</Job>\n";
    return out;
}

const XmlFile& Workload() {
    static const XmlFile file = [] {
        XmlFile f;
        f.path = fieldkit::bench::WorkPath("job.xml");
        fieldkit::bench::WriteFile(f.path, Generate(fieldkit::bench::Size(10000000, 50000)));
        f.bytes = fieldkit::bench::FileSize(f.path);
        // Host paths serve as device paths when the device root is "/".
        fieldkit::host::SetDeviceRoot("/");
        return f;
    }();
    return file;
}

void Finish(benchmark::State& state, std::size_t items) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(Workload().bytes));
    state.counters["items"] = static_cast<double>(items);
}

// Keeps the last tag and text and counts what went by.
class CopyingReader : public CXMLReader {
  public:
    bool Run(const std::wstring& path) {
        items = 0;
        characters = 0;
        return Read(path.c_str());
    }
    void OnTag(int kind, std::wstring text) override {
        ++items;
        characters += text.size() + static_cast<std::size_t>(kind);
        lastTag = std::move(text);
    }
    void OnText(std::wstring text) override {
        ++items;
        characters += text.size();
        lastText = std::move(text);
    }

    std::size_t items = 0;
    std::size_t characters = 0;
    std::wstring lastTag, lastText;
};

void ReadFieldkit(benchmark::State& state) {
    const std::wstring path = fieldkit::Utf8ToWide(Workload().path);
    CopyingReader reader;
    for (auto _ : state) {
        if (!reader.Run(path)) {
            state.SkipWithError("CXMLReader::Read failed");
            break;
        }
        benchmark::DoNotOptimize(reader.characters);
    }
    Finish(state, reader.items);
}
BENCHMARK(ReadFieldkit)->Name("xml/read/fieldkit")->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef FIELDKIT_BENCH_HAVE_EXPAT

struct ExpatSink {
    std::size_t items = 0;
    std::size_t characters = 0;
    std::string lastTag, lastAttribute, lastText;
    std::string run;  // the pieces of the current text run

    // The gathered run becomes one item, kept as CopyingReader keeps its text.
    void EndRun() {
        if (run.empty()) return;
        ++items;
        characters += run.size();
        lastText.swap(run);
        run.clear();
    }
};

void OnStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    auto& sink = *static_cast<ExpatSink*>(user);
    sink.EndRun();
    ++sink.items;
    sink.lastTag.assign(name);
    sink.characters += sink.lastTag.size();
    for (const XML_Char** a = attributes; *a != nullptr; a += 2) {
        sink.lastAttribute.assign(a[0]);
        sink.lastAttribute.append(a[1]);
        sink.characters += sink.lastAttribute.size();
    }
}

void OnEnd(void* user, const XML_Char* name) {
    auto& sink = *static_cast<ExpatSink*>(user);
    sink.EndRun();
    ++sink.items;
    sink.lastTag.assign(name);
    sink.characters += sink.lastTag.size();
}

void OnCharacters(void* user, const XML_Char* text, int length) {
    static_cast<ExpatSink*>(user)->run.append(text, static_cast<std::size_t>(length));
}

void OnComment(void* user, const XML_Char* text) {
    auto& sink = *static_cast<ExpatSink*>(user);
    sink.EndRun();
    ++sink.items;
    sink.lastText.assign(text);
    sink.characters += sink.lastText.size();
}

bool ParseWithExpat(const std::string& path, std::vector<char>& block, ExpatSink& sink) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &sink);
    XML_SetElementHandler(parser, &OnStart, &OnEnd);
    XML_SetCharacterDataHandler(parser, &OnCharacters);
    XML_SetCommentHandler(parser, &OnComment);
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(block.data(), 1, block.size(), file);
        const bool last = n < block.size();
        if (XML_Parse(parser, block.data(), static_cast<int>(n), last ? 1 : 0) ==
            XML_STATUS_ERROR) {
            ok = false;
            break;
        }
        if (last) break;
    }
    sink.EndRun();
    XML_ParserFree(parser);
    std::fclose(file);
    return ok;
}

void ReadExpat(benchmark::State& state) {
    const std::string& path = Workload().path;
    std::vector<char> block(64 * 1024);
    std::size_t items = 0;
    for (auto _ : state) {
        ExpatSink sink;
        if (!ParseWithExpat(path, block, sink)) {
            state.SkipWithError("expat could not parse the document");
            break;
        }
        items = sink.items;
        benchmark::DoNotOptimize(sink.characters);
    }
    Finish(state, items);
}
BENCHMARK(ReadExpat)->Name("xml/read/expat")->Unit(benchmark::kMillisecond)->UseRealTime();

#endif

}  // namespace
