// Streams arbitrary bytes through the tool's line-by-line conversion, with the command and the
// frame's options chosen by the first five bytes:
//
//   0  the command (and --strict or --plain where it has them)
//   1  bit 0 --keep-going, bit 1 --header, bit 2 --delimiter, bit 3 --fields
//   2  the delimiter character (U+0000 to U+00FF)
//   3  the header lines, 0 to 3
//   4  the value columns: a choice and order out of columns 1 to 5
//
// and checks what comes out: status 0 with nothing on standard error, or 2 with lines that
// each begin "fieldkit: COMMAND: " and give a reason; standard error valid UTF-8 without a
// control character but the line feeds; standard output valid UTF-8 without a CR, one line
// for each line in (all of them when the run went to the end).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fieldkit/logging/app_log.h"
#include "fieldkit/text/codepage.h"
#include "fuzz/fuzz_support.h"
#include "tools/fieldkit/cli.h"

namespace {

struct Choice {
    const char* name;
    std::size_t arity;
    const char* flag;  // an option of its own, taken every other time; nullptr for none
};

const Choice kCommands[] = {
    {"lat", 1, "--tenths"},         {"xyz", 3, nullptr},
    {"blh", 3, "--plain"},          {"parse-lat", 1, "--strict"},
    {"parse-angle", 1, "--strict"}, {"height", 1, "--metres"},
    {"station", 1, nullptr},
};
constexpr std::size_t kChoices = sizeof kCommands / sizeof kCommands[0];

// Valid UTF-8 by an independent test: decoding and encoding again gives the same bytes.
bool IsUtf8(const std::string& text) {
    return fieldkit::WideToUtf8(fieldkit::Utf8ToWide(text)) == text;
}

bool HasControl(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b < 0x20 && b != '\n') || b == 0x7F) return true;
        if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0)
            return true;  // U+0080 to U+009F
    }
    return false;
}

// The lines of the input as the tool counts them (LF, CR LF or CR ends one), for input that is
// not UTF-16.
std::size_t LinesIn(const std::string& input) {
    std::size_t lines = 0;
    bool open = false;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '\n' || input[i] == '\r') {
            if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') ++i;
            ++lines;
            open = false;
        } else {
            open = true;
        }
    }
    return lines + (open ? 1 : 0);
}

std::size_t Count(const std::string& text, char c) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        fieldkit::host::SetApplicationLog(false);
        return true;
    }();
    (void)quiet;
    if (size < 5) return 0;
    const Choice& c = kCommands[data[0] % kChoices];
    const unsigned flags = data[1];
    std::vector<std::wstring> args = {fieldkit::Utf8ToWide(c.name)};
    if (c.flag != nullptr && (data[0] / kChoices) % 2 == 1)
        args.push_back(fieldkit::Utf8ToWide(c.flag));
    const bool keepGoing = (flags & 1) != 0;
    if (keepGoing) args.push_back(L"-k");
    if ((flags & 2) != 0) args.insert(args.end(), {L"--header", std::to_wstring(data[3] % 4)});
    if ((flags & 4) != 0) args.insert(args.end(), {L"-d", std::wstring(1, wchar_t{data[2]})});
    if ((flags & 8) != 0) {
        // The permutation of columns 1 to 5 numbered data[4] % 120; its first `arity` name the
        // values.
        std::vector<int> columns = {1, 2, 3, 4, 5};
        for (unsigned n = data[4] % 120u; n > 0; --n)
            std::next_permutation(columns.begin(), columns.end());
        std::wstring list;
        for (std::size_t k = 0; k < c.arity; ++k)
            list += (k > 0 ? L"," : L"") + std::to_wstring(columns[k]);
        args.insert(args.end(), {L"-f", list});
    }
    args.push_back(L"-");
    const std::string input = fuzz::Bytes(data + 5, size - 5);

    fieldkit::tool::MemoryStreams io(input);
    const fieldkit::tool::Outcome o = fieldkit::tool::Run(args, io);
    const std::string out = io.out + o.out, err = io.err + o.err;

    FUZZ_CHECK(o.status == 0 || o.status == fieldkit::tool::kExitBadInput);
    if (o.status == 0) FUZZ_CHECK(err.empty());
    if (o.status != 0) {
        FUZZ_CHECK(!err.empty() && err.back() == '\n');
        const std::string prefix = std::string("fieldkit: ") + c.name + ": ";
        for (std::size_t start = 0; start < err.size();) {
            const std::size_t end = err.find('\n', start);
            const std::string line = err.substr(start, end - start);
            FUZZ_CHECK(line.compare(0, prefix.size(), prefix) == 0);
            FUZZ_CHECK(line.size() > prefix.size() && line.back() != ' ' && line.back() != ':');
            start = end + 1;
        }
    }
    FUZZ_CHECK(IsUtf8(err));
    FUZZ_CHECK(!HasControl(err));
    FUZZ_CHECK(IsUtf8(out));
    FUZZ_CHECK(out.find('\r') == std::string::npos);
    // One line out for each line in, up to the bad line that stopped the run.
    const bool utf16 = input.compare(0, 2, "\xFF\xFE") == 0 || input.compare(0, 2, "\xFE\xFF") == 0;
    const bool usage = o.status != 0 && Count(out, '\n') == 0 && Count(err, '\n') == 1 &&
                       err.find(": line ") == std::string::npos;
    if (!utf16 && !usage) {
        const std::size_t lines = LinesIn(input);
        if (o.status == 0 || keepGoing)
            FUZZ_CHECK(Count(out, '\n') == lines);
        else
            FUZZ_CHECK(Count(out, '\n') + 1 <= lines && Count(err, '\n') == 1);
    }
    return 0;
}
