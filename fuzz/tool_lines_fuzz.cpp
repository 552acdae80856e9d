// Streams arbitrary bytes through the tool's line-by-line conversion, with the command and the
// frame's options chosen by the first five bytes:
//
//   0  the command, and its reading mode (checked, --lenient, --strict) or another option of
//      its own
//   1  bit 0 --keep-going, bit 1 --header, bit 2 --delimiter, bit 3 --fields
//   2  the delimiter character (U+0000 to U+00FF)
//   3  the header lines, 0 to 3
//   4  the value columns: a choice and order out of columns 1 to 5
//
// and checks what comes out: status 0 with nothing on standard error, or 2 with lines that
// each begin "fieldkit: COMMAND: " and give a reason; standard error valid UTF-8 without a
// control character but the line feeds; standard output valid UTF-8 without a CR, one line
// for each line in (all of them when the run went to the end). Each line is also read as an
// angle, latitude and longitude, a height and a station in every mode: a refusal always has a
// reason, a value is finite, a text that strict mode takes reads to the same double in checked
// mode, and the reasons check-dms gives follow the library's own check.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fieldkit/angles/angle_parse.h"
#include "fieldkit/logging/app_log.h"
#include "fieldkit/text/codepage.h"
#include "fuzz/fuzz_support.h"
#include "tools/fieldkit/cli.h"
#include "typed/reading.h"

namespace {

struct Choice {
    const char* name;
    std::size_t arity;
    const char* flag;  // an option of its own, taken every other time; nullptr for none
    bool reads;        // reads typed text: checked, --lenient or --strict in turn
};

const Choice kCommands[] = {
    {"lat", 1, "--tenths", false},     {"xyz", 3, nullptr, false},
    {"blh", 3, "--plain", false},      {"parse-lat", 1, nullptr, true},
    {"parse-angle", 1, nullptr, true}, {"parse-lon", 1, nullptr, true},
    {"height", 1, "--metres", true},   {"station", 1, nullptr, true},
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

bool Same(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The readers of typed text, on one line in every mode.
void CheckReadings(const std::wstring& text) {
    using fieldkit::typed::Mode;
    using fieldkit::typed::Reading;
    for (const auto axis : {fieldkit::typed::Axis::kAngle, fieldkit::typed::Axis::kNorthSouth,
                            fieldkit::typed::Axis::kEastWest}) {
        const Reading lenient = ReadAngle(text, axis, Mode::kLenient);
        const Reading checked = ReadAngle(text, axis, Mode::kChecked);
        const Reading strict = ReadAngle(text, axis, Mode::kStrict);
        // Lenient is the library's reading: every text gives a number, refused only when that
        // number is an infinity ("1e500"), which no caller could use.
        FUZZ_CHECK(lenient.ok ? std::isfinite(lenient.value)
                              : lenient.why == "too large a number (it reads as infinity)");
        for (const Reading* r : {&checked, &strict})
            FUZZ_CHECK(r->ok ? std::isfinite(r->value) && r->why.empty() : !r->why.empty());
        if (strict.ok) FUZZ_CHECK(checked.ok && Same(strict.value, checked.value));
    }
    // Heights and stations read alike in checked and strict mode.
    const Reading height = ReadHeight(text, Mode::kChecked);
    const Reading strictHeight = ReadHeight(text, Mode::kStrict);
    FUZZ_CHECK(height.ok == strictHeight.ok && height.why == strictHeight.why &&
               Same(height.value, strictHeight.value));
    FUZZ_CHECK(height.ok ? std::isfinite(height.value) : !height.why.empty());
    const Reading station = ReadStation(text, 100, Mode::kChecked);
    FUZZ_CHECK(station.ok ? std::isfinite(station.value) : !station.why.empty());
    for (const wchar_t* maximum : {L"90", L"360"}) {
        FUZZ_CHECK(fieldkit::typed::DmsCheckProblem(text, maximum, true).empty() ==
                   CheckValidDMSVal(CString(text.c_str()), CString(maximum), true));
    }
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
    if (c.reads && (data[0] / kChoices) % 3 > 0)
        args.push_back((data[0] / kChoices) % 3 == 1 ? L"--lenient" : L"--strict");
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

    // The readers on each line, as UTF-8 or else Windows-1252, as the frame decodes it.
    for (std::size_t start = 0; start < input.size();) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        const std::string line = input.substr(start, end - start);
        CheckReadings(IsUtf8(line) ? fieldkit::Utf8ToWide(line) : fieldkit::AnsiToWide(line));
        start = end + 1;
    }

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
