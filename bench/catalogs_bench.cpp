// Translation catalogs: attaching a 20,000-entry .po file (and freeing it), and ugettext of
// every msgid against a std::unordered_map holding the same pairs, whose look-up copies the
// result into a new string as ugettext does when it returns a CString. Both sides look the
// msgids up in the same shuffled order: an application asks for its texts in no particular
// order, and going through the file in order would keep the next entry in the cache.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bench/support.h"
#include "fieldkit/i18n/translations.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"

namespace {

using fieldkit::detail::AppendFormat;
using fieldkit::detail::FormatA;

struct Catalog {
    std::string path;
    std::wstring devicePath;
    std::vector<std::pair<std::wstring, std::wstring>> pairs;  // msgid, msgstr as read back
    std::vector<std::size_t> order;  // the look-up order, a seeded shuffle of the entries
};

// `text` as a .po string body: the four escapes the reader undoes, nothing else to escape.
std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A keyword line, split after each "\n" into continuation lines as gettext writes long texts.
void AppendEntryLine(std::string& out, const char* keyword, const std::string& text) {
    if (text.find('\n') == std::string::npos || text.find('\n') + 1 == text.size()) {
        out += keyword;
        out += " \"" + Escape(text) + "\"\n";
        return;
    }
    out += keyword;
    out += " \"\"\n";
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        out += "\"" + Escape(text.substr(start, end - start)) + "\"\n";
        start = end;
    }
}

// The texts of a survey application and their German translations, in five shapes: plain,
// with quotation marks, over several lines, with a tab, and with non-ASCII letters.
std::pair<std::string, std::string> Entry(unsigned i) {
    switch (i % 5) {
        case 0:
            return {FormatA("Station %u: measure the target height before the next shot", i),
                    FormatA("Station %u: Zielh\xC3\xB6he vor der n\xC3\xA4"
                            "chsten Messung messen",
                            i)};
        case 1:
            return {FormatA("Delete point \"P%05u\" and its observations?", i),
                    FormatA("Punkt \"P%05u\" und seine Beobachtungen l\xC3\xB6schen?", i)};
        case 2:
            return {
                FormatA("The job %u has unsaved changes.\nSave them now?", i),
                FormatA("Der Auftrag %u hat ungesicherte \xC3\x84nderungen.\nJetzt sichern?", i)};
        case 3:
            return {FormatA("Code:\t%u", i), FormatA("Code:\t%u", i + 1)};
        default:
            return {FormatA("Height of the prism %u (m)", i),
                    FormatA("Prismenh\xC3\xB6he %u (m)", i)};
    }
}

const Catalog& Workload() {
    static const Catalog catalog = [] {
        const unsigned n = static_cast<unsigned>(fieldkit::bench::Size(20000, 200));
        Catalog c;
        std::string po =
            "# Survey application, German\n"
            "msgid \"\"\n"
            "msgstr \"\"\n"
            "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
            "\"Language: de\\n\"\n\n";
        for (unsigned i = 0; i < n; ++i) {
            const auto [id, str] = Entry(i);
            AppendFormat(po, "#: src/survey/dialog_%02u.cpp:%u\n", i % 40, 100 + i);
            AppendEntryLine(po, "msgid", id);
            AppendEntryLine(po, "msgstr", str);
            po += '\n';
            c.pairs.emplace_back(fieldkit::Utf8ToWide(id), fieldkit::Utf8ToWide(str));
        }
        c.path = fieldkit::bench::WorkPath("survey.de.po");
        fieldkit::bench::WriteFile(c.path, po);
        c.devicePath = fieldkit::Utf8ToWide(c.path);
        c.order.resize(c.pairs.size());
        for (std::size_t i = 0; i < c.order.size(); ++i)
            c.order[i] = i;
        std::shuffle(c.order.begin(), c.order.end(), std::mt19937_64(fieldkit::bench::kSeed));
        // Host paths serve as device paths when the device root is "/".
        fieldkit::host::SetDeviceRoot("/");
        return c;
    }();
    return catalog;
}

void Finish(benchmark::State& state, std::size_t entries) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(entries));
    state.counters["entries"] = static_cast<double>(entries);
}

void AttachFieldkit(benchmark::State& state) {
    const Catalog& c = Workload();
    FreeTranslations();
    for (auto _ : state) {
        AttachTranslationFile(c.devicePath.c_str());
        state.PauseTiming();
        FreeTranslations();
        state.ResumeTiming();
    }
    Finish(state, c.pairs.size());
}
BENCHMARK(AttachFieldkit)
    ->Name("catalogs/attach/fieldkit")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void AttachFreeFieldkit(benchmark::State& state) {
    const Catalog& c = Workload();
    FreeTranslations();
    for (auto _ : state) {
        AttachTranslationFile(c.devicePath.c_str());
        FreeTranslations();
    }
    Finish(state, c.pairs.size());
}
BENCHMARK(AttachFreeFieldkit)
    ->Name("catalogs/attach_free/fieldkit")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void LookupFieldkit(benchmark::State& state) {
    const Catalog& c = Workload();
    FreeTranslations();
    AttachTranslationFile(c.devicePath.c_str());
    std::size_t wrong = 0;
    for (const auto& [id, str] : c.pairs)
        wrong += ugettext(id.c_str()).GetStdString() != str ? 1u : 0u;
    if (wrong != 0) {
        state.SkipWithError("ugettext did not find every translation");
        FreeTranslations();
        return;
    }
    for (auto _ : state) {
        for (const std::size_t i : c.order)
            benchmark::DoNotOptimize(ugettext(c.pairs[i].first.c_str()));
    }
    FreeTranslations();
    Finish(state, c.pairs.size());
}
BENCHMARK(LookupFieldkit)->Name("catalogs/lookup/fieldkit")->Unit(benchmark::kMillisecond);

void LookupUnorderedMap(benchmark::State& state) {
    const Catalog& c = Workload();
    const std::unordered_map<std::wstring, std::wstring> map(c.pairs.begin(), c.pairs.end());
    for (auto _ : state) {
        for (const std::size_t i : c.order) {
            const auto& entry = c.pairs[i];
            const auto it = map.find(entry.first);
            std::wstring result = it != map.end() ? it->second : entry.first;
            benchmark::DoNotOptimize(result);
        }
    }
    Finish(state, c.pairs.size());
}
BENCHMARK(LookupUnorderedMap)->Name("catalogs/lookup/unordered_map")->Unit(benchmark::kMillisecond);

}  // namespace
