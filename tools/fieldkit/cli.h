// The frame of the fieldkit command-line tool: the table of subcommands, option and value
// reading, standard-input records; the help texts, the manual page and the demo (help.cpp).
//
// Run() does all the work and returns what the program prints, so main() only moves text to
// the streams and the demo can run the tool's own examples through the same path.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fieldkit/text/cstring.h"

namespace fieldkit::tool {

// What one run prints and its exit status. On failure `out` stays empty and `err` is one line.
struct Outcome {
    int status = 0;
    std::string out;
    std::string err;
};

constexpr int kExitBadInput = 2;

// Reads all of standard input; false when it cannot be read.
using InputReader = std::function<bool(std::string& all, std::string& error)>;

// Runs one command line (without the program name), arguments already decoded from UTF-8.
Outcome Run(const std::vector<std::wstring>& args, const InputReader& readInput);

// ---- What the subcommands are made of -------------------------------------------------------

struct Range {
    double lo;
    double hi;
};

// Large enough for any survey value, small enough that the library's 32-bit degree and
// station counts cannot saturate.
constexpr Range kAnyValue = {-1e9, 1e9};
constexpr Range kLatitude = {-90, 90};
// East longitudes are often counted 0 to 360.
constexpr Range kLongitude = {-360, 360};

struct OptionSpec {
    const char* name;       // "--tenths"
    const char* valueName;  // nullptr for a flag, else the placeholder shown in help ("N")
    const char* help;
    // Options whose masks share a bit exclude each other (--north and --south, say).
    unsigned exclusive;
    Range range;        // for an option with a value
    bool whole;         // the value must be a whole number
    bool text = false;  // the value is text, taken as it stands
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

// A conversion's answer for one record: the output line, or the reason it cannot be made.
struct Result {
    bool ok = true;
    std::string text;
};
Result Ok(const CString& text);
Result Ok(std::string text);
Result Fail(std::string why);

using Fields = std::vector<std::wstring>;
using Convert = Result (*)(const Fields& fields, const Settings& settings);
// A command that works on its operands as a whole (a file and what to do with it); its text
// is printed as it stands.
using Action = Result (*)(const std::vector<std::wstring>& operands, const Settings& settings);

struct Example {
    std::vector<const char*> args;   // after the subcommand's name
    std::vector<const char*> input;  // lines fed to standard input when args hold "-"
};

struct Command {
    const char* name;
    const char* operands;  // usage after the name, e.g. "LAT LON H"
    const char* summary;   // one line for the command list
    const char* details;   // the rest of the command's help, lines ending in '\n'
    std::vector<OptionSpec> options;
    std::vector<Example> examples;
    std::size_t arity;  // values per record; 0 for a command that takes none and runs once
    Convert convert;
    Action action = nullptr;  // instead of convert, for commands with their own operands
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

// The document commands (documents.cpp): INI files, translation catalogs, XML events.
Result IniCommand(const std::vector<std::wstring>& operands, const Settings& settings);
Result PoCommand(const std::vector<std::wstring>& operands, const Settings& settings);
Result XmlCommand(const std::vector<std::wstring>& operands, const Settings& settings);

// The demo's walk through a field application's start-up, in a temporary device root
// (road.cpp). False when a step did not give what it should.
bool ApplicationRoad(std::string& out);

// ---- Helpers for the conversions ------------------------------------------------------------

// The whole text must be one finite number (blanks around it allowed) within the range.
bool ReadNumber(const std::wstring& text, Range range, double& value, Result& failure);
// The same for a whole number.
bool ReadWhole(const std::wstring& text, Range range, long long& value, Result& failure);

// True when nothing but blanks follows position `from`.
bool OnlyBlanksFrom(const std::wstring& text, std::size_t from);

// The text in quotes for a message, shortened and with control characters shown as '?'.
std::string Quote(const std::wstring& text);

// "%.*f" without a minus sign on a value that prints as zero.
std::string Fixed(double value, int decimals);

}  // namespace fieldkit::tool
