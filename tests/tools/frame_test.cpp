// The conversion frame on standard input: which column gets which result, quoted cells, the
// column count, comments, encodings and what the messages say, in memory through Run().

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fieldkit/text/codepage.h"
#include "tools/fieldkit/cli.h"

namespace {

struct Ran {
    int status;
    std::string out, err;
};

Ran Convert(const std::vector<std::string>& args, const std::string& input) {
    std::vector<std::wstring> wide;
    for (const std::string& a : args)
        wide.push_back(fieldkit::Utf8ToWide(a));
    fieldkit::tool::MemoryStreams io(input);
    const fieldkit::tool::Outcome o = fieldkit::tool::Run(wide, io);
    return {o.status, io.out + o.out, io.err + o.err};
}

struct Case {
    std::vector<std::string> args;
    std::string input, out, err;
};

void ExpectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.input.substr(0, 80)));
        const Ran r = Convert(c.args, c.input);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 2);
    }
}

const std::string kXyz = "4484092.9005 550577.3778 4487525.1856";  // 45 7 250
const std::string kN45 = "45°00'00.00000\"N";

// -f names the column of each value in the command's order; the results fill the value
// columns from the left whatever that order.
// Fault: results written in the order -f names the columns, not left to right
TEST(Frame, ResultsFillValueColumnsLeftToRight) {
    std::vector<std::size_t> columns = {2, 3, 4};
    do {
        std::string value[3], list;  // the values as they stand in the line, and -f's list
        for (std::size_t k = 0; k < 3; ++k) {
            value[columns[k] - 2] = std::vector<std::string>{"45", "7", "250"}[k];
            list += (k == 0 ? "" : ",") + std::to_string(columns[k]);
        }
        SCOPED_TRACE(list);
        const Ran r = Convert({"xyz", "-f", list, "-"},
                              "P " + value[0] + " " + value[1] + " " + value[2] + " Q\n");
        EXPECT_EQ(r.out, "P " + kXyz + " Q\n");
        EXPECT_EQ(r.err, "");
    } while (std::next_permutation(columns.begin(), columns.end()));
    ExpectAll({
        {{"xyz", "-f", "2,1,3", "-"}, "7 45 250\n", kXyz + "\n", ""},
        // Five results for three values: where the leftmost value column (Y's) stood.
        {{"blh", "-f", "4,2,5", "-"},
         "P 0 M 6378137 0\n",
         "P 0.000000000 0.000000000 0.0000 00°00'00.00000\"N 0°00'00.00000\"E M\n",
         ""},
        {{"blh", "-k", "-f", "4,2,5", "-"},
         "P x M 6378137 0\n",
         "P * * * * * M\n",
         "fieldkit: blh: line 1, column 2: Y: not a number: 'x'\n"},
    });
}

// Fault: "" inside a quoted cell not read as one quote, or a result holding the delimiter unquoted
TEST(Frame, QuotedCells) {
    ExpectAll({
        // Passed through exactly; a value read without its quotes, "" as one quote.
        {{"lat", "-d", ",", "-f", "3", "-"},
         "\"a,\"\"b\"\"\",\"\",\"45\"\n",
         "\"a,\"\"b\"\"\",\"\"," + kN45 + "\n",
         ""},
        {{"parse-lat", "--strict", "-d", ",", "-f", "2", "-"},
         "P,\"45°30'15.5\"\"S\",Q\n",
         "P,-45.504305556,Q\n",
         ""},
        // The delimiter and blanks inside a value; blank-separated columns quote too.
        {{"parse-lat", "-d", ",", "-f", "2", "-"},
         "P,\"45 30,N\"\n",
         "",
         "fieldkit: parse-lat: line 1, column 2: latitude: a comma (',' at character 6): '45 "
         "30,N'\n"},
        {{"parse-lat", "--lenient", "-d", ",", "-f", "2", "-"},
         "P,\"45,30\"\n",
         "P,45.500000000\n",
         ""},
        {{"parse-lat", "-f", "2", "-"},
         "\"P 1\"  \"45 30 S\"\t\"x\"\n",
         "\"P 1\" -45.500000000 \"x\"\n",
         ""},
        // A text that only ends with a quote is not quoted.
        {{"parse-lat", "-d", ",", "-f", "2", "-"}, "P,45°30'15.5\",Q\n", "P,45.504305556,Q\n", ""},
        // A result holding the delimiter is written quoted.
        {{"lat", "-d", "'", "-f", "2", "-"}, "P'45'Q\n", "P'\"45°00'00.00000\"\"N\"'Q\n", ""},
        {{"lat", "-k", "-d", ",", "-f", "2", "-"},
         "P,\"45,Q\nP,\"45\"x,Q\nP,45\" ,Q\n",
         "*\n*\nP,*,Q\n",
         "fieldkit: lat: line 1: unterminated quote in column 2\n"
         "fieldkit: lat: line 2: characters after the closing quote in column 2\n"
         "fieldkit: lat: line 3, column 2: latitude: not a number: '45\"'\n"},
        {{"lat", "-f", "2", "-"},
         "P \"45\"\"\n",
         "",
         "fieldkit: lat: line 1: unterminated quote in column 2\n"},
    });
    EXPECT_EQ(Convert({"lat", "-d", "\"", "-"}, "45\n").err,
              "fieldkit: lat: --delimiter: not '\"', which quotes cells\n");
}

// With -d, or --header and -f, every data line has the first row's number of columns.
// Fault: a row with fewer columns than the first taken, or the count not checked with -d
TEST(Frame, RowsWithAnotherNumberOfColumns) {
    ExpectAll({
        {{"lat", "-k", "-d", ",", "-f", "2", "-"},
         "a,45,b\n# x,y\n\nc,45,5,d\ne,45,f\n",
         "a," + kN45 + ",b\n# x,y\n\nc,*,5,d\ne," + kN45 + ",f\n",
         "fieldkit: lat: line 4: 4 columns, the first row has 3\n"},
        // The first row is the header's last line that is neither empty nor a comment.
        {{"lat", "-k", "--header", "4", "-f", "2", "-"},
         "Survey 12\nID Lat Code\n# c\n\nP 45 CP\nQ 45\n",
         "Survey 12\nID Lat Code\n# c\n\nP " + kN45 + " CP\nQ *\n",
         "fieldkit: lat: line 6: 2 columns, the first row has 3\n"},
        {{"lat", "-d", ";", "-"},
         "45\n45;5\n",
         kN45 + "\n",
         "fieldkit: lat: line 2: 2 columns, the first row has 1\n"},
        // Neither option: lines may differ.
        {{"lat", "-f", "2", "-"}, "P 45\nQ 45 x y\n", "P " + kN45 + "\nQ " + kN45 + " x y\n", ""},
    });
}

// Fault: an indented # line not a comment, or the header hint given for a line with a digit
TEST(Frame, CommentsAndTheHeaderHint) {
    const std::string hint = " (a header? use --header 1)\n";
    ExpectAll({
        {{"lat", "-"}, "  # 1\n\t#\n \t\n45\n", "  # 1\n\t#\n \t\n" + kN45 + "\n", ""},
        {{"lat", "-"}, "x # 45\n", "", "fieldkit: lat: line 1: latitude: not a number: 'x # 45'\n"},
        {{"xyz", "-f", "2,3,4", "-"},
         "ID Lat Lon H\n",
         "",
         "fieldkit: xyz: line 1, column 2: latitude: not a number: 'Lat'" + hint},
        {{"xyz", "-d", ",", "-f", "2,3,4", "-"},
         "ID,Code\n",
         "",
         "fieldkit: xyz: line 1: no column 3 (the line has 2)" + hint},
        {{"lat", "-"},
         "# c\nLat\n",
         "# c\n",
         "fieldkit: lat: line 2: latitude: not a number: 'Lat' (a header? use --header 2)\n"},
        // Not when --header is given, the line holds a digit, or it is not the first.
        {{"lat", "--header", "0", "-"},
         "Lat\n",
         "",
         "fieldkit: lat: line 1: latitude: not a number: 'Lat'\n"},
        {{"lat", "-"}, "Lat1\n", "", "fieldkit: lat: line 1: latitude: not a number: 'Lat1'\n"},
        {{"lat", "-"},
         "45\nLat\n",
         kN45 + "\n",
         "fieldkit: lat: line 2: latitude: not a number: 'Lat'\n"},
    });
}

// UTF-16 with a byte-order mark, either order, with a surrogate pair, a lone surrogate and an
// odd last byte.
std::string Utf16(const std::u16string& text, bool little) {
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
        bytes += little ? std::string{lo, hi} : std::string{hi, lo};
    }
    return bytes;
}

// Fault: big-endian UTF-16 read as little-endian, or a Windows-1252 line read as UTF-8
TEST(Frame, InputEncodingsComeOutAsUtf8) {
    const std::u16string text = u"[Höhe] 45°30'S\r\n\xD83D\xDE00 45S \xDC00\r\n";
    const std::string out = "[Höhe] -45.500000000\n\xF0\x9F\x98\x80 -45.000000000 \xEF\xBF\xBD\n";
    ExpectAll({
        {{"parse-lat", "-f", "2", "-"}, Utf16(text, true), out, ""},
        {{"parse-lat", "-f", "2", "-"}, Utf16(text, false), out, ""},
        {{"parse-lat", "-k", "-f", "2", "-"},
         Utf16(u"P 1\n", true) + "\x34",
         "P 1.000000000\n\xEF\xBF\xBD *\n",
         "fieldkit: parse-lat: line 2: no column 2 (the line has 1)\n"},
        // Windows-1252 for a line that is not UTF-8, the whole line; the next may be UTF-8.
        {{"parse-lat", "-f", "2", "-"},
         "[H\xF6he] 45\xB0\x33\x30'S\n[Höhe] 45°30'S\n",
         "[Höhe] -45.500000000\n[Höhe] -45.500000000\n",
         ""},
        // The UTF-8 byte-order mark is skipped; CR LF and a lone CR end lines.
        {{"lat", "-"},
         "\xEF\xBB\xBF\x34\x35\r45\r\n\r45",
         kN45 + "\n" + kN45 + "\n\n" + kN45 + "\n",
         ""},
    });
}

// Fault: a message names the column but not the value, or C1 control bytes reach stderr raw
TEST(Frame, MessagesSayLineColumnAndValue) {
    ExpectAll({
        {{"parse-lat", "--strict", "-f", "2", "-"},
         "P1 45N\n# c\n\nP4 N/A\n",
         "P1 45.000000000\n# c\n\n",
         "fieldkit: parse-lat: line 4, column 2: latitude: no digit: 'N/A'\n"},
        {{"xyz", "-"},
         "45 7 x\n",
         "",
         "fieldkit: xyz: line 1, column 3: height: not a number: 'x'\n"},
        {{"xyz", "-d", ";", "-"},
         "45;x;250\n",
         "",
         "fieldkit: xyz: line 1, column 2: longitude: not a number: 'x'\n"},
        {{"lat", "-d", ";", "-"},
         "91\n",
         "",
         "fieldkit: lat: line 1, column 1: latitude: out of range (-90 to 90): '91'\n"},
        {{"blh", "-"},
         "1e7 0 0\n",
         "",
         "fieldkit: blh: line 1: no position for this point (more than about 7071 km from the "
         "centre?)\n"},
        // Arguments as before: the name only where the command reads several values.
        {{"lat", "x"}, "", "", "fieldkit: lat: not a number: 'x'\n"},
        {{"xyz", "45", "x", "250"}, "", "", "fieldkit: xyz: longitude: not a number: 'x'\n"},
        // Control characters and a code point the code page leaves unassigned, as \xHH.
        {{"lat", "-k", "-"},
         "\xC2\x9B\x31\n\x1B[2J\n\x81\n",
         "*\n*\n*\n",
         "fieldkit: lat: line 1: latitude: not a number: '\\x9B1'\n"
         "fieldkit: lat: line 2: latitude: not a number: '\\x1B[2J'\n"
         "fieldkit: lat: line 3: latitude: not a number: '\\x81'\n"},
    });
}

// Fault: an overlong three-byte form taken as UTF-8 and passed to stderr unescaped
TEST(Frame, TextOutsideIsCheckedAndMadeSafe) {
    // An overlong form is no character either: its bytes are shown.
    EXPECT_EQ(fieldkit::tool::SafeMessage("a\xFF\t\n\x7F\xC2\x9F\xC2\xA0\xE2\x82z\xE0\x9F\xBF"),
              "a\\xFF\\x09\n\\x7F\\x9F\xC2\xA0\\xE2\\x82z\\xE0\\x9F\\xBF");
    EXPECT_EQ(fieldkit::tool::DecodeArgument("45\xB0"), L"45\u00B0");
    EXPECT_EQ(fieldkit::tool::DecodeArgument("45\xC2\xB0"), L"45\u00B0");
}

// What is kept from one line to the next must never show in the next: lines alternate between
// long and short values, ASCII and other text, good and bad.
// Fault: a buffer kept from one line shows in the next (a long value's tail, a Windows-1252 flag)
TEST(StreamedLines, EachLineStandsOnItsOwn) {
    const std::string n45 = "45°30'00.00000\"N";
    ExpectAll({
        {{"lat", "-"},
         "-12.250000000000000000000000\n5\n  45.5\t\n0.5\n",
         "12°15'00.00000\"S\n05°00'00.00000\"N\n" + n45 + "\n00°30'00.00000\"N\n",
         ""},
        // A line that is not UTF-8 is Windows-1252 as a whole; the next one is UTF-8 again.
        {{"lat", "-f", "2", "-"},
         "P\xFF\x31 45.5 é\nP2 45.5 é\n",
         "Pÿ1 " + n45 + " Ã©\nP2 " + n45 + " é\n",
         ""},
        // Blanks the columns are not split at are trimmed from a value all the same.
        {{"lat", "-k", "-d", ";", "-f", "2", "-"},
         "a;\v45.5\f;b\n45,5°\nc;45.5;\n",
         "a;" + n45 + ";b\n45,5°;*\nc;" + n45 + ";\n",
         "fieldkit: lat: line 2: 1 column, the first row has 3\n"},
        {{"lat", "-k", "-"},
         "45,5°\n45.5\n\xC3\n",
         "*\n" + n45 + "\n*\n",
         "fieldkit: lat: line 1: latitude: not a number: '45,5°'\n"
         "fieldkit: lat: line 3: latitude: not a number: 'Ã'\n"},
        // Five results where the first named column stood, though it is not the first column.
        {{"blh", "-k", "-f", "3,1,2", "-"},
         "0 0 6378137 P1\nx 0 6378137 P2\n",
         "0.000000000 0.000000000 0.0000 00°00'00.00000\"N 0°00'00.00000\"E P1\n* * * * * P2\n",
         "fieldkit: blh: line 2, column 1: Y: not a number: 'x'\n"},
        // Values split at the delimiter from the whole line, longer than any short string.
        {{"xyz", "-d", ",", "-"},
         "45.123456000000,-122.654321000000, 123.456000000000\n",
         "-2432359.8648,-3795442.4076,4497126.9626\n",
         ""},
        {{"xyz", "-k", "-f", "2,3,4", "-"},
         std::string(std::size_t{1} << 20, '1') + "1\nPT1 45.123456 -122.654321 123.456 CP\n",
         "* * *\nPT1 -2432359.8648 -3795442.4076 4497126.9626 CP\n",
         "fieldkit: xyz: line 1: longer than 1 MiB\n"},
    });
}

// Input that arrives a few bytes at a time: a CR LF, a UTF-16 unit or a line may be split
// anywhere between two reads, and must give what it gives read whole.
class Trickle final : public fieldkit::tool::Streams {
  public:
    Trickle(std::string input, std::size_t piece) : input_(std::move(input)), piece_(piece) {}
    long Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min({size, piece_, input_.size() - read_});
        input_.copy(buffer, n, read_);
        read_ += n;
        return static_cast<long>(n);
    }
    bool Write(std::string_view text) override {
        out += text;
        return true;
    }
    bool Flush() override { return true; }
    void Error(std::string_view line) override { err += line; }
    std::string out, err;

  private:
    std::string input_;
    std::size_t piece_, read_ = 0;
};

// Fault: a CR LF split between two reads counted as two line ends, giving an extra empty line
TEST(Frame, LinesSplitAcrossReads) {
    const std::string mixed = "P \"a b\" 45\r\nQ\r\r\n\xF6 46\rR x 47\n#\xB0\n\xC3\xA9 48";
    const std::string utf16 = Utf16(u"P 45\r\n\xD83D\xDE00 46\r\n", true);
    for (const std::string& input : {mixed, utf16}) {
        const std::vector<std::wstring> args = {L"lat", L"-k", L"-f", L"2", L"-"};
        fieldkit::tool::MemoryStreams whole(input);
        fieldkit::tool::Run(args, whole);
        for (const std::size_t piece : {1u, 2u, 3u, 5u}) {
            Trickle io(input, piece);
            fieldkit::tool::Run(args, io);
            EXPECT_EQ(io.out, whole.out) << piece;
            EXPECT_EQ(io.err, whole.err) << piece;
        }
    }
}

}  // namespace
