// The frame of the fieldkit command-line tool: the table of subcommands, option and value
// reading; frame.cpp streams standard input through a conversion; help.cpp holds the help
// texts, the manual page and the demo.
//
// Run() does all the work. A conversion reads and writes through Streams as it goes, and what
// the rest prints (help, a usage error) comes back in the Outcome, so main() only moves text to
// the process's streams and the demo runs the tool's own examples through the same path with
// text in memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fieldkit/text/cstring.h"
#include "typed/numbers.h"

namespace fieldkit::tool {

// What one run prints besides what went through its Streams, and its exit status. On a usage
// error `out` stays empty and `err` is one line.
struct Outcome {
    int status = 0;
    std::string out;
    std::string err;
};

constexpr int kExitCannotWrite = 1;
// Every value converted, and a check answered no for one of them (check-dms: "not valid").
constexpr int kExitNo = 1;
constexpr int kExitBadInput = 2;

// Where a run reads standard input and writes its output and messages.
class Streams {
  public:
    virtual ~Streams() = default;
    // Waits for input and puts up to `size` bytes of it into `buffer`: how many, 0 at the end
    // of the input, -1 when it cannot be read.
    virtual long Read(char* buffer, std::size_t size) = 0;
    // Standard output, which may be kept back to go out in large blocks; false once it cannot
    // be written.
    virtual bool Write(std::string_view text) = 0;
    // Sends on what Write kept back; false when it cannot be written.
    virtual bool Flush() = 0;
    // One message for standard error, after what Write kept back.
    virtual void Error(std::string_view line) = 0;
};

// Streams in memory: reads `input`, collects `out` and `err`.
class MemoryStreams final : public Streams {
  public:
    explicit MemoryStreams(std::string text = {}) : input(std::move(text)) {}
    long Read(char* buffer, std::size_t size) override;
    bool Write(std::string_view text) override {
        out += text;
        return true;
    }
    bool Flush() override { return true; }
    void Error(std::string_view line) override { err += line; }

    std::string input;
    std::size_t read = 0;
    std::string out;
    std::string err;
};

// Runs one command line (without the program name), arguments already decoded from UTF-8.
Outcome Run(const std::vector<std::wstring>& args, Streams& io);

// ---- What the subcommands are made of -------------------------------------------------------

// The limits and the number texts of the typed conversions, under the tool's names.
using typed::kAnyValue;
using typed::kLatitude;
using typed::kLongitude;
using typed::Range;

// One option, built by naming each field it sets: OptionSpec("--ft-in").Value("N").Help(...)
// .Within(range).Whole(). A field not named keeps its default: a flag, in no exclusive group.
struct OptionSpec {
    explicit OptionSpec(const char* optionName) : name(optionName) {}

    OptionSpec& Value(const char* placeholder) {
        valueName = placeholder;
        return *this;
    }
    OptionSpec& Help(const char* line) {
        help = line;
        return *this;
    }
    OptionSpec& Exclusive(unsigned mask) {
        exclusive = mask;
        return *this;
    }
    OptionSpec& Within(Range limits) {
        range = limits;
        return *this;
    }
    OptionSpec& Whole() {
        whole = true;
        return *this;
    }
    OptionSpec& Text() {
        text = true;
        return *this;
    }
    OptionSpec& Short(const char* letter) {
        shortName = letter;
        return *this;
    }

    const char* name;                 // "--tenths"
    const char* valueName = nullptr;  // nullptr for a flag, else the placeholder in help ("N")
    const char* help = nullptr;
    // Options whose masks share a bit exclude each other (--north and --south, say).
    unsigned exclusive = 0;
    Range range = {0, 0};             // for an option with a value
    bool whole = false;               // the value must be a whole number
    bool text = false;                // the value is text, taken as it stands
    const char* shortName = nullptr;  // "-p": takes the same value as the long name
};

// The options given on one command line.
class Settings {
  public:
    bool Has(const char* name) const;
    double Value(const char* name, double fallback) const;
    void Set(const char* name, double value) { m_given.emplace_back(name, value); }
    // Text options; the last one given wins.
    std::wstring Text(const char* name, const std::wstring& fallback) const;
    void SetText(const char* name, std::wstring value) {
        m_given.emplace_back(name, 1);
        m_texts.emplace_back(name, std::move(value));
    }

  private:
    std::vector<std::pair<std::string, double>> m_given;
    std::vector<std::pair<std::string, std::wstring>> m_texts;
};

// The index of no value in particular: a failure about the record as a whole.
constexpr std::size_t kWholeRecord = static_cast<std::size_t>(-1);

// A conversion's answer for one record: its result columns (one when `columns` is empty:
// `text`), or the reason it cannot be made. An action's `text` is printed as it stands.
struct Result {
    bool ok = true;
    std::string text;
    std::vector<std::string> columns;
    // For a failure: which of the record's values it is about (its index in Fields), so that
    // the message can name the value and its column.
    std::size_t value = kWholeRecord;
    // A check that answered no ("not valid"): printed as a result, and the run exits 1.
    bool negative = false;
};
Result Ok(const CString& text);
Result Ok(std::string text);
Result Columns(std::vector<std::string> columns);
Result Fail(std::string why);
// A failure about the record's value number `value`.
Result FailValue(std::size_t value, std::string why);

using Fields = std::vector<std::wstring>;
// Converts the values of one record.
using RecordConversion = Result (*)(const Fields& fields, const Settings& settings);
// A command that works on its operands as a whole (a file and what to do with it); its text
// is printed as it stands.
using OperandsAction = Result (*)(const std::vector<std::wstring>& operands,
                                  const Settings& settings);
// How many result columns a conversion prints for one record with these options.
using ResultCount = std::size_t (*)(const Settings& settings);

struct Example {
    std::vector<const char*> args;   // after the subcommand's name
    std::vector<const char*> input;  // lines fed to standard input when args hold "-"
    int status = 0;  // the exit status it shows; not 0: standard error is shown after the output
};

// One row of the command tables. A row names each field it fills, so that a reader sees which
// value is which and a field added later cannot shift the others:
//   Command("xyz").Operands("LAT LON H | -").Summary("...").Convert(Xyz).Results(XyzColumns)
// A field left out stays empty: no text (nullptr), no options, examples or values, no function.
struct Command {
    explicit Command(const char* commandName) : name(commandName) {}

    Command& Operands(const char* usage) {
        operands = usage;
        return *this;
    }
    Command& Summary(const char* line) {
        summary = line;
        return *this;
    }
    Command& Details(const char* text) {
        details = text;
        return *this;
    }
    Command& Options(std::vector<OptionSpec> list) {
        options = std::move(list);
        return *this;
    }
    Command& Examples(std::vector<Example> list) {
        examples = std::move(list);
        return *this;
    }
    Command& Values(std::vector<const char*> names) {
        values = std::move(names);
        return *this;
    }
    Command& Convert(RecordConversion function) {
        convert = function;
        return *this;
    }
    Command& Action(OperandsAction function) {
        action = function;
        return *this;
    }
    Command& Results(ResultCount function) {
        results = function;
        return *this;
    }

    std::size_t Arity() const { return values.size(); }

    const char* name;
    const char* operands = nullptr;  // usage after the name, e.g. "LAT LON H"
    const char* summary = nullptr;   // one line for the command list
    const char* details = nullptr;   // the rest of the command's help, lines ending in '\n'
    std::vector<OptionSpec> options;
    std::vector<Example> examples;
    // The names of a record's values, as messages name them ("latitude"); their number is the
    // arity: none for a command that takes no values and runs once.
    std::vector<const char*> values;
    RecordConversion convert = nullptr;
    OperandsAction action = nullptr;  // instead of convert, for commands with their own operands
    ResultCount results = nullptr;    // nullptr: one result column
};

// The conversions, in the order of the help text (commands.cpp).
const std::vector<Command>& Conversions();

// The options a command takes besides its own, shared by every command of its kind: reading
// them and the help texts both go through this list.
const std::vector<OptionSpec>& CommonOptions(const Command& c);

// ---- Help (help.cpp) ------------------------------------------------------------------------

// The commands that convert nothing (demo, help), listed after the conversions.
const std::vector<Command>& Builtins();

// Answers the command lines that ask about the tool rather than convert: help, --help, -h,
// --version, demo and --manual-page (the roff page behind fieldkit(1)). False for any other.
bool RunBuiltin(const std::vector<std::wstring>& args, Outcome& outcome);

std::string GeneralHelp();
std::string CommandHelp(const Command& c);
std::string ManualPage();

// ---- The conversion frame (frame.cpp) -------------------------------------------------------

// A command that converts values record by record (and so reads standard input).
bool ConvertsValues(const Command& c);
// The options of every such command: columns, delimiter, header lines, bad lines.
const std::vector<OptionSpec>& FrameOptions();
// Converts the values given as operands, or standard input line by line when the operand is
// "-"; the results go to `io` as they are made.
Outcome ConvertValues(const Command& c, const std::vector<std::wstring>& operands,
                      const Settings& settings, Streams& io);

// The document commands (documents.cpp): INI files, translation catalogs, XML events.
Result IniCommand(const std::vector<std::wstring>& operands, const Settings& settings);
Result PoCommand(const std::vector<std::wstring>& operands, const Settings& settings);
Result XmlCommand(const std::vector<std::wstring>& operands, const Settings& settings);

// The demo's walk through a field application's start-up, in a temporary device root
// (road.cpp). False when a step did not give what it should.
bool ApplicationRoad(std::string& out);

// ---- Helpers for the conversions ------------------------------------------------------------

// The whole text must be one plain decimal number within the range (typed::ReadNumber), or
// `failure` says why.
bool ReadNumber(const std::wstring& text, Range range, double& value, Result& failure);
// The same for a whole number: digits only.
bool ReadWhole(const std::wstring& text, Range range, long long& value, Result& failure);

using typed::Fixed;
using typed::IsBlank;
using typed::OnlyBlanksFrom;
using typed::Quote;
using typed::ReadPlainDecimal;
using typed::Trim;

// A bad input or usage: status 2 and "fieldkit: <where><why>" as the one line on stderr.
Outcome Failure(const std::string& where, const std::string& why);

// ---- Text from outside ------------------------------------------------------------------------

// A command-line argument: UTF-8 when it is valid UTF-8, else Windows-1252 (what a Windows
// terminal sends).
std::wstring DecodeArgument(std::string_view bytes);
// Text safe to show on a terminal: every control character but the line feed (C0, DEL, the C1
// range U+0080 to U+009F, by its code point) and every byte outside valid UTF-8 as \xHH.
std::string SafeMessage(std::string_view text);

}  // namespace fieldkit::tool
