// The conversion frame: the values given as arguments, or standard input streamed line by line
// through a conversion, with value columns picked out and the others passed through, comment and
// header lines kept, and bad lines stopped at or marked.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"

namespace fieldkit::tool {

using fieldkit::FormatA;

namespace {

// A longer line is bad; reading never keeps more than this and one block, so memory stays flat
// whatever the input.
constexpr std::size_t kMaxLine = std::size_t{1} << 20;
constexpr std::size_t kReadBlock = std::size_t{64} << 10;
// Not a column, or not known yet.
constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

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

    // Where a search through the buffer found its first match (npos: none up to `end`), so
    // that CRs and bytes beyond ASCII are looked for once a block rather than once a line.
    struct Found {
        std::size_t from = 0, at = std::string::npos, end = 0;
    };
    template <typename Search>
    std::size_t First(Found& found, std::size_t from, Search search);
    static void Shift(Found& found, std::size_t erased);

    void Refill();
    void Append(std::string& into);
    void Transcode();

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
    Found cr_, nonAscii_;
};

template <typename Search>
std::size_t LineReader::First(Found& found, std::size_t from, Search search) {
    const std::size_t size = buffer_.size();
    if (from >= found.from && from <= std::min(found.at, found.end)) {
        if (found.at != std::string::npos || found.end == size) return found.at;
        found.at = search(buffer_.data(), found.end, size);  // only what was read since
    } else {
        found.from = from;
        found.at = search(buffer_.data(), from, size);
    }
    found.end = size;
    return found.at;
}

// What is known still holds for the rest when the buffer loses its first `erased` bytes.
void LineReader::Shift(Found& found, std::size_t erased) {
    if (found.at != std::string::npos && found.at < erased) {
        found = Found();
        return;
    }
    found.from = std::max(found.from, erased) - erased;
    found.end = std::max(found.end, erased) - erased;
    if (found.at != std::string::npos) found.at -= erased;
}

std::size_t FindCr(const char* data, std::size_t from, std::size_t to) {
    const void* cr = std::memchr(data + from, '\r', to - from);
    return cr == nullptr ? std::string::npos
                         : static_cast<std::size_t>(static_cast<const char*>(cr) - data);
}

// The first byte from 0x80 up, eight bytes at a time.
std::size_t FindNonAscii(const char* data, std::size_t from, std::size_t to) {
    std::size_t i = from;
    for (std::uint64_t word = 0; to - i >= sizeof word; i += sizeof word) {
        std::memcpy(&word, data + i, sizeof word);
        if ((word & 0x8080808080808080ull) != 0) break;
    }
    for (; i < to; ++i) {
        if ((static_cast<unsigned char>(data[i]) & 0x80) != 0) return i;
    }
    return std::string::npos;
}

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
    Shift(cr_, start_);
    Shift(nonAscii_, start_);
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

LineReader::Got LineReader::Next(std::string_view& line) {
    for (;;) {
        // The first LF, or a CR before it.
        const char* const data = buffer_.data();
        const void* lf = std::memchr(data + scanned_, '\n', buffer_.size() - scanned_);
        std::size_t stop = lf == nullptr
                               ? std::string::npos
                               : static_cast<std::size_t>(static_cast<const char*>(lf) - data);
        stop = std::min(stop, First(cr_, scanned_, FindCr));
        // A CR at the end of what is there may be the first half of a CR LF.
        const bool open = stop == std::string::npos ||
                          (buffer_[stop] == '\r' && stop + 1 == buffer_.size() && !end_);
        if (open) {
            scanned_ = stop == std::string::npos ? buffer_.size() : stop;
            if (skipping_) {
                start_ = scanned_;  // Refill drops what lies before
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
        // UTF-8 is checked from the first byte beyond ASCII on.
        const std::size_t ascii = std::min(First(nonAscii_, start_, FindNonAscii), stop) - start_;
        start_ = scanned_ = next;
        if (skipping_) {
            skipping_ = false;
            continue;
        }
        std::size_t check = ascii;
        if (first_ && line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            line.remove_prefix(3);
            check = 0;
        }
        first_ = false;
        if (line.size() > kMaxLine) return Got::kTooLong;
        if (check < line.size() && !fieldkit::IsUtf8(line.substr(check))) {
            decoded_ = WideToUtf8(AnsiToWide(line));
            line = decoded_;
        }
        return Got::kLine;
    }
}

// ---- Columns ---------------------------------------------------------------------------------

// How the lines of standard input are laid out.
struct Layout {
    std::vector<std::size_t> fields;  // the value columns, from 0, in the command's value order
    // Each value column's place among them counted from the left: results fill the value
    // columns in that order.
    std::vector<std::size_t> rank;
    std::size_t leftmost = 0;  // the leftmost value column
    std::size_t last = 0;      // the rightmost one
    std::string delimiter;     // empty: runs of blanks and tabs, joined by one blank
    std::size_t header = 0;    // lines printed as they stand
    bool headerGiven = false;
    bool keepGoing = false;
    bool split = false;         // lines are split into columns (--fields, --delimiter)
    bool checkColumns = false;  // each line has as many columns as the first row
    std::size_t results = 1;    // result columns per line
};

std::string_view Joiner(const Layout& layout) {
    return layout.delimiter.empty() ? std::string_view(" ") : std::string_view(layout.delimiter);
}

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

// The end of the quoted cell that begins at `start` (just past its closing quote), or npos when
// the quote is not closed; "" inside stands for one quote.
std::size_t QuotedEnd(std::string_view line, std::size_t start) {
    for (std::size_t i = start + 1;;) {
        const std::size_t q = line.find('"', i);
        if (q == std::string_view::npos) return q;
        if (q + 1 < line.size() && line[q + 1] == '"') {
            i = q + 2;
            continue;
        }
        return q + 1;
    }
}

// The quoted cell at `start` into `columns`, `end` just past it: false, with the reason, when
// its quote is not closed or something but the separator follows it.
bool QuotedCell(std::string_view line, const std::string& delimiter, std::size_t start,
                std::size_t& end, std::vector<std::string_view>& columns, std::string& why) {
    end = QuotedEnd(line, start);
    if (end == std::string_view::npos) {
        why = FormatA("unterminated quote in column %zu", columns.size() + 1);
        return false;
    }
    const bool separated =
        end == line.size() ||
        (delimiter.empty() ? IsBlankOrTab(line[end])
                           : line.compare(end, delimiter.size(), delimiter) == 0);
    if (!separated) {
        why = FormatA("characters after the closing quote in column %zu", columns.size() + 1);
        return false;
    }
    columns.push_back(line.substr(start, end - start));
    return true;
}

// Into `columns`, as views on the line; a cell that begins with '"' runs to its closing quote.
// False, with the reason, when such a cell is broken.
bool SplitColumns(std::string_view line, const std::string& delimiter,
                  std::vector<std::string_view>& columns, std::string& why) {
    columns.clear();
    if (!delimiter.empty()) {
        for (std::size_t start = 0;;) {
            std::size_t at = 0;
            if (start < line.size() && line[start] == '"') {
                if (!QuotedCell(line, delimiter, start, at, columns, why)) return false;
                if (at == line.size()) return true;
            } else {
                at = line.find(delimiter, start);
                columns.push_back(line.substr(start, at - start));
                if (at == std::string_view::npos) return true;
            }
            start = at + delimiter.size();
        }
    }
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    for (const char* p = begin;;) {
        while (p != end && IsBlankOrTab(*p))
            ++p;
        if (p == end) return true;
        const char* const start = p;
        if (*p == '"') {
            std::size_t after = 0;
            if (!QuotedCell(line, delimiter, static_cast<std::size_t>(p - begin), after, columns,
                            why))
                return false;
            p = begin + after;
            continue;
        }
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

// A quoted cell's text without the quotes, "" as one quote, in `scratch`; any other cell as it
// is (SplitColumns checked the quotes).
std::string_view CellText(std::string_view cell, std::string& scratch) {
    if (cell.empty() || cell[0] != '"') return cell;
    scratch.clear();
    for (std::size_t i = 1; i + 1 < cell.size(); ++i) {
        scratch += cell[i];
        if (cell[i] == '"') ++i;  // the second of ""
    }
    return scratch;
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

std::string ValueCount(std::size_t expected, std::size_t found, const std::wstring& text) {
    return FormatA("expected %zu value%s, found %zu in ", expected, expected == 1 ? "" : "s",
                   found) +
           Quote(text);
}

// The values of a text that holds nothing else: one value as a whole, or several separated by
// blanks or a comma.
bool WholeTextValues(const Command& c, const std::wstring& text, Fields& values, std::string& why) {
    if (c.Arity() == 1) {
        values.push_back(Trim(text));
        return true;
    }
    if (!SplitValues(text, values)) {
        why = "empty value in " + Quote(text);
        return false;
    }
    if (values.size() != c.Arity()) {
        why = ValueCount(c.Arity(), values.size(), text);
        return false;
    }
    return true;
}

// What converting a line keeps from one line to the next, so that in the steady state it
// allocates nothing of its own.
struct Scratch {
    std::vector<std::string_view> columns;  // views on the line
    Fields values;
    std::string unquoted;
    std::string out;                   // the output line
    std::size_t firstRow = kNoColumn;  // the first row's number of columns
};

// The line's columns and the values the conversion reads; false with the reason when the line
// as a whole is bad. `split` is false when its columns could not be told apart.
bool LineValues(const Command& c, const Layout& layout, std::string_view line, Scratch& t,
                std::string& why, bool& split) {
    t.columns.clear();
    split = true;
    if (!layout.split) {
        // One value is the whole line, several are split at blanks or a comma.
        if (c.Arity() == 1) {
            t.values.resize(1);  // keeps the value's storage from the line before
            SetValue(line, t.values[0]);
            return true;
        }
        t.values.clear();
        return WholeTextValues(c, Utf8ToWide(line), t.values, why);
    }
    if (!SplitColumns(line, layout.delimiter, t.columns, why)) {
        split = false;
        return false;
    }
    const std::size_t count = t.columns.size();
    if (layout.checkColumns) {
        if (t.firstRow == kNoColumn) {
            t.firstRow = count;
        } else if (count != t.firstRow) {
            why = FormatA("%zu column%s, the first row has %zu", count, count == 1 ? "" : "s",
                          t.firstRow);
            return false;
        }
    }
    if (layout.fields.empty()) {
        if (count != c.Arity()) {
            why = ValueCount(c.Arity(), count, Utf8ToWide(line));
            return false;
        }
        t.values.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            SetValue(CellText(t.columns[k], t.unquoted), t.values[k]);
        }
        return true;
    }
    t.values.resize(layout.fields.size());
    for (std::size_t k = 0; k < layout.fields.size(); ++k) {
        const std::size_t f = layout.fields[k];
        if (f >= count) {
            why = FormatA("no column %zu (the line has %zu)", f + 1, count);
            return false;
        }
        SetValue(CellText(t.columns[f], t.unquoted), t.values[k]);
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

void AppendQuoted(std::string_view text, std::string& out) {
    out += '"';
    for (const char ch : text) {
        out += ch;
        if (ch == '"') out += '"';
    }
    out += '"';
}

// A result as a cell: quoted, "" for each quote, when it holds the delimiter.
inline void AppendResult(std::string_view result, const std::string& delimiter, std::string& out) {
    if (delimiter.empty() || result.find(delimiter) == std::string_view::npos)
        out += result;
    else
        AppendQuoted(result, out);
}

void AppendJoined(const Results& results, std::string_view joiner, const std::string& delimiter,
                  std::string& out) {
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (i > 0) out += joiner;
        AppendResult(results[i], delimiter, out);
    }
}

// The output line, in `out`: the results fill the value columns from left to right, one for
// one when there are as many, else all where the leftmost value column stood; every other
// column as it stands.
void Assemble(const Layout& layout, const std::vector<std::string_view>& columns,
              const Results& results, std::string& out) {
    const std::string_view joiner = Joiner(layout);
    out.clear();
    if (layout.fields.empty()) {
        AppendJoined(results, joiner, layout.delimiter, out);
        return;
    }
    const bool oneForOne = results.size() == layout.fields.size();
    // A marked bad line may lack value columns.
    const std::size_t count = std::max(columns.size(), layout.last + 1);
    bool first = true;
    const auto separate = [&] {
        if (!first) out += joiner;
        first = false;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const auto at = std::find(layout.fields.begin(), layout.fields.end(), i);
        if (at == layout.fields.end()) {
            separate();
            if (i < columns.size()) out += columns[i];
        } else if (oneForOne) {
            separate();
            const auto k = static_cast<std::size_t>(at - layout.fields.begin());
            AppendResult(results[layout.rank[k]], layout.delimiter, out);
        } else if (i == layout.leftmost) {
            separate();
            AppendJoined(results, joiner, layout.delimiter, out);
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
    layout.headerGiven = s.Has("--header");
    layout.results = c.results != nullptr ? c.results(s) : 1;
    if (s.Has("--delimiter")) {
        const std::wstring d = s.Text("--delimiter", L"");
        if (d.size() != 1 || d[0] == L'\n' || d[0] == L'\r' || d[0] == L'\0') {
            error = "--delimiter: one character, not " + Quote(d);
            return false;
        }
        if (d[0] == L'"') {
            error = "--delimiter: not '\"', which quotes cells";
            return false;
        }
        layout.delimiter = WideToUtf8(d);
    }
    if (s.Has("--fields")) {
        if (!ReadFieldList(s.Text("--fields", L""), c.Arity(), layout.fields, error)) {
            error = "--fields: " + error;
            return false;
        }
        for (const std::size_t f : layout.fields) {
            layout.rank.push_back(static_cast<std::size_t>(
                std::count_if(layout.fields.begin(), layout.fields.end(),
                              [f](std::size_t other) { return other < f; })));
        }
        layout.leftmost = *std::min_element(layout.fields.begin(), layout.fields.end());
        layout.last = *std::max_element(layout.fields.begin(), layout.fields.end());
    }
    layout.split = !layout.fields.empty() || !layout.delimiter.empty();
    layout.checkColumns = layout.split && (layout.headerGiven || !layout.delimiter.empty());
    return true;
}

// The reason of a failed conversion, naming the value it is about when the record has several.
std::string Reason(const Command& c, const Result& r) {
    if (r.value >= c.Arity() || c.Arity() < 2) return r.text;
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
        if (!WholeTextValues(c, joined, records.back(), why)) return Refused(c, why);
    }
    Outcome o;
    for (const Fields& values : records) {
        const Result r = c.convert(values, s);
        if (!r.ok) return Refused(c, Reason(c, r));
        if (r.negative) o.status = kExitNo;
        AppendJoined(Results(Layout(), &r), " ", std::string(), o.out);
        o.out += '\n';
    }
    return o;
}

// Empty, or '#' the first character but blanks.
bool IsEmptyOrComment(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string_view::npos || line[first] == '#';
}

bool HasDigit(std::string_view line) {
    return std::any_of(line.begin(), line.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// The column a value came from, from 1: 0 when it is the whole line.
std::size_t ValueColumn(const Command& c, const Layout& layout, std::size_t value) {
    if (!layout.fields.empty()) return layout.fields[value] + 1;
    return layout.split || c.Arity() > 1 ? value + 1 : 0;
}

// What a message says before its reason: the column and the name of the value it is about.
struct Where {
    std::size_t column = 0;  // from 1; 0: none
    const char* name = nullptr;
};

// The output line in `t.out`; false with the reason when the line is bad, the line then
// marked with '*' for each result column. `negative` is set when a check answered no.
bool ConvertLine(const Command& c, const Settings& s, const Layout& layout, std::string_view line,
                 Scratch& t, std::string& why, Where& where, bool& negative) {
    bool split = true;
    Result r;
    if (LineValues(c, layout, line, t, r.text, split)) {
        r = c.convert(t.values, s);
        // A one-value command's failures are all about its value.
        const std::size_t v = r.value == kWholeRecord && c.Arity() == 1 ? 0 : r.value;
        if (!r.ok && v < c.Arity() && v < t.values.size()) {
            where.column = ValueColumn(c, layout, v);
            where.name = c.values[v];
        }
    } else {
        r.ok = false;
    }
    if (!r.ok) {
        why = r.text.empty() ? "cannot convert this line" : r.text;
        t.out.clear();
        if (split)
            Assemble(layout, t.columns, Results(layout, nullptr), t.out);
        else  // the columns are not known: the results' stars alone
            AppendJoined(Results(layout, nullptr), Joiner(layout), layout.delimiter, t.out);
        return false;
    }
    negative = negative || r.negative;
    Assemble(layout, t.columns, Results(layout, &r), t.out);
    return true;
}

// A header line passes through; the last that is neither empty nor a comment is the first row.
void HeaderLine(const Layout& layout, std::string_view line, Scratch& t) {
    if (!layout.checkColumns || IsEmptyOrComment(line)) return;
    std::string why;
    if (SplitColumns(line, layout.delimiter, t.columns, why)) t.firstRow = t.columns.size();
}

std::string Message(const Command& c, std::size_t number, const Where& where,
                    const std::string& why) {
    std::string m = FormatA("fieldkit: %s: line %zu", c.name, number);
    if (where.column != 0) m += FormatA(", column %zu", where.column);
    m += ": ";
    if (where.name != nullptr) m += std::string(where.name) + ": ";
    return SafeMessage(m + why + "\n");
}

Outcome ConvertLines(const Command& c, const Settings& s, const Layout& layout, Streams& io) {
    Outcome o;
    LineReader reader(io);
    Scratch t;
    std::string why;
    bool negative = false;
    bool converting = false;  // a line has been converted, or tried
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
        Where where;
        if (got == LineReader::Got::kTooLong) {
            // The line is not kept, so a marked one has only its result columns.
            why = "longer than 1 MiB";
            t.out.clear();
            AppendJoined(Results(layout, nullptr), Joiner(layout), layout.delimiter, t.out);
            converting = true;
        } else if (number <= layout.header) {
            HeaderLine(layout, line, t);
            t.out.assign(line);
        } else if (IsEmptyOrComment(line)) {
            t.out.assign(line);
        } else {
            const bool first = !converting;
            converting = true;
            if (!ConvertLine(c, s, layout, line, t, why, where, negative) && first &&
                !layout.headerGiven && !HasDigit(line)) {
                why += FormatA(" (a header? use --header %zu)", number);
            }
        }
        const std::string message = why.empty() ? why : Message(c, number, where, why);
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
    static const std::vector<OptionSpec> options = {
        OptionSpec("--fields")
            .Value("LIST")
            .Help("the columns of the command's values in its order, 1-based, comma-separated "
                  "(xyz: 2,3,4)")
            .Text()
            .Short("-f"),
        OptionSpec("--delimiter")
            .Value("C")
            .Help("columns separated by the one character C, in and out")
            .Text()
            .Short("-d"),
        OptionSpec("--header")
            .Value("N")
            .Help("print the first N lines unchanged")
            .Within({0, 1e9})
            .Whole(),
        OptionSpec("--keep-going")
            .Help("print a bad line with '*' for each result, and go on")
            .Short("-k"),
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
