// The conversion frame: the values given as arguments, or standard input streamed line by line
// through a conversion, with value columns picked out and the others passed through, comment and
// header lines kept, and bad lines stopped at or marked.
#include <algorithm>
#include <cstring>
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

// Standard input as UTF-8 lines, read a block at a time: UTF-16 (after its byte-order mark) is
// transcoded as it arrives, and a line that is not UTF-8 is taken as Windows-1252.
class LineReader {
  public:
    enum class Got { kLine, kTooLong, kEnd, kFailed };

    explicit LineReader(Streams& io) : io_(io) {}
    // The next line without its end (LF, CR LF or CR), valid until the next call. A line over
    // kMaxLine comes back as kTooLong, and the rest of it is skipped.
    Got Next(std::string_view& line);

  private:
    enum class Encoding { kUnknown, kUtf8, kUtf16Le, kUtf16Be };

    void Refill();
    void Append(std::string& into);
    void Transcode();
    std::size_t LineEnd() const;

    Streams& io_;
    Encoding encoding_ = Encoding::kUnknown;
    std::string buffer_;  // UTF-8 from start_ on
    std::string raw_;     // UTF-16 bytes not transcoded yet
    char32_t high_ = 0;   // a high surrogate waiting for its low half
    std::string decoded_;
    std::size_t start_ = 0;    // where the next line begins
    std::size_t scanned_ = 0;  // no line end between start_ and here
    bool end_ = false;
    bool failed_ = false;
    bool skipping_ = false;  // within a line that was too long
    bool first_ = true;
};

// Reads one block onto the end of `into`.
void LineReader::Append(std::string& into) {
    const std::size_t kept = into.size();
    into.resize(kept + kReadBlock);
    const long got = io_.Read(&into[kept], kReadBlock);
    into.resize(kept + std::min(static_cast<std::size_t>(std::max(got, 0L)), kReadBlock));
    end_ = got <= 0;
    failed_ = got < 0;
}

void LineReader::Refill() {
    buffer_.erase(0, start_);
    scanned_ -= start_;
    start_ = 0;
    if (encoding_ == Encoding::kUtf8) {
        Append(buffer_);
        return;
    }
    if (encoding_ == Encoding::kUnknown) {
        while (!end_ && raw_.size() < 2)
            Append(raw_);
        encoding_ = raw_.compare(0, 2, "\xFF\xFE") == 0   ? Encoding::kUtf16Le
                    : raw_.compare(0, 2, "\xFE\xFF") == 0 ? Encoding::kUtf16Be
                                                          : Encoding::kUtf8;
        if (encoding_ == Encoding::kUtf8) {
            buffer_.swap(raw_);
            raw_.shrink_to_fit();
            return;
        }
    } else {
        Append(raw_);
    }
    Transcode();
}

// The whole UTF-16 units of raw_ onto buffer_ as UTF-8; a surrogate without its other half, and
// an odd byte at the end, as U+FFFD.
void LineReader::Transcode() {
    const bool little = encoding_ == Encoding::kUtf16Le;
    std::size_t i = 0;
    for (; i + 1 < raw_.size(); i += 2) {
        const auto a = static_cast<unsigned char>(raw_[i]);
        const auto b = static_cast<unsigned char>(raw_[i + 1]);
        const char32_t unit = little ? (char32_t{b} << 8 | a) : (char32_t{a} << 8 | b);
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high_ != 0) {
            if (low) {
                AppendUtf8(buffer_, 0x10000 + ((high_ - 0xD800) << 10) + (unit - 0xDC00));
                high_ = 0;
                continue;
            }
            AppendUtf8(buffer_, 0xFFFD);
            high_ = 0;
        }
        if (unit < 0x80)
            buffer_ += static_cast<char>(unit);
        else if (unit >= 0xD800 && unit <= 0xDBFF)
            high_ = unit;
        else
            AppendUtf8(buffer_, low ? char32_t{0xFFFD} : unit);
    }
    raw_.erase(0, i);
    if (end_) {
        if (high_ != 0) AppendUtf8(buffer_, 0xFFFD);
        if (!raw_.empty()) AppendUtf8(buffer_, 0xFFFD);
        high_ = 0;
        raw_.clear();
    }
}

// The first CR or LF from scanned_ on, or npos.
std::size_t LineReader::LineEnd() const {
    const char* const from = buffer_.data() + scanned_;
    const std::size_t left = buffer_.size() - scanned_;
    const void* lf = std::memchr(from, '\n', left);
    const std::size_t upto =
        lf == nullptr ? left : static_cast<std::size_t>(static_cast<const char*>(lf) - from);
    const void* cr = std::memchr(from, '\r', upto);
    if (cr != nullptr)
        return scanned_ + static_cast<std::size_t>(static_cast<const char*>(cr) - from);
    return lf == nullptr ? std::string::npos : scanned_ + upto;
}

LineReader::Got LineReader::Next(std::string_view& line) {
    for (;;) {
        std::size_t stop = LineEnd();
        // A CR at the end of what is there may be the first half of a CR LF.
        const bool open = stop == std::string::npos ||
                          (buffer_[stop] == '\r' && stop + 1 == buffer_.size() && !end_);
        if (open) {
            scanned_ = stop == std::string::npos ? buffer_.size() : stop;
            if (skipping_) {
                buffer_.erase(0, scanned_);
                start_ = scanned_ = 0;
            } else if (scanned_ - start_ > kMaxLine) {
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
            stop = buffer_.size();  // the last line has no line end
        }
        std::size_t next = std::min(stop + 1, buffer_.size());
        if (next < buffer_.size() && buffer_[stop] == '\r' && buffer_[next] == '\n') ++next;
        line = std::string_view(buffer_).substr(start_, stop - start_);
        start_ = scanned_ = next;
        if (skipping_) {
            skipping_ = false;
            continue;
        }
        if (first_ && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.remove_prefix(3);
        first_ = false;
        if (line.size() > kMaxLine) return Got::kTooLong;
        if (!IsUtf8(line)) {
            decoded_ = WideToUtf8(AnsiToWide(line));
            line = decoded_;
        }
        return Got::kLine;
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

std::string_view Joiner(const Layout& layout) {
    return layout.delimiter.empty() ? std::string_view(" ") : std::string_view(layout.delimiter);
}

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

// Into `columns`, as views on the line.
void SplitColumns(std::string_view line, const std::string& delimiter,
                  std::vector<std::string_view>& columns) {
    columns.clear();
    if (!delimiter.empty()) {
        for (std::size_t start = 0;;) {
            const std::size_t at = line.find(delimiter, start);
            columns.push_back(line.substr(start, at - start));
            if (at == std::string_view::npos) return;
            start = at + delimiter.size();
        }
    }
    const char* const end = line.data() + line.size();
    for (const char* p = line.data();;) {
        while (p != end && IsBlankOrTab(*p))
            ++p;
        if (p == end) return;
        const char* const start = p;
        while (p != end && !IsBlankOrTab(*p))
            ++p;
        columns.emplace_back(start, static_cast<std::size_t>(p - start));
    }
}

// The value of a column: its UTF-8 text as wide text without the blanks around it, made in
// `value`'s own storage. The blanks are ASCII, which the decoder never takes into a
// sequence, so trimming before decoding gives what trimming after would.
void SetValue(std::string_view utf8, std::wstring& value) {
    // IsBlank's characters, tested here on bytes.
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t first = 0;
    std::size_t last = utf8.size();
    while (first < last && blank(utf8[first]))
        ++first;
    while (last > first && blank(utf8[last - 1]))
        --last;
    utf8 = utf8.substr(first, last - first);
    // ASCII decodes to itself; anything else goes through the decoder.
    value.resize(utf8.size());
    unsigned bits = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        bits |= static_cast<unsigned char>(utf8[i]);
        value[i] = static_cast<wchar_t>(utf8[i]);
    }
    if ((bits & 0x80) != 0) value = Utf8ToWide(utf8);
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
    if (c.Arity() == 1) {
        values.push_back(Trim(text));
        return true;
    }
    if (delimiter.empty()) {
        if (!SplitValues(text, values)) {
            why = "empty value in " + Quote(text);
            return false;
        }
    } else {
        std::vector<std::string_view> columns;
        const std::string utf8 = WideToUtf8(text);
        SplitColumns(utf8, delimiter, columns);
        values.resize(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i)
            SetValue(columns[i], values[i]);
    }
    if (values.size() != c.Arity()) {
        why = FormatA("expected %zu values, found %zu in ", c.Arity(), values.size()) + Quote(text);
        return false;
    }
    return true;
}

// What converting a line keeps from one line to the next, so that in the steady state it
// allocates nothing of its own.
struct Scratch {
    std::vector<std::string_view> columns;  // views on the line
    Fields values;
    std::string out;  // the output line
};

// The line's columns (with --fields) and the values the conversion reads.
bool LineValues(const Command& c, const Layout& layout, std::string_view line, Scratch& t,
                std::string& why) {
    if (layout.fields.empty()) {
        if (c.Arity() > 1) {
            t.values.clear();
            return WholeTextValues(c, Utf8ToWide(line), layout.delimiter, t.values, why);
        }
        t.values.resize(1);
        SetValue(line, t.values[0]);
        return true;
    }
    SplitColumns(line, layout.delimiter, t.columns);
    t.values.resize(layout.fields.size());
    for (std::size_t k = 0; k < layout.fields.size(); ++k) {
        const std::size_t f = layout.fields[k];
        if (f >= t.columns.size()) {
            why = FormatA("no column %zu (the line has %zu)", f + 1, t.columns.size());
            return false;
        }
        SetValue(t.columns[f], t.values[k]);
    }
    return true;
}

// A conversion's results, or for a bad line (`r` null) a '*' for each result column.
class Results {
  public:
    Results(const Layout& layout, const Result* r)
        : r_(r),
          count_(r == nullptr         ? layout.results
                 : r->columns.empty() ? 1
                                      : r->columns.size()) {}
    std::size_t size() const { return count_; }
    std::string_view operator[](std::size_t i) const {
        if (r_ == nullptr) return "*";
        return r_->columns.empty() ? std::string_view(r_->text) : r_->columns[i];
    }

  private:
    const Result* r_;
    std::size_t count_;
};

void AppendJoined(const Results& results, std::string_view joiner, std::string& out) {
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (i > 0) out += joiner;
        out += results[i];
    }
}

// The output line, in `out`: the results in place of the value columns, one for one when there
// are as many, else all where the first value column stood; every other column as it stands.
void Assemble(const Layout& layout, const std::vector<std::string_view>& columns,
              const Results& results, std::string& out) {
    const std::string_view joiner = Joiner(layout);
    out.clear();
    if (layout.fields.empty()) {
        AppendJoined(results, joiner, out);
        return;
    }
    const bool oneForOne = results.size() == layout.fields.size();
    std::size_t count = columns.size();
    for (const std::size_t f : layout.fields)
        count = std::max(count, f + 1);  // a marked bad line may lack value columns
    bool first = true;
    const auto put = [&](std::string_view part) {
        if (!first) out += joiner;
        first = false;
        out += part;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const auto at = std::find(layout.fields.begin(), layout.fields.end(), i);
        if (at == layout.fields.end()) {
            put(i < columns.size() ? columns[i] : std::string_view());
        } else if (oneForOne) {
            put(results[static_cast<std::size_t>(at - layout.fields.begin())]);
        } else if (at == layout.fields.begin()) {
            for (std::size_t k = 0; k < results.size(); ++k)
                put(results[k]);
        }
    }
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
        !ReadFieldList(s.Text("--fields", L""), c.Arity(), layout.fields, error)) {
        error = "--fields: " + error;
        return false;
    }
    return true;
}

// The reason of a failed conversion, naming the value it is about when the record has several.
std::string Reason(const Command& c, const Result& r) {
    if (r.value == kWholeRecord || c.Arity() < 2) return r.text;
    return std::string(c.values[r.value]) + ": " + r.text;
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
    if (c.Arity() == 1) {
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
        if (!r.ok) return Refused(c, Reason(c, r));
        if (r.negative) o.status = kExitNo;
        AppendJoined(Results(Layout(), &r), " ", o.out);
        o.out += '\n';
    }
    return o;
}

bool PassesThrough(const Layout& layout, std::size_t number, std::string_view line) {
    return number <= layout.header || line.find_first_not_of(" \t") == std::string_view::npos ||
           line[0] == '#';
}

// The output line in `t.out`; false with the reason when the line is bad, the line then
// marked with '*' for each result column. `negative` is set when a check answered no.
bool ConvertLine(const Command& c, const Settings& s, const Layout& layout, std::string_view line,
                 Scratch& t, std::string& why, bool& negative) {
    Result r;
    if (LineValues(c, layout, line, t, r.text))
        r = c.convert(t.values, s);
    else
        r.ok = false;
    if (!r.ok) {
        why = Reason(c, r);
        Assemble(layout, t.columns, Results(layout, nullptr), t.out);
        return false;
    }
    negative = negative || r.negative;
    Assemble(layout, t.columns, Results(layout, &r), t.out);
    return true;
}

Outcome ConvertLines(const Command& c, const Settings& s, const Layout& layout, Streams& io) {
    Outcome o;
    LineReader reader(io);
    Scratch t;
    std::string why;
    bool negative = false;
    for (std::size_t number = 1;; ++number) {
        std::string_view line;
        const LineReader::Got got = reader.Next(line);
        if (got == LineReader::Got::kEnd) break;
        if (got == LineReader::Got::kFailed) {
            io.Error(std::string("fieldkit: ") + c.name + ": cannot read standard input\n");
            o.status = kExitBadInput;
            return o;
        }
        why.clear();
        t.columns.clear();
        if (got == LineReader::Got::kTooLong) {
            // The line is not kept, so a marked one has only its result columns.
            why = "longer than 1 MiB";
            t.out.clear();
            AppendJoined(Results(layout, nullptr), Joiner(layout), t.out);
        } else if (PassesThrough(layout, number, line)) {
            t.out.assign(line);
        } else {
            ConvertLine(c, s, layout, line, t, why, negative);
        }
        const std::string message =
            why.empty() ? why : FormatA("fieldkit: %s: line %zu: ", c.name, number) + why + "\n";
        if (!message.empty() && !layout.keepGoing) {
            io.Error(message);  // after every line before it
            o.status = kExitBadInput;
            return o;
        }
        t.out += '\n';
        if (!io.Write(t.out)) {
            o.status = kExitCannotWrite;
            return o;
        }
        if (!message.empty()) {
            io.Error(message);
            o.status = kExitBadInput;
        }
    }
    if (!io.Flush()) {
        o.status = kExitCannotWrite;
    } else if (o.status == 0 && negative) {
        o.status = kExitNo;
    }
    return o;
}

}  // namespace

bool ConvertsValues(const Command& c) {
    return c.action == nullptr && c.Arity() > 0;
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
