// The conversion frame: the values given as arguments, or standard input streamed line by line
// through a conversion, with value columns picked out and the others passed through, comment and
// header lines kept, and bad lines stopped at or marked.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"

namespace fieldkit::tool {

using fieldkit::detail::FormatA;

namespace {

// A longer line is bad; reading never keeps more than this and one block, so memory stays flat
// whatever the input.
constexpr std::size_t kMaxLine = std::size_t{1} << 20;
constexpr std::size_t kReadBlock = std::size_t{64} << 10;

// ---- Lines -----------------------------------------------------------------------------------

// Standard input as lines, read a block at a time.
class LineReader {
  public:
    enum class Got { kLine, kTooLong, kEnd, kFailed };

    explicit LineReader(Streams& io) : io_(io) {}
    // The next line without its end (LF or CR LF), valid until the next call. A line over
    // kMaxLine comes back as kTooLong, and the rest of it is skipped.
    Got Next(std::string_view& line);

  private:
    void Refill();

    Streams& io_;
    std::string buffer_;
    std::size_t start_ = 0;    // where the next line begins
    std::size_t scanned_ = 0;  // no line feed between start_ and here
    bool end_ = false;
    bool failed_ = false;
    bool skipping_ = false;  // within a line that was too long
    bool first_ = true;
};

void LineReader::Refill() {
    buffer_.erase(0, start_);
    scanned_ -= start_;
    start_ = 0;
    const std::size_t kept = buffer_.size();
    buffer_.resize(kept + kReadBlock);
    const long got = io_.Read(&buffer_[kept], kReadBlock);
    buffer_.resize(kept + static_cast<std::size_t>(std::max(got, 0L)));
    end_ = got <= 0;
    failed_ = got < 0;
}

LineReader::Got LineReader::Next(std::string_view& line) {
    for (;;) {
        std::size_t stop = buffer_.find('\n', scanned_);
        if (stop == std::string::npos) {
            scanned_ = buffer_.size();
            if (skipping_) {
                buffer_.clear();
                start_ = scanned_ = 0;
            } else if (buffer_.size() - start_ > kMaxLine) {
                skipping_ = true;
                first_ = false;
                return Got::kTooLong;
            }
            if (!end_) {
                Refill();
                continue;
            }
            if (failed_) return Got::kFailed;
            if (start_ == buffer_.size()) return Got::kEnd;
            stop = buffer_.size();  // the last line has no line feed
        }
        line = std::string_view(buffer_).substr(start_, stop - start_);
        start_ = scanned_ = std::min(stop + 1, buffer_.size());
        if (skipping_) {
            skipping_ = false;
            continue;
        }
        if (first_ && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.remove_prefix(3);
        first_ = false;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line.size() > kMaxLine ? Got::kTooLong : Got::kLine;
    }
}

// ---- Columns ---------------------------------------------------------------------------------

// How the lines of standard input are laid out.
struct Layout {
    std::vector<std::size_t> fields;  // the value columns, from 0; empty: the whole line
    std::string delimiter;            // empty: runs of blanks and tabs, joined by one blank
    std::size_t header = 0;           // lines printed as they stand
    bool keepGoing = false;
    std::size_t results = 1;  // result columns per line
};

std::string Joiner(const Layout& layout) {
    return layout.delimiter.empty() ? " " : layout.delimiter;
}

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

std::vector<std::string_view> SplitColumns(std::string_view line, const std::string& delimiter) {
    std::vector<std::string_view> columns;
    if (!delimiter.empty()) {
        for (std::size_t start = 0;;) {
            const std::size_t at = line.find(delimiter, start);
            columns.push_back(line.substr(start, at - start));
            if (at == std::string_view::npos) return columns;
            start = at + delimiter.size();
        }
    }
    for (std::size_t i = 0;;) {
        while (i < line.size() && IsBlankOrTab(line[i]))
            ++i;
        if (i == line.size()) return columns;
        const std::size_t start = i;
        while (i < line.size() && !IsBlankOrTab(line[i]))
            ++i;
        columns.push_back(line.substr(start, i - start));
    }
}

// Values separated by blanks, or by one comma with blanks around it.
bool SplitValues(const std::wstring& text, Fields& values) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    for (;;) {
        while (i < n && IsBlank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < n && !IsBlank(text[i]) && text[i] != L',')
            ++i;
        if (i == start) return false;
        values.push_back(text.substr(start, i - start));
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i == n) return true;
        if (text[i] == L',') ++i;
    }
}

// The values of a text that holds nothing else: one value as a whole, or several separated by
// the delimiter (without one, by blanks or a comma).
bool WholeTextValues(const Command& c, const std::wstring& text, const std::string& delimiter,
                     Fields& values, std::string& why) {
    if (c.arity == 1) {
        values.push_back(Trim(text));
        return true;
    }
    if (delimiter.empty()) {
        if (!SplitValues(text, values)) {
            why = "empty value in " + Quote(text);
            return false;
        }
    } else {
        // Named: the columns are views into it.
        const std::string utf8 = WideToUtf8(text);
        for (const std::string_view column : SplitColumns(utf8, delimiter))
            values.push_back(Trim(Utf8ToWide(column)));
    }
    if (values.size() != c.arity) {
        why = FormatA("expected %zu values, found %zu in ", c.arity, values.size()) + Quote(text);
        return false;
    }
    return true;
}

// The line's columns (with --fields) and the values the conversion reads.
bool LineValues(const Command& c, const Layout& layout, std::string_view line,
                std::vector<std::string_view>& columns, Fields& values, std::string& why) {
    if (layout.fields.empty())
        return WholeTextValues(c, Utf8ToWide(line), layout.delimiter, values, why);
    columns = SplitColumns(line, layout.delimiter);
    for (const std::size_t f : layout.fields) {
        if (f >= columns.size()) {
            why = FormatA("no column %zu (the line has %zu)", f + 1, columns.size());
            return false;
        }
        values.push_back(Trim(Utf8ToWide(columns[f])));
    }
    return true;
}

std::vector<std::string> ResultColumns(const Result& r) {
    return r.columns.empty() ? std::vector<std::string>{r.text} : r.columns;
}

std::string Join(const std::vector<std::string>& parts, const std::string& joiner) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : joiner) + parts[i];
    return text;
}

// The output line: the results in place of the value columns, one for one when there are as
// many, else all where the first value column stood; every other column as it stands.
std::string Assemble(const Layout& layout, const std::vector<std::string_view>& columns,
                     const std::vector<std::string>& results) {
    const std::string joiner = Joiner(layout);
    if (layout.fields.empty()) return Join(results, joiner);
    const bool oneForOne = results.size() == layout.fields.size();
    std::size_t count = columns.size();
    for (const std::size_t f : layout.fields)
        count = std::max(count, f + 1);  // a marked bad line may lack value columns
    std::vector<std::string> out;
    for (std::size_t i = 0; i < count; ++i) {
        const auto at = std::find(layout.fields.begin(), layout.fields.end(), i);
        if (at == layout.fields.end()) {
            out.emplace_back(i < columns.size() ? columns[i] : std::string_view());
        } else if (oneForOne) {
            out.push_back(results[static_cast<std::size_t>(at - layout.fields.begin())]);
        } else if (at == layout.fields.begin()) {
            out.insert(out.end(), results.begin(), results.end());
        }
    }
    return Join(out, joiner);
}

// ---- Options ---------------------------------------------------------------------------------

bool ReadFieldList(const std::wstring& list, std::size_t arity, std::vector<std::size_t>& fields,
                   std::string& error) {
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(L',', start);
        long long column = 0;
        Result why;
        if (!ReadWhole(list.substr(start, comma - start), {1, 1e6}, column, why)) {
            error = "not a list of column numbers from 1: " + Quote(list);
            return false;
        }
        const auto index = static_cast<std::size_t>(column - 1);
        if (std::find(fields.begin(), fields.end(), index) != fields.end()) {
            error = FormatA("column %lld is named twice", column);
            return false;
        }
        fields.push_back(index);
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    if (fields.size() != arity) {
        error = FormatA("the command reads %zu value%s, the list names %zu", arity,
                        arity == 1 ? "" : "s", fields.size());
        return false;
    }
    return true;
}

bool MakeLayout(const Command& c, const Settings& s, Layout& layout, std::string& error) {
    layout.keepGoing = s.Has("--keep-going");
    layout.header = static_cast<std::size_t>(s.Value("--header", 0));
    layout.results = c.results != nullptr ? c.results(s) : 1;
    if (s.Has("--delimiter")) {
        const std::wstring d = s.Text("--delimiter", L"");
        if (d.size() != 1 || d[0] == L'\n' || d[0] == L'\r' || d[0] == L'\0') {
            error = "--delimiter: one character, not " + Quote(d);
            return false;
        }
        layout.delimiter = WideToUtf8(d);
    }
    if (s.Has("--fields") &&
        !ReadFieldList(s.Text("--fields", L""), c.arity, layout.fields, error)) {
        error = "--fields: " + error;
        return false;
    }
    return true;
}

Outcome Refused(const Command& c, const std::string& why) {
    Outcome o;
    o.status = kExitBadInput;
    o.err = std::string("fieldkit: ") + c.name + ": " + why + "\n";
    return o;
}

// ---- Converting ------------------------------------------------------------------------------

// Every value is converted before anything is printed, so a bad one leaves the output empty.
Outcome ConvertOperands(const Command& c, const std::vector<std::wstring>& operands,
                        const Settings& s) {
    std::vector<Fields> records;
    std::string why;
    if (c.arity == 1) {
        for (const std::wstring& op : operands)
            records.push_back(Fields{Trim(op)});
    } else {
        // "45.5 -73.5 100", "45.5,-73.5,100" and three arguments all mean the same point.
        std::wstring joined;
        for (const std::wstring& op : operands)
            joined += (joined.empty() ? L"" : L" ") + op;
        records.emplace_back();
        if (!WholeTextValues(c, joined, std::string(), records.back(), why)) return Refused(c, why);
    }
    Outcome o;
    for (const Fields& values : records) {
        const Result r = c.convert(values, s);
        if (!r.ok) return Refused(c, r.text);
        o.out += Join(ResultColumns(r), " ") + "\n";
    }
    return o;
}

bool PassesThrough(const Layout& layout, std::size_t number, std::string_view line) {
    return number <= layout.header || line.find_first_not_of(" \t") == std::string_view::npos ||
           line[0] == '#';
}

// The output of one line; false with the reason when the line is bad, `out` then holding it
// marked with '*' for each result column.
bool ConvertLine(const Command& c, const Settings& s, const Layout& layout, std::string_view line,
                 std::string& out, std::string& why) {
    std::vector<std::string_view> columns;
    Fields values;
    Result r;
    if (LineValues(c, layout, line, columns, values, r.text))
        r = c.convert(values, s);
    else
        r.ok = false;
    if (!r.ok) {
        why = r.text;
        out = Assemble(layout, columns, std::vector<std::string>(layout.results, "*"));
        return false;
    }
    out = Assemble(layout, columns, ResultColumns(r));
    return true;
}

Outcome ConvertLines(const Command& c, const Settings& s, const Layout& layout, Streams& io) {
    Outcome o;
    LineReader reader(io);
    std::string out;
    for (std::size_t number = 1;; ++number) {
        std::string_view line;
        const LineReader::Got got = reader.Next(line);
        if (got == LineReader::Got::kEnd) break;
        if (got == LineReader::Got::kFailed) {
            io.Error(std::string("fieldkit: ") + c.name + ": cannot read standard input\n");
            o.status = kExitBadInput;
            return o;
        }
        std::string why;
        if (got == LineReader::Got::kTooLong) {
            // The line is not kept, so a marked one has only its result columns.
            why = "longer than 1 MiB";
            out = Join(std::vector<std::string>(layout.results, "*"), Joiner(layout));
        } else if (PassesThrough(layout, number, line)) {
            out = line;
        } else {
            ConvertLine(c, s, layout, line, out, why);
        }
        const std::string message =
            why.empty() ? why : FormatA("fieldkit: %s: line %zu: ", c.name, number) + why + "\n";
        if (!message.empty() && !layout.keepGoing) {
            io.Error(message);  // after every line before it
            o.status = kExitBadInput;
            return o;
        }
        out += '\n';
        if (!io.Write(out)) {
            o.status = kExitCannotWrite;
            return o;
        }
        if (!message.empty()) {
            io.Error(message);
            o.status = kExitBadInput;
        }
    }
    if (!io.Flush()) o.status = kExitCannotWrite;
    return o;
}

}  // namespace

bool ConvertsValues(const Command& c) {
    return c.action == nullptr && c.arity > 0;
}

const std::vector<OptionSpec>& FrameOptions() {
    constexpr Range kNone = {0, 0};
    static const std::vector<OptionSpec> options = {
        {"--fields", "LIST", "the value columns, 1-based, comma-separated (xyz: 2,3,4)", 0, kNone,
         false, true, "-f"},
        {"--delimiter", "C", "columns separated by the one character C, in and out", 0, kNone,
         false, true, "-d"},
        {"--header", "N", "print the first N lines unchanged", 0, {0, 1e9}, true},
        {"--keep-going", nullptr, "print a bad line with '*' for each result, and go on", 0, kNone,
         false, false, "-k"},
    };
    return options;
}

Outcome ConvertValues(const Command& c, const std::vector<std::wstring>& operands,
                      const Settings& settings, Streams& io) {
    if (operands.empty())
        return Refused(c, "missing value (see 'fieldkit " + std::string(c.name) + " --help')");
    if (operands.size() > 1 || operands[0] != L"-") {
        if (std::find(operands.begin(), operands.end(), L"-") != operands.end())
            return Refused(c, "'-' (standard input) must be the only value");
        for (const OptionSpec& o : FrameOptions()) {
            if (settings.Has(o.name))
                return Refused(c, std::string(o.name) + " is for standard input ('-') only");
        }
        return ConvertOperands(c, operands, settings);
    }
    Layout layout;
    std::string error;
    if (!MakeLayout(c, settings, layout, error)) return Refused(c, error);
    return ConvertLines(c, settings, layout, io);
}

}  // namespace fieldkit::tool
