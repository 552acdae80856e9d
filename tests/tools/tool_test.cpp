// The fieldkit tool run as a child process: what it prints, where, and its exit status.

#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/device_root.h"

namespace {

struct Process {
    int status = -1;
    std::string out, err;
};

// Runs the tool with `args`, feeding `input` to its standard input; `env` entries
// ("NAME=value") are set in its environment; `user`, when given, runs it as that user, and
// `cwd` in that folder. The streams go through files, so none can block.
Process Tool(const std::vector<std::string>& args, const std::string& input = "",
             const std::vector<std::string>& env = {}, const passwd* user = nullptr,
             const std::string& cwd = "") {
    std::vector<char*> argv{const_cast<char*>(FIELDKIT_TOOL_PATH)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    FILE* files[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
    Process r;
    if (!files[0] || !files[1] || !files[2]) return r;
    std::fwrite(input.data(), 1, input.size(), files[0]);
    std::rewind(files[0]);
    const pid_t pid = fork();
    if (pid == 0) {
        for (int i = 0; i < 3; ++i)
            dup2(fileno(files[i]), i);
        for (const std::string& e : env)
            putenv(const_cast<char*>(e.c_str()));
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        if (user != nullptr &&
            (setgroups(0, nullptr) != 0 || setgid(user->pw_gid) != 0 || setuid(user->pw_uid) != 0))
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    std::string* texts[3] = {nullptr, &r.out, &r.err};
    for (int i = 0; i < 3; ++i) {
        std::rewind(files[i]);
        for (int c; texts[i] != nullptr && (c = std::fgetc(files[i])) != EOF;)
            *texts[i] += static_cast<char>(c);
        std::fclose(files[i]);
    }
    return r;
}

// Each test has a scratch folder, root_; File writes into it and gives the host path.
class FieldkitTool : public DeviceRootTest {
  protected:
    std::string File(const std::string& name, const std::string& text) const {
        Write(name, text);
        return Host(name).string();
    }
};

// Every one of `parts` is in `text`.
void ExpectHas(const std::string& text, const std::vector<const char*>& parts) {
    for (const char* part : parts)
        EXPECT_NE(text.find(part), std::string::npos) << part << " in:\n" << text;
}

struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string out;
};

const std::vector<Case> kConversions = {
    {{"lat", "45.5", "-12.25"}, "", "45°30'00.00000\"N\n12°15'00.00000\"S\n"},
    {{"lon", "-33.8568", "--tenths"}, "", "33°51'24.4\"W\n"},
    {{"angle", "123.456789"}, "", "123°27'24.4404\"\n"},
    {{"angle", "123.456789", "--six"}, "", "123°27'24.440400\"\n"},
    {{"bearing", "150", "--south", "--east"}, "", "S30°00'0.0000\"E\n"},
    {{"bearing", "--auto", "-"}, "150\n315\n", "S30°00'0.0000\"E\nN45°00'0.0000\"W\n"},
    {{"decimal", "123.4530", "--from-dms"}, "", "123.7583333333\n"},
    {{"decimal", "123.758333333", "--to-dms"}, "", "123.45300000\n"},
    {{"xyz", "90,0,0"}, "", "0.0000 0.0000 6356752.3142\n"},
    {{"xyz", "-"},
     "0 0 0\n\n0\t0,\t0\r\n",
     "6378137.0000 0.0000 0.0000\n\n"
     "6378137.0000 0.0000 0.0000\n"},
    {{"blh", "6378137", "0", "0", "--plain"}, "", "0.000000000 0.000000000 0.0000\n"},
    {{"blh", "0", "0", "6356752.3142"},
     "",
     "90.000000000 0.000000000 0.0000 90°00'00.00000\"N 0°00'00.00000\"E\n"},
    {{"height", "5.52", "--ft-in=8"}, "", "5'6 1/4\"\n"},
    {{"height", "-"},
     "5'6 1/4\"\n-5'6\"\n1/4\"\n7'\n",
     "5.520833\n-5.500000\n0.020833\n7.000000\n"},
    {{"feet", "1", "--us"}, "", "3.28083\n"},
    {{"feet", "1", "--intl"}, "", "3.28084\n"},
    {{"feet", "100", "--us", "--to-metres"}, "", "30.480061\n"},
    {{"station", "1234.567", "--interval", "100"}, "", "12+34.57\n"},
    {{"station", "12+34.57"}, "", "1234.570\n"},
    {{"date", "01.02.2019, 10:30"}, "", "10074870\n"},
    {{"subscription", "1239019200"}, "", "4/11/2019\n"},
    {{"lat", "-"}, "", ""},
    {{"parse-angle", "-"},
     "S20°00'00\"W\n12 30\n12d30m\n",
     "200.000000000\n12.500000000\n12.500000000\n"},
    {{"parse-lat", "45°30'00\"S"}, "", "-45.500000000\n"},
    {{"parse-lon", "12°30'W"}, "", "-12.500000000\n"},
    {{"check-dms", "123.4530", "--max", "360"}, "", "valid\n"},
    {{"check-dms", "90.0000", "--max", "90", "--allow-max"}, "", "valid\n"},
    // 200 pixels less a tenth hold 22 characters of 8 pixels.
    {{"compact-path", "\\Card\\Data\\Jobs\\Project\\file.txt", "--width", "200"},
     "",
     "\\...\\Project\\file.txt\n"},
    {{"compact-path", "-", "--width=400"}, "\\a\\b\n", "\\a\\b\n"},
    {{"--version"}, "", "fieldkit " FIELDKIT_VERSION "\n"},
};

// Each with a part of its one-line message.
const Case kBad[] = {
    {{"lat", "abc"}, "", "fieldkit: lat: not a number: 'abc'\n"},
    {{"lat", "45,5"}, "", "not a number: '45,5'"},
    {{"lat", "12abc"}, "", "not a number: '12abc'"},
    {{"lat", ""}, "", "not a number: ''"},
    {{"lat", "nan"}, "", "not a number"},
    {{"lat", "90.5"}, "", "out of range"},
    {{"lat"}, "", "missing value"},
    {{"lat", "-", "5"}, "", "only value"},
    {{"lat", "--bogus", "1"}, "", "unknown option '--bogus'"},
    {{"lat", "line\nbreak"}, "", "'line\\x0Abreak'"},
    {{"nosuch"}, "", "unknown command 'nosuch'"},
    {{}, "", "missing command"},
    {{"bearing", "1", "--north", "--south"}, "", "exclude each other"},
    {{"height", "5", "--ft-in"}, "", "needs a value"},
    {{"height", "5", "--ft-in", "2.5"}, "", "not a whole number"},
    {{"height", "5'6\"x"}, "", "not a feet-and-inches height"},
    {{"xyz", "1", "2"}, "", "expected 3 values"},
    {{"xyz", "0", "0", "100001"}, "", "height: out of range"},
    {{"blh", "1e7", "0", "0"}, "", "no position"},
    {{"station", "12+34abc"}, "", "not a station"},
    {{"date", "01.02.2019 10:30"}, "", "not a date"},
    {{"subscription", "1.5"}, "", "not a whole number"},
    {{"lat", "-"},
     "abc\n46\n",
     "fieldkit: lat: line 1: latitude: not a number: 'abc' (a header? use --header 1)\n"},
    {{"xyz", "-"}, "1,,2\n", "line 1: empty value"},
    {{"blh", "-"}, "6378137 0\n", "line 1: expected 3 values"},
    {{"lat", "--fields", "1", "45"}, "", "--fields is for standard input ('-') only"},
    {{"xyz", "-f", "2,3", "-"}, "", "--fields: the command reads 3 values, the list names 2"},
    {{"xyz", "-f", "2,3,2", "-"}, "", "--fields: column 2 is named twice"},
    {{"lat", "-f", "0", "-"}, "", "--fields: not a list of column numbers from 1: '0'"},
    {{"lat", "-d", "ab", "-"}, "", "--delimiter: one character, not 'ab'"},
    {{"lat", "-x", "-"}, "", "unknown option '-x'"},
    {{"lat", "-k1", "-"}, "", "-k takes no value"},
    {{"xyz", "-p", "16", "1", "2", "3"}, "", "-p: out of range (0 to 15): '16'"},
    {{"height", "5", "--ft-in", "8", "-p", "2"}, "", "exclude each other"},
    {{"decimal", "--to-dms", "-p", "3", "1"}, "", "--to-dms needs 4 or more decimals"},
    {{"paths"}, "", "--program must give"},
    {{"paths", "--program", "\\A\\p.exe", "extra"}, "", "takes no values"},
    // Texts a plain reading of numbers would take, and values out of what they must fit.
    {{"lat", "0x10"}, "", "not a number: '0x10'"},
    {{"lat", "inf"}, "", "not a number: 'inf'"},
    {{"xyz", "nan", "0", "0"}, "", "latitude: not a number: 'nan'"},
    {{"height", "0x10"}, "", "not a number"},
    {{"station", "12+0x10"}, "", "not a station"},
    {{"station", "1234", "--interval", "0x10"}, "", "--interval: not a number"},
    {{"height", "1 5'"}, "", "not a feet-and-inches height"},
    {{"blh", "45.5", "-73.5", "100"},
     "",
     "the height would be -6356652.227 m, more than 100 km from the ellipsoid (latitude, "
     "longitude and height? blh reads X, Y and Z in metres)"},
    {{"bearing", "45", "--south"}, "", "the azimuth is not in the S..E quadrant: '45'"},
    {{"bearing", "150", "--north", "--east"}, "", "not in the N..E quadrant"},
    {{"date", "1.1.6086"}, "", "a date too late for the 32-bit count"},
};

// Standard input with columns: the results replace the value columns and the rest passes
// through; comments, empty lines and headers pass whole.
const Case kColumns[] = {
    {{"xyz", "--fields", "2,3,4", "-"},
     "PT101 45 7 250 CP\n",
     "PT101 4484092.9005 550577.3778 4487525.1856 CP\n"},
    // Runs of blanks and tabs in, one blank out.
    {{"lat", "-f", "2", "-"}, "\tP1 \t 45.5\t\tx  \n", "P1 45°30'00.00000\"N x\n"},
    // A delimiter both ways, empty columns kept, blanks inside a column kept, a quoted cell
    // passed through as it stands.
    {{"lat", "-d", ",", "-f", "3", "-"},
     "\"a,b\",,45, c d \n",
     "\"a,b\",,45°00'00.00000\"N, c d \n"},
    {{"lat", "-d\t", "-f2", "-"}, "a b\t-45\t\n", "a b\t45°00'00.00000\"S\t\n"},
    {{"xyz", "-d", ";", "-"}, "45;7;250\n", "4484092.9005;550577.3778;4487525.1856\n"},
    // More results than values: all where the first value stood; as many: one for one.
    {{"blh", "-f", "2,3,4", "-"},
     "P 6378137 0 0 Q\n",
     "P 0.000000000 0.000000000 0.0000 00°00'00.00000\"N 0°00'00.00000\"E Q\n"},
    {{"blh", "--plain", "-f", "1,3,4", "-"},
     "6378137 P 0 0\n",
     "0.000000000 P 0.000000000 0.0000\n"},
    {{"lat", "--header", "1", "-f", "2", "-"},
     "\xEF\xBB\xBFname lat\r\n# 45\r\n\r\n \t\nP 45\r\n",
     "name lat\n# 45\n\n \t\nP 45°00'00.00000\"N\n"},
    {{"lat", "-"}, "45", "45°00'00.00000\"N\n"},  // the last line needs no line end
};

// The first bad line ends the conversion after every line before it; --keep-going marks each
// with '*' per result column and reports it. Lines count from 1 with header and comments.
struct BadLinesCase {
    std::vector<std::string> args;
    std::string input, out, err;
};
const BadLinesCase kBadLines[] = {
    {{"lat", "-"},
     "45\nabc\n46\n",
     "45°00'00.00000\"N\n",
     "fieldkit: lat: line 2: latitude: not a number: 'abc'\n"},
    {{"lat", "-k", "-"},
     "45\nabc\n46\n",
     "45°00'00.00000\"N\n*\n46°00'00.00000\"N\n",
     "fieldkit: lat: line 2: latitude: not a number: 'abc'\n"},
    {{"xyz", "--keep-going", "-f", "2,3,4", "-"},
     "#\nA 0 0 0 B\nC 1 2\nD x 0 0 E\n",
     "#\nA 6378137.0000 0.0000 0.0000 B\nC * * *\nD * * * E\n",
     "fieldkit: xyz: line 3: no column 4 (the line has 3)\n"
     "fieldkit: xyz: line 4, column 2: latitude: not a number: 'x'\n"},
    {{"blh", "-k", "-d", ",", "-f", "1,2,3", "-"},
     "1e7,0,0,P\n",
     "*,*,*,*,*,P\n",
     "fieldkit: blh: line 1: no position for this point (more than about 7071 km from the "
     "centre?)\n"},
    {{"lat", "-k", "-"},
     "1\n" + std::string((1 << 20) + 1, '5') + "\n2\n",
     "01°00'00.00000\"N\n*\n02°00'00.00000\"N\n",
     "fieldkit: lat: line 2: longer than 1 MiB\n"},
};

// Fault: a bad line with --keep-going marks one '*' instead of one per result column
TEST_F(FieldkitTool, StreamsColumnsAndStopsAtOrMarksBadLines) {
    for (const Case& c : kColumns) {
        SCOPED_TRACE(c.input);
        const Process r = Tool(c.args, c.input);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
    for (const BadLinesCase& c : kBadLines) {
        SCOPED_TRACE(c.input.substr(0, 40));
        const Process r = Tool(c.args, c.input);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

// -p sets the decimals of every decimal number; degrees-minutes-seconds texts keep theirs.
const std::vector<Case> kPrecision = {
    {{"xyz", "-p", "1", "45", "7", "250"}, "", "4484092.9 550577.4 4487525.2\n"},
    {{"blh", "-p0", "--angle-decimals", "2", "6378137", "0", "0"},
     "",
     "0.00 0.00 0 00°00'00.00000\"N 0°00'00.00000\"E\n"},
    // Millimetre heights keep the angles' own nine decimals.
    {{"blh", "-p", "3", "--plain", "1271876.7430", "-4293783.9249", "4526540.5309"},
     "",
     "45.500000001 -73.500000000 100.000\n"},
    {{"parse-lat", "--decimals=3", "45 30 S"}, "", "-45.500\n"},
    {{"decimal", "-p", "3", "-33.8568", "--lat"}, "", "-33.857\n"},
    {{"decimal", "-p", "2", "123.4530", "--from-dms"}, "", "123.76\n"},
    {{"decimal", "-p", "4", "123.758333333", "--to-dms"}, "", "123.4530\n"},
    {{"feet", "-p", "2", "1"}, "", "3.28\n"},
    {{"height", "-p", "3", "5'6"}, "", "5.500\n"},
    {{"station", "-p", "1", "12+34.57"}, "", "1234.6\n"},
    {{"xyz", "-p", "3", "-f", "2,3,4", "-"},
     "P -.5 -7 -250\n",
     "P 6330107.771 -777239.503 -55284.269\n"},
};

// Plain decimal numbers only; every height text the library reads; blh's hint; bearings'
// letters from the azimuth or matching it; dates within the 32-bit count.
const std::vector<Case> kConsistency = {
    {{"height", "-"},
     "5' 6\"\n5'6\n5' 6 1/4 \"\n- 5'\n6 1 / 4\"\n5.5'3\"\n6\n",
     "5.500000\n5.500000\n5.520833\n-5.000000\n0.520833\n5.750000\n6.000000\n"},
    {{"height", "--metres", "5'6"}, "", "1.676400\n"},
    {{"height", "--us", "-p", "7", "5'6"}, "", "1.6764034\n"},
    {{"bearing", "-"},
     "45\n150\n-45\n270\n",
     "N45°00'0.0000\"E\nS30°00'0.0000\"E\n"
     "N45°00'0.0000\"W\nS90°00'0.0000\"W\n"},
    {{"bearing", "--auto", "200.5"}, "", "S20°30'0.0000\"W\n"},
    {{"bearing", "--west", "315"}, "", "N45°00'0.0000\"W\n"},
    {{"date", "1.1.6085"}, "", "2147120640\n"},
    {{"xyz", "4.5e1", "7", "25e1"}, "", "4484092.9005 550577.3778 4487525.1856\n"},
};

// The reading modes reach the readers: checked by default, --strict and --lenient on request,
// for typed angles, heights and stations alike. (Each mode's table is in reading_test.cpp.)
const std::pair<std::vector<std::string>, std::string> kRefusedReadings[] = {
    {{"parse-lat", "--", "N/A"}, "no digit"},
    {{"parse-lat", "--", "45 30 15.5 W"}, "E or W in a latitude ('W' at character 12)"},
    {{"parse-lat", "--strict", "--", "45d30m15.5s"},
     "a unit letter, strict reading takes °, ' and \" ('d' at character 3)"},
    {{"parse-lon", "--strict", "--", "181"},
     "a longitude beyond 180 degrees ('181' at character 1)"},
    {{"parse-angle", "--", "12,5"}, "a decimal comma? (',' at character 3)"},
    {{"height", "--", "5'13\""}, "inches of 12 or more after feet ('13' at character 3)"},
    {{"station", "--", "-12+34.50"},
     "a negative station with an unsigned remainder (write -12+-34.50 for the station before "
     "zero)"},
};
const std::vector<Case> kReadings = {
    {{"parse-lat", "-"},
     "45d30m15.5s\n45d30m15.5s S\n45°30′15.5″N\n45:30:15.5\n−12.5\n",
     "45.504305556\n-45.504305556\n45.504305556\n45.504305556\n-12.500000000\n"},
    {{"parse-lat", "--strict", "-"},
     "45°30'15.5\"S\nN45 30\n 30'\n-12.5\n15.5\"\n45º30’15.5”\n",
     "-45.504305556\n45.500000000\n0.500000000\n-12.500000000\n0.004305556\n"
     "45.504305556\n"},
    {{"parse-angle", "--strict", "-"},
     "S20°00'00\"W\nN 30 15 E\n400\nS5E\n",
     "200.000000000\n30.250000000\n400.000000000\n175.000000000\n"},
    // --lenient reads as the library: anything gives a number.
    {{"parse-lat", "--lenient", "-"},
     "PT101 45 30 15.5 N\nabc\n45d30m15.5s\n",
     "101.758375000\n0.000000000\n-45.504305556\n"},
    {{"height", "-"}, "5'6.25\"\n", "5.520833\n"},
    {{"height", "--lenient", "-"}, "5'6.25\"\n5'13\"\n", "5.500000\n6.083333\n"},
    {{"station", "--lenient", "--", "-12+34.50"}, "", "-1165.500\n"},
    {{"station", "99.999"}, "", "1+0.00\n"},
    // A height at the 100 km limit written by xyz reads back: it is compared as printed.
    {{"blh", "-"},
     "5997287.814494 1057483.652769 2201898.802161\n",
     "20.000000000 10.000000000 100000.0000 20°00'00.00000\"N 10°00'00.00000\"E\n"},
};

// Good input gives the exact text on stdout and status 0, bad input nothing on stdout, exactly
// one line on stderr and status 2, in any locale: a program that picked up the locale would
// read "45,5" as a number and print decimal commas.
// Fault: the locale's decimal comma read or printed, or a refusal writes two lines or to stdout
TEST_F(FieldkitTool, ConvertsOrRefusesWithOneMessageInAnyLocale) {
    const std::vector<std::string> kGerman = {"LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"};
    for (const std::vector<std::string>& env : {std::vector<std::string>{}, kGerman}) {
        const char* const locale = env.empty() ? "" : " in German";
        for (const std::vector<Case>* table :
             {&kConversions, &kPrecision, &kConsistency, &kReadings}) {
            for (const Case& c : *table) {
                SCOPED_TRACE(testing::PrintToString(c.args) + c.input.substr(0, 20) + locale);
                const Process r = Tool(c.args, c.input, env);
                EXPECT_EQ(r.status, 0) << r.err;
                EXPECT_EQ(r.out, c.out);
                EXPECT_EQ(r.err, "");
            }
        }
        for (const Case& c : kBad) {
            SCOPED_TRACE(testing::PrintToString(c.args) + c.input + locale);
            const Process r = Tool(c.args, c.input, env);
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err.rfind("fieldkit: ", 0), 0u) << r.err;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
            EXPECT_NE(r.err.find(c.out), std::string::npos) << r.err;
        }
    }
}

// Fault: --strict not passed to the reader, or a check answering no exits 2 or prints to stderr
TEST_F(FieldkitTool, RefusedReadingsSayWhyAndChecksAnswerNo) {
    for (const auto& [args, why] : kRefusedReadings) {
        const Process r = Tool(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "fieldkit: " + args[0] + ": " + why + ": '" + args.back() + "'\n");
    }
    // A check that answers no prints its reason as the result and exits 1.
    const Process no = Tool({"check-dms", "-", "--max=90"}, "12.5960\n12.3000\n90.0000\n");
    EXPECT_EQ(no.status, 1);
    EXPECT_EQ(no.out,
              "not valid: seconds 60 above 59\nvalid\n"
              "not valid: the maximum '90' itself (--allow-max allows it)\n");
    EXPECT_EQ(no.err, "");
}

// A program feeding one line at a time gets each result before it closes the input.
// Fault: results held in a full buffer until the input ends, so a line-by-line caller hangs
TEST_F(FieldkitTool, AnswersEachLineBeforeTheInputEnds) {
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        for (const int fd : {in[0], in[1], out[0], out[1]})
            close(fd);
        execl(FIELDKIT_TOOL_PATH, FIELDKIT_TOOL_PATH, "xyz", "-f", "2,3,4", "-", nullptr);
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    std::string got;
    for (const char* line : {"a 0 0 0\n", "b 90 0 0\n"}) {
        const auto size = static_cast<ssize_t>(std::strlen(line));
        ASSERT_EQ(write(in[1], line, std::strlen(line)), size);
        got.clear();
        while (got.empty() || got.back() != '\n') {
            pollfd p = {out[0], POLLIN, 0};
            ASSERT_EQ(poll(&p, 1, 10000), 1) << "no answer to " << line;
            char c;
            ASSERT_EQ(read(out[0], &c, 1), 1);
            got += c;
        }
        EXPECT_EQ(got[0], line[0]);
    }
    EXPECT_EQ(got, "b 0.0000 0.0000 6356752.3142\n");
    close(in[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(out[0]);
}

// Output that cannot be written is an error of its own, whatever printed it.
// Fault: a write error on a full disk ignored and the tool exits 0 (or loops for ever on input)
TEST_F(FieldkitTool, ReportsOutputThatCannotBeWritten) {
    // Standard input without end: the tool must stop at the first block it cannot write.
    for (const char* args : {"lat 45", "lat -", "--help"}) {
        const std::string command = std::string("yes 45 | ") + FIELDKIT_TOOL_PATH + " " + args +
                                    " > /dev/full 2> " + root_ + "/err";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << args;
        EXPECT_EQ(Read("\\err"), "fieldkit: cannot write to standard output\n") << args;
    }
}

const char* const kCommands[] = {
    "lat",         "lon",       "angle",     "bearing",   "decimal", "xyz",
    "blh",         "height",    "feet",      "station",   "date",    "subscription",
    "parse-angle", "parse-lat", "parse-lon", "check-dms", "paths",   "compact-path"};

// Help goes to stdout with status 0; the help lists every command and the demo shows each.
// Fault: a new command missing from --help or from the demo, or help exits 2 or writes to stderr
TEST_F(FieldkitTool, HelpAndDemoCoverEveryCommand) {
    const std::vector<std::vector<std::string>> kHelp = {
        {"--help"}, {"-h"}, {"help"}, {"help", "xyz"}, {"xyz", "--help"}, {"demo", "--help"}};
    for (const auto& args : kHelp) {
        SCOPED_TRACE(args.back());
        const Process r = Tool(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find("Usage"), std::string::npos);
    }
    const std::string help = Tool({"--help"}).out;
    const Process demo = Tool({"demo"});
    EXPECT_EQ(demo.status, 0) << "an example did not end as it should";
    EXPECT_EQ(demo.err, "");
    for (const char* name : kCommands) {
        EXPECT_NE(help.find(std::string("\n  ") + name + " "), std::string::npos) << name;
        EXPECT_NE(demo.out.find(std::string("$ fieldkit ") + name + " "), std::string::npos)
            << name;
    }
    // The start-up walk: identity, layout, a typed latitude and the log, in a scratch root.
    ExpectHas(demo.out, {"45°30'00.00000\"N", "shown back as 45°30'15.50000\"S",
                         "\\SD Card\\Survey\\Survey.log (", "<2> - StringToAngle2: nGroups=4",
                         "Program finished."});
}

// What the device shows, and the layout in a scratch device root with directories.ini.
// Fault: DataDir from directories.ini ignored, so jobs go under the default data folder
TEST_F(FieldkitTool, DeviceAndPathsFollowTheScreenAndDirectoriesIni) {
    Write("\\Card\\directories.ini", "[Directories]\r\nDataDir=\\Data\\Mine\r\n");
    const std::pair<std::vector<std::string>, std::vector<const char*>> cases[] = {
        {{"device", "--width", "800", "--height", "480"},
         {"model                800 x 480", "100 pixels become    x 120, y 170, larger 170\n",
          "free memory"}},
        {{"device", "--dpi", "192"}, {"scaled               yes\n", "x 200, y 200, larger 200"}},
        {{"paths", "--program", "\\Card\\Survey\\Survey.exe", "--root", root_},
         {"data folder          \\Data\\Mine\n", "common data          \\Card\\Common Data\n",
          "jobs                 \\Data\\Mine\\Jobs\n", "(read)",
          "help file            Survey.html"}},
    };
    for (const auto& [args, parts] : cases) {
        const Process r = Tool(args);
        EXPECT_EQ(r.status, 0) << r.err;
        ExpectHas(r.out, parts);
    }
}

// INI files, catalogs and XML events, on files in a scratch folder.
// Fault: ini set saves CR LF or another key order than the library, or a missing key exits 0
TEST_F(FieldkitTool, DocumentCommands) {
    const std::string ini = File("\\s.ini", "junk\r\n[General]\r\nname=Survey\r\nunits=m\r\n");
    EXPECT_EQ(Tool({"ini", "get", ini, "General", "units"}).out, "m\n");
    EXPECT_EQ(Tool({"ini", "set", ini, "General", "units", "ft"}).status, 0);
    // Saved the library's way: LF line ends, the key order of its hash, an empty line after.
    EXPECT_EQ(Read("\\s.ini"), "[General]\nunits=ft\nname=Survey\n\n");
    EXPECT_EQ(Tool({"ini", "set", ini, "Zone", "utm", "32"}).status, 0);
    EXPECT_EQ(Tool({"ini", "list", ini}).out, Read("\\s.ini"));
    EXPECT_EQ(Tool({"ini", "list", ini, "Zone"}).out, "utm=32\n");
    EXPECT_EQ(Tool({"ini", "remove", ini, "Zone", "utm"}).status, 0);
    EXPECT_EQ(Tool({"ini", "list", ini, "Zone"}).out, "");  // the section stays, empty
    const Process missing = Tool({"ini", "get", ini, "General", "nope"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "fieldkit: ini: no key 'nope' in section 'General'\n");
    EXPECT_EQ(Tool({"ini", "get", root_ + "/none.ini", "a", "b"}).status, 2);
    EXPECT_EQ(Tool({"ini", "frob", ini}).status, 2);

    const std::string po = File("\\de.po",
                                "msgid \"\"\nmsgstr \"Language: de\\n\"\n\n"
                                "msgid \"Cancel\"\nmsgstr \"Abbrechen\"\n");
    EXPECT_EQ(Tool({"po", "lookup", po, "Cancel"}).out, "Abbrechen\n");
    EXPECT_EQ(Tool({"po", "lookup", po, "OK"}).out, "OK\n");
    EXPECT_EQ(Tool({"po", "lookup", po, "Cancel", "--domain", "utils_base"}).out, "Abbrechen\n");
    EXPECT_EQ(Tool({"po", "lookup", root_ + "/none.po", "x"}).status, 2);

    // A document as CXMLWriter writes it.
    const std::string xml = File(
        "\\a.xml",
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<a>\n    <b>M\xFCller</b>\n</a>\n");
    EXPECT_EQ(Tool({"xml", "events", xml}).out,
              "tag 3 ?xml version=\"1.0\" encoding=\"windows-1252\"?\ntext \\n\ntag 0 a\n"
              "text \\n    \ntag 0 b\ntext M\xC3\xBCller\ntag 1 b\ntext \\n\ntag 1 a\n");
    EXPECT_EQ(Tool({"xml", "events", root_ + "/none.xml"}).status, 2);
}

// A file that is there but cannot be read is reported, never taken for an empty one (a folder
// stands in for it: the tests run as root, whom permission bits do not stop); names the file
// could not give back are refused. Either way nothing is written.
// Fault: an unreadable settings file taken as empty and saved over, or a key holding '=' saved
TEST_F(FieldkitTool, DocumentCommandsRefuseWhatTheyCannotRead) {
    const std::string ini = File("\\s.ini", "[S]\nk=1\n");
    for (const char* dir : {"\\dir.ini", "\\dir.po", "\\dir.xml"})
        MakeDir(dir);
    const std::string dirIni = Host("\\dir.ini").string(), dirPo = Host("\\dir.po").string(),
                      dirXml = Host("\\dir.xml").string();
    const auto quoted = [](const std::string& path) {  // as the tool quotes a path
        return "'" + path.substr(0, 60) + (path.size() > 60 ? "...'" : "'");
    };
    const std::string badKey = "ini: a key may not begin with '[' or hold '=' or a line break: ";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"ini", "set", dirIni, "S", "k", "v"}, "ini: cannot read " + quoted(dirIni)},
        {{"ini", "list", dirIni}, "ini: cannot read " + quoted(dirIni)},
        {{"ini", "get", dirIni, "S", "k"}, "ini: cannot read " + quoted(dirIni)},
        {{"ini", "remove", dirIni, "S", "k"}, "ini: cannot read " + quoted(dirIni)},
        {{"po", "lookup", dirPo, "x"}, "po: cannot read " + quoted(dirPo)},
        {{"po", "lookup", dirPo, "x", "--domain", "d"}, "po: cannot read " + quoted(dirPo)},
        {{"xml", "events", dirXml}, "xml: cannot read " + quoted(dirXml)},
        {{"ini", "set", ini, "S", "a=b", "v"}, badKey + "'a=b'"},
        {{"ini", "set", ini, "S", "[k", "v"}, badKey + "'[k'"},
        {{"ini", "set", ini, "S", "k\rj", "v"}, badKey + "'k\\x0Dj'"},
        {{"ini", "set", ini, "S\n", "k", "v"},
         "ini: a section name may not hold a line break: 'S\\x0A'"},
    };
    for (const auto& [args, err] : cases) {
        const Process r = Tool(args);
        EXPECT_EQ(r.status, 2) << err;
        EXPECT_EQ(r.out, "") << err;
        EXPECT_EQ(r.err, "fieldkit: " + err + "\n");
    }
    EXPECT_EQ(Read("\\s.ini"), "[S]\nk=1\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_), {}), 4);  // no temporary
    EXPECT_TRUE(std::filesystem::is_empty(Host("\\dir.ini")));

    // A missing file is still created; names at the edge of the rules are kept.
    const std::string created = root_ + "/new.ini";
    EXPECT_EQ(Tool({"ini", "set", created, "[S]=", "k[", "a=b"}).status, 0);
    EXPECT_EQ(Read("\\new.ini"), "[[S]=]\nk[=a=b\n\n");
}

// Settings in a folder another user may write. A file that user may write but not read would
// be saved over holding only the key set, losing every other setting; one it may read but not
// write would be replaced round its own permission. Either is refused and left alone.
// Fault: ini set on a write-only file saves only the new key, losing every other setting
TEST_F(FieldkitTool, IniSetRefusesAFileItMayNotReadOrWrite) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root and the user nobody";
    MakeDir("\\shared");
    ASSERT_EQ(chmod(root_.c_str(), 0755), 0);
    ASSERT_EQ(chown(Host("\\shared").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    for (const bool own : {true, false}) {
        const std::string ini = File("\\shared\\s.ini", "[General]\nname=Survey\n");
        ASSERT_EQ(chmod(ini.c_str(), own ? 0200 : 0644), 0);
        ASSERT_EQ(chown(ini.c_str(), own ? nobody->pw_uid : 0, own ? nobody->pw_gid : 0), 0);
        const Process refused = Tool({"ini", "set", ini, "General", "units", "ft"}, "", {}, nobody);
        EXPECT_EQ(refused.status, 2) << own << ": " << refused.err;
        EXPECT_EQ(Read("\\shared\\s.ini"), "[General]\nname=Survey\n") << own;
    }
    // A missing file is created: the folder itself is open to that user.
    const Process created =
        Tool({"ini", "set", root_ + "/shared/new.ini", "a", "b", "c"}, "", {}, nobody);
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(Read("\\shared\\new.ini"), "[a]\nb=c\n\n");
}

// The library's log is written only when asked for, never beside the tool; --log names a
// host file from the current folder whatever the device root, and one it cannot open is an
// error before anything is converted.
// Fault: the library's log written beside the tool without --log, or --log under the device root
TEST_F(FieldkitTool, WritesTheLogOnlyWhenAsked) {
    const std::string beside = std::string(FIELDKIT_TOOL_PATH) + ".log";
    remove(beside.c_str());
    EXPECT_EQ(Tool({"parse-lat", "--lenient", "45 30 S"}).out, "-45.500000000\n");
    EXPECT_NE(access(beside.c_str(), F_OK), 0);
    MakeDir("\\device");
    MakeDir("\\work");
    const std::vector<std::string> underRoot = {"FIELDKIT_DEVICE_ROOT=" + root_ + "/device"};
    const Process logged = Tool({"--log", "trace.log", "parse-lat", "--lenient", "45 30 S"}, "",
                                underRoot, nullptr, root_ + "/work");
    EXPECT_EQ(logged.status, 0) << logged.err;
    ExpectHas(
        Read("\\work\\trace.log"),
        {"<1> - Program started.\n", "StringToAngle2: s0=45 30 S\n", "<1> - Program finished.\n"});
    EXPECT_TRUE(std::filesystem::is_empty(Host("\\device")));
    const Process refused = Tool({"--log", root_ + "/none/trace.log", "lat", "45"}, "", underRoot);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "fieldkit: --log: cannot open '" + root_ + "/none/trace.log'\n");
}

// An argument that is not UTF-8 is read as Windows-1252 (a degree sign typed in such a
// terminal), and what reaches standard error is safe to show, whatever the input held.
// Fault: a Windows-1252 degree sign read as U+FFFD, or an escape sequence reaching stderr raw
TEST_F(FieldkitTool, DecodesArgumentsAndKeepsStandardErrorSafe) {
    const Process typed = Tool({"parse-lat", "45\xB0\x33\x30'S"}, "");
    EXPECT_EQ(typed.out, "-45.500000000\n");
    EXPECT_EQ(Tool({"lat", "\xFF"}, "").err, "fieldkit: lat: not a number: '\xC3\xBF'\n");
    const Process line = Tool({"lat", "-f", "2", "-"}, "P \xC2\x9B\x1B]0;x\x07\n");
    EXPECT_EQ(line.status, 2);
    EXPECT_EQ(line.err,
              "fieldkit: lat: line 1, column 2: latitude: not a number: '\\x9B\\x1B]0;x\\x07'\n");
}

}  // namespace
