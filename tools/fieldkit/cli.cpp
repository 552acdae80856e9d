#include "cli.h"

#include <algorithm>
#include <cstring>

#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"
#include "fieldkit/text/scan.h"

namespace fieldkit::tool {

using fieldkit::detail::FormatA;
using fieldkit::detail::Scan;

namespace {

constexpr std::size_t kQuoteLimit = 60;

std::string Utf8(const std::wstring& text) {
    return fieldkit::WideToUtf8(text);
}

Outcome Failure(const std::string& where, const std::string& why) {
    Outcome o;
    o.status = kExitBadInput;
    o.err = "fieldkit: " + where + why + "\n";
    return o;
}

// ---- Command lines ---------------------------------------------------------------------------

struct CommandLine {
    Settings settings;
    std::vector<std::wstring> operands;
    bool help = false;
};

// The command's own options, then those of the conversion frame.
std::vector<const OptionSpec*> OptionsOf(const Command& c) {
    std::vector<const OptionSpec*> all;
    for (const OptionSpec& o : c.options)
        all.push_back(&o);
    if (ConvertsValues(c)) {
        for (const OptionSpec& o : FrameOptions())
            all.push_back(&o);
    }
    return all;
}

const OptionSpec* FindOption(const Command& c, const std::string& name) {
    for (const OptionSpec* o : OptionsOf(c)) {
        if (name == o->name || (o->shortName != nullptr && name == o->shortName)) return o;
    }
    return nullptr;
}

bool HasShortOptions(const Command& c) {
    for (const OptionSpec* o : OptionsOf(c)) {
        if (o->shortName != nullptr) return true;
    }
    return false;
}

enum class Arg { kValue, kLong, kShort, kEndOfOptions };

// "--" begins a long option, and a '-' followed by a letter a short one; anything else is a
// value, so -33.8568 and -.5 are never taken for options. A command without short options
// (the document commands) takes "-x" as a value too, as it always has; only -h is help.
Arg KindOf(const Command& c, const std::wstring& arg) {
    if (arg == L"--") return Arg::kEndOfOptions;
    if (arg.size() < 2 || arg[0] != L'-') return Arg::kValue;
    if (arg[1] == L'-') return Arg::kLong;
    if (arg == L"-h") return Arg::kShort;
    const bool letter = (arg[1] >= L'a' && arg[1] <= L'z') || (arg[1] >= L'A' && arg[1] <= L'Z');
    return letter && HasShortOptions(c) ? Arg::kShort : Arg::kValue;
}

bool ReadOptionValue(const OptionSpec& spec, const std::string& name, const std::wstring& text,
                     Settings& settings, std::string& error) {
    if (spec.text) {
        settings.SetText(spec.name, text);
        return true;
    }
    Result why;
    double value = 0;
    long long whole = 0;
    const bool read = spec.whole ? ReadWhole(text, spec.range, whole, why)
                                 : ReadNumber(text, spec.range, value, why);
    if (!read) {
        error = name + ": " + why.text;
        return false;
    }
    settings.Set(spec.name, spec.whole ? static_cast<double>(whole) : value);
    return true;
}

bool ExcludeEachOther(const std::vector<const OptionSpec*>& given, std::string& error) {
    for (std::size_t a = 0; a < given.size(); ++a) {
        for (std::size_t b = a + 1; b < given.size(); ++b) {
            if (given[a] != given[b] && (given[a]->exclusive & given[b]->exclusive) != 0) {
                error =
                    std::string(given[a]->name) + " and " + given[b]->name + " exclude each other";
                return false;
            }
        }
    }
    return true;
}

// Long options are "--name" or "--name=value", short ones "-p 3" or "-p3"; "--" ends them.
bool ParseCommandLine(const Command& c, const std::vector<std::wstring>& args, CommandLine& line,
                      std::string& error) {
    std::vector<const OptionSpec*> given;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        const Arg kind = optionsEnded ? Arg::kValue : KindOf(c, arg);
        if (kind == Arg::kValue) {
            line.operands.push_back(arg);
            continue;
        }
        if (kind == Arg::kEndOfOptions) {
            optionsEnded = true;
            continue;
        }
        // The name, and the value written into the same argument if any.
        const std::size_t split = kind == Arg::kShort ? 2 : arg.find(L'=');
        const std::string name = Utf8(arg.substr(0, split));
        const bool attached = split < arg.size();
        if (name == "--help" || name == "-h") {
            line.help = true;
            continue;
        }
        const OptionSpec* spec = FindOption(c, name);
        if (spec == nullptr) {
            error = "unknown option " + Quote(arg.substr(0, split));
            return false;
        }
        given.push_back(spec);
        if (spec->valueName == nullptr) {
            if (attached) {
                error = name + " takes no value";
                return false;
            }
            line.settings.Set(spec->name, 1);
            continue;
        }
        std::wstring valueText;
        if (attached) {
            valueText = arg.substr(kind == Arg::kShort ? split : split + 1);
        } else if (i + 1 < args.size()) {
            valueText = args[++i];
        } else {
            error = name + " needs a value";
            return false;
        }
        if (!ReadOptionValue(*spec, name, valueText, line.settings, error)) return false;
    }
    return ExcludeEachOther(given, error);
}

Outcome RunConversion(const Command& c, const std::vector<std::wstring>& args, Streams& io);

// ---- Help and demo ---------------------------------------------------------------------------

std::string ShellWord(const char* word) {
    static const char kPlain[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.,:+=/@-";
    if (*word != '\0' && std::strspn(word, kPlain) == std::strlen(word)) return word;
    std::string quoted = "'";
    for (const char* p = word; *p != '\0'; ++p) {
        if (*p == '\'')
            quoted += "'\\''";
        else
            quoted += *p;
    }
    return quoted + "'";
}

// The example as a shell line, then what the tool prints for it, indented.
bool RenderExample(const Command& c, const Example& e, std::string& out) {
    std::vector<std::wstring> args{fieldkit::Utf8ToWide(c.name)};
    std::string shell = "  $ ";
    std::string input;
    if (!e.input.empty()) {
        shell += "printf '%s\\n'";
        for (const char* line : e.input) {
            shell += " " + ShellWord(line);
            input += std::string(line) + "\n";
        }
        shell += " | ";
    }
    shell += std::string("fieldkit ") + c.name;
    for (const char* a : e.args) {
        shell += " " + ShellWord(a);
        args.push_back(fieldkit::Utf8ToWide(a));
    }
    out += shell + "\n";
    MemoryStreams io(input);
    const Outcome o = RunConversion(c, args, io);
    const std::string shown = o.status == 0 ? io.out + o.out : io.err + o.err;
    std::size_t start = 0;
    while (start < shown.size()) {
        const std::size_t end = shown.find('\n', start);
        const std::string line = shown.substr(start, end - start);
        out += (line.empty() ? "" : "  ") + line + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return o.status == 0;
}

// "-p, --decimals N" or "--tenths".
std::string OptionName(const OptionSpec& o) {
    std::string name = o.shortName == nullptr ? o.name : std::string(o.shortName) + ", " + o.name;
    return o.valueName == nullptr ? name : name + " " + o.valueName;
}

const char kBuiltins[] =
    "  demo          a short tour: every conversion with sample input and output\n"
    "  help          this text; 'help COMMAND' for one command\n";

std::string GeneralHelp() {
    std::string h =
        "fieldkit - survey and GNSS conversions on the command line\n"
        "\n"
        "Usage:\n"
        "  fieldkit COMMAND [OPTIONS] VALUE...   convert the values given\n"
        "  fieldkit COMMAND [OPTIONS] -          convert standard input line by line\n"
        "  fieldkit COMMAND --help               options and examples of one command\n"
        "  fieldkit --log FILE COMMAND ...       also write the library's log (the angle\n"
        "                                        readers' traces) to FILE\n"
        "\n"
        "Commands:\n";
    for (const Command& c : Conversions())
        h += FormatA("  %-13s %s\n", c.name, c.summary);
    h += kBuiltins;
    h += "\n"
         "Numbers are read and written with '.' as the decimal point whatever the locale; each\n"
         "value must be a plain decimal number as a whole ('12abc', '0x10' and 'inf' are\n"
         "refused; an exponent as in 1e-5 is allowed). Options begin with '--', short ones with\n"
         "'-' and a letter; a '-' followed by a digit or '.' is always a value, so -33.8568 is\n"
         "read as a value. Text is UTF-8.\n"
         "\n"
         "Standard input ('-') is converted line by line as it arrives, each result printed\n"
         "as soon as it is made. A line holds the command's value (xyz and blh: three numbers\n"
         "separated by blanks, tabs or a comma), unless --fields picks columns of it. Empty\n"
         "lines and lines beginning with '#' are printed unchanged. For standard input every\n"
         "conversion takes:\n";
    for (const OptionSpec& o : FrameOptions())
        h += FormatA("  %-18s %s\n", OptionName(o), o.help);
    h += "\n"
         "With --fields, the results replace the value columns in place and every other column\n"
         "is printed as it stands; a command that prints more columns than it reads (blh)\n"
         "prints them all where the first value column stood. Columns are separated by runs of\n"
         "blanks and tabs and joined by one blank, or by the --delimiter character both ways\n"
         "(no quoting: the character always separates).\n"
         "\n"
         "Bad lines: the conversion stops at the first one; every line before it has been\n"
         "printed, and 'fieldkit: COMMAND: line N: why' goes to standard error. With\n"
         "--keep-going a bad line is printed with '*' for each result column, every bad line\n"
         "is reported so, and the conversion goes on to the end. A line over 1 MiB is bad.\n"
         "\n"
         "Exit status: 0 on success; 1 when standard output cannot be written; 2 on bad input\n"
         "or usage, after one message per bad line on standard error. Values given as\n"
         "arguments are all converted before anything is printed: a bad one leaves standard\n"
         "output empty.\n";
    return h;
}

std::string CommandHelp(const Command& c) {
    std::string h = std::string("Usage: fieldkit ") + c.name +
                    (OptionsOf(c).empty() ? "" : " [OPTIONS]") + " " + c.operands + "\n";
    std::string summary = c.summary;
    if (summary[0] >= 'a' && summary[0] <= 'z')
        summary[0] = static_cast<char>(summary[0] - 'a' + 'A');
    h += summary + ".\n\n" + c.details;
    h += "\nOptions:\n";
    for (const OptionSpec* o : OptionsOf(c))
        h += FormatA("  %-18s %s\n", OptionName(*o), o->help);
    h += FormatA("  %-18s %s\n", "--help", "this help");
    h += "\nExamples:\n";
    for (const Example& e : c.examples)
        RenderExample(c, e, h);
    return h;
}

Outcome Demo() {
    Outcome o;
    o.out =
        "fieldkit demo: every conversion with sample input and output\n"
        "('fieldkit COMMAND --help' tells the options; 'fieldkit --help' lists the commands)\n";
    for (const Command& c : Conversions()) {
        o.out += std::string("\n") + c.name + ": " + c.summary + "\n";
        for (const Example& e : c.examples) {
            if (!RenderExample(c, e, o.out)) o.status = 1;
        }
    }
    o.out += "\nA field application's start-up, in a temporary device root:\n";
    if (!ApplicationRoad(o.out)) o.status = 1;
    return o;
}

const Command* FindCommand(const std::wstring& name) {
    for (const Command& c : Conversions()) {
        if (name == fieldkit::Utf8ToWide(c.name)) return &c;
    }
    return nullptr;
}

Outcome RunConversion(const Command& c, const std::vector<std::wstring>& args, Streams& io) {
    const std::string where = std::string(c.name) + ": ";
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(c, args, line, error)) return Failure(where, error);
    Outcome o;
    if (line.help) {
        o.out = CommandHelp(c);
        return o;
    }
    if (c.action != nullptr) {
        const Result result = c.action(line.operands, line.settings);
        if (!result.ok) return Failure(where, result.text);
        o.out = result.text;
        return o;
    }
    if (c.arity == 0) {
        if (!line.operands.empty()) return Failure(where, "takes no values, only options");
        const Result result = c.convert(Fields{}, line.settings);
        if (!result.ok) return Failure(where, result.text);
        o.out = result.text + "\n";
        return o;
    }
    return ConvertValues(c, line.operands, line.settings, io);
}

}  // namespace

// ---- Helpers ---------------------------------------------------------------------------------

bool Settings::Has(const char* name) const {
    for (const auto& g : m_given) {
        if (g.first == name) return true;
    }
    return false;
}

std::wstring Settings::Text(const char* name, const std::wstring& fallback) const {
    std::wstring value = fallback;
    for (const auto& t : m_texts) {
        if (t.first == name) value = t.second;
    }
    return value;
}

double Settings::Value(const char* name, double fallback) const {
    double value = fallback;
    for (const auto& g : m_given) {
        if (g.first == name) value = g.second;  // the last one given wins
    }
    return value;
}

Result Ok(const CString& text) {
    return {true, Utf8(text.GetStdString()), {}};
}
Result Ok(std::string text) {
    return {true, std::move(text), {}};
}
Result Columns(std::vector<std::string> columns) {
    return {true, std::string(), std::move(columns)};
}
Result Fail(std::string why) {
    return {false, std::move(why), {}};
}

long MemoryStreams::Read(char* buffer, std::size_t size) {
    const std::size_t n = std::min(size, input.size() - read);
    input.copy(buffer, n, read);
    read += n;
    return static_cast<long>(n);
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

std::wstring Trim(const std::wstring& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool OnlyBlanksFrom(const std::wstring& text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (!IsBlank(text[i])) return false;
    }
    return true;
}

std::string Quote(const std::wstring& text) {
    std::wstring shown = text.substr(0, kQuoteLimit);
    for (wchar_t& ch : shown) {
        if (ch < 0x20 || ch == 0x7F) ch = L'?';
    }
    return "'" + Utf8(shown) + (text.size() > kQuoteLimit ? "...'" : "'");
}

std::string Fixed(double value, int decimals) {
    std::string text = FormatA("%.*f", decimals, value);
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Blanks, an optional sign, digits (whole: nothing else; else with an optional '.' fraction
// and exponent), blanks: what a surveyor's file holds, where the scanner alone would also take
// hexadecimal, "inf" and "nan". `digits` counts the digits before any exponent.
bool IsPlainDecimal(const std::wstring& t, bool whole, std::size_t& digits) {
    std::size_t i = 0;
    const auto run = [&t, &i] {
        const std::size_t start = i;
        while (i < t.size() && IsDigit(t[i]))
            ++i;
        return i - start;
    };
    const auto sign = [&t, &i] {
        if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) ++i;
    };
    while (i < t.size() && IsBlank(t[i]))
        ++i;
    sign();
    digits = run();
    if (!whole && i < t.size() && t[i] == L'.') {
        ++i;
        digits += run();
    }
    if (digits == 0) return false;
    if (!whole && i < t.size() && (t[i] == L'e' || t[i] == L'E')) {
        ++i;
        sign();
        if (run() == 0) return false;
    }
    return OnlyBlanksFrom(t, i);
}

}  // namespace

bool ReadNumber(const std::wstring& text, Range range, double& value, Result& failure) {
    double v = 0;
    int end = -1;
    std::size_t digits = 0;
    if (!IsPlainDecimal(text, false, digits) || Scan(text.c_str(), L"%lf%n", &v, &end) != 1 ||
        end < 0 || !OnlyBlanksFrom(text, static_cast<std::size_t>(end))) {
        failure = Fail("not a number: " + Quote(text));
        return false;
    }
    if (!(v >= range.lo && v <= range.hi)) {
        failure = Fail(FormatA("out of range (%g to %g): ", range.lo, range.hi) + Quote(text));
        return false;
    }
    value = v;
    return true;
}

bool ReadWhole(const std::wstring& text, Range range, long long& value, Result& failure) {
    long long v = 0;
    int end = -1;
    std::size_t digits = 0;
    if (!IsPlainDecimal(text, true, digits) || Scan(text.c_str(), L"%lld%n", &v, &end) != 1 ||
        end < 0 || !OnlyBlanksFrom(text, static_cast<std::size_t>(end))) {
        failure = Fail("not a whole number: " + Quote(text));
        return false;
    }
    // More digits than 64 bits hold are beyond every range.
    if (digits > 18 ||
        !(static_cast<double>(v) >= range.lo && static_cast<double>(v) <= range.hi)) {
        failure = Fail(FormatA("out of range (%.0f to %.0f): ", range.lo, range.hi) + Quote(text));
        return false;
    }
    value = v;
    return true;
}

Outcome Run(const std::vector<std::wstring>& args, Streams& io) {
    Outcome o;
    if (args.empty()) return Failure("", "missing command (see 'fieldkit --help')");
    const std::wstring& name = args[0];
    if (name == L"--help" || name == L"-h" || name == L"help") {
        if (args.size() == 1 || name != L"help") {
            o.out = GeneralHelp();
            return o;
        }
        if (args.size() > 2) return Failure("help: ", "takes one command name");
        const Command* c = FindCommand(args[1]);
        if (c == nullptr) return Failure("help: ", "unknown command " + Quote(args[1]));
        o.out = CommandHelp(*c);
        return o;
    }
    if (name == L"demo") {
        if (args.size() == 2 && (args[1] == L"--help" || args[1] == L"-h")) {
            o.out =
                "Usage: fieldkit demo\nRuns the examples of every command and shows their "
                "output.\n";
            return o;
        }
        if (args.size() > 1) return Failure("demo: ", "takes no values or options");
        return Demo();
    }
    const Command* c = FindCommand(name);
    if (c == nullptr)
        return Failure("", "unknown command " + Quote(name) + " (see 'fieldkit --help')");
    return RunConversion(*c, args, io);
}

}  // namespace fieldkit::tool
