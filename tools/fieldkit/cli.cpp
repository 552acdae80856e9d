#include "cli.h"

#include <cmath>

#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"
#include "fieldkit/text/scan.h"

namespace fieldkit::tool {

using fieldkit::detail::FormatA;
using fieldkit::detail::Scan;

namespace {

constexpr std::size_t kQuoteLimit = 60;

// The blanks of the "C" locale, spelled out so that nothing here depends on the locale.
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

const OptionSpec* FindOption(const Command& c, const std::string& name) {
    for (const auto* options : {&c.options, &CommonOptions(c)}) {
        for (const OptionSpec& o : *options) {
            if (name == o.name) return &o;
        }
    }
    return nullptr;
}

// Options are long ("--name" or "--name=value"), so a negative number is never taken for one;
// "--" ends them.
bool ParseCommandLine(const Command& c, const std::vector<std::wstring>& args, CommandLine& line,
                      std::string& error) {
    std::vector<const OptionSpec*> flags;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != L'-' || (arg[1] != L'-' && arg != L"-h")) {
            line.operands.push_back(arg);
            continue;
        }
        if (arg == L"--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find(L'=');
        const std::string name = Utf8(arg.substr(0, equals));
        if (name == "--help" || name == "-h") {
            line.help = true;
            continue;
        }
        const OptionSpec* spec = FindOption(c, name);
        if (spec == nullptr) {
            error = "unknown option " + Quote(arg.substr(0, equals));
            return false;
        }
        if (spec->valueName == nullptr) {
            if (equals != std::wstring::npos) {
                error = name + " takes no value";
                return false;
            }
            flags.push_back(spec);
            line.settings.Set(spec->name, 1);
            continue;
        }
        std::wstring valueText;
        if (equals != std::wstring::npos) {
            valueText = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            valueText = args[++i];
        } else {
            error = name + " needs a value";
            return false;
        }
        if (spec->text) {
            line.settings.SetText(spec->name, valueText);
            continue;
        }
        Result why;
        double value = 0;
        long long whole = 0;
        const bool read = spec->whole ? ReadWhole(valueText, spec->range, whole, why)
                                      : ReadNumber(valueText, spec->range, value, why);
        if (!read) {
            error = name + ": " + why.text;
            return false;
        }
        line.settings.Set(spec->name, spec->whole ? static_cast<double>(whole) : value);
    }
    for (std::size_t a = 0; a < flags.size(); ++a) {
        for (std::size_t b = a + 1; b < flags.size(); ++b) {
            if (flags[a] != flags[b] && (flags[a]->exclusive & flags[b]->exclusive) != 0) {
                error =
                    std::string(flags[a]->name) + " and " + flags[b]->name + " exclude each other";
                return false;
            }
        }
    }
    return true;
}

// ---- Records ---------------------------------------------------------------------------------

struct Record {
    std::size_t line = 0;  // 0 for values given as arguments
    Fields fields;         // none for a blank input line
};

// Values separated by blanks, or by one comma with blanks around it.
bool SplitFields(const std::wstring& text, Fields& fields) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    for (;;) {
        while (i < n && IsBlank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < n && !IsBlank(text[i]) && text[i] != L',')
            ++i;
        if (i == start) return false;
        fields.push_back(text.substr(start, i - start));
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i == n) return true;
        if (text[i] == L',') ++i;
    }
}

bool MakeFields(const Command& c, const std::wstring& text, Fields& fields, std::string& error) {
    if (c.arity == 1) {
        fields.push_back(Trim(text));
        return true;
    }
    if (!SplitFields(text, fields)) {
        error = "empty value in " + Quote(text);
        return false;
    }
    if (fields.size() != c.arity) {
        error = FormatA("expected %zu values, found %zu in ", c.arity, fields.size()) + Quote(text);
        return false;
    }
    return true;
}

std::vector<std::wstring> SplitLines(const std::string& data) {
    std::vector<std::wstring> lines;
    std::size_t start = data.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a UTF-8 byte-order mark
    while (start < data.size()) {
        std::size_t end = data.find('\n', start);
        if (end == std::string::npos) end = data.size();
        std::size_t stop = end;
        if (stop > start && data[stop - 1] == '\r') --stop;
        lines.push_back(fieldkit::Utf8ToWide(std::string_view(data).substr(start, stop - start)));
        start = end + 1;
    }
    return lines;
}

bool GatherRecords(const Command& c, const std::vector<std::wstring>& operands,
                   const InputReader& readInput, std::vector<Record>& records, std::string& error) {
    if (operands.empty()) {
        error = "missing value (see 'fieldkit " + std::string(c.name) + " --help')";
        return false;
    }
    if (operands.size() > 1 || operands[0] != L"-") {
        for (const std::wstring& op : operands) {
            if (op == L"-") {
                error = "'-' (standard input) must be the only value";
                return false;
            }
        }
        if (c.arity == 1) {
            for (const std::wstring& op : operands)
                records.push_back({0, Fields{Trim(op)}});
            return true;
        }
        // "45.5 -73.5 100", "45.5,-73.5,100" and three arguments all mean the same point.
        std::wstring joined;
        for (const std::wstring& op : operands)
            joined += (joined.empty() ? L"" : L" ") + op;
        records.emplace_back();
        return MakeFields(c, joined, records.back().fields, error);
    }
    std::string data;
    if (!readInput || !readInput(data, error)) {
        if (error.empty()) error = "cannot read standard input";
        return false;
    }
    const std::vector<std::wstring> lines = SplitLines(data);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        records.push_back({i + 1, Fields{}});
        if (Trim(lines[i]).empty()) continue;
        if (!MakeFields(c, lines[i], records.back().fields, error)) {
            error = FormatA("line %zu: ", i + 1) + error;
            return false;
        }
    }
    return true;
}

const Command* FindCommand(const std::wstring& name) {
    for (const Command& c : Conversions()) {
        if (name == fieldkit::Utf8ToWide(c.name)) return &c;
    }
    return nullptr;
}

// Every record is converted before anything is printed, so a bad line leaves stdout empty.
Outcome RunConversion(const Command& c, const std::vector<std::wstring>& args,
                      const InputReader& readInput) {
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
    std::vector<Record> records;
    if (!GatherRecords(c, line.operands, readInput, records, error)) return Failure(where, error);
    for (const Record& r : records) {
        if (r.fields.empty()) {
            o.out += "\n";
            continue;
        }
        const Result result = c.convert(r.fields, line.settings);
        if (!result.ok) {
            const std::string at = r.line == 0 ? std::string() : FormatA("line %zu: ", r.line);
            return Failure(where, at + result.text);
        }
        o.out += result.text + "\n";
    }
    return o;
}

}  // namespace

// None yet: every option belongs to its command.
const std::vector<OptionSpec>& CommonOptions(const Command&) {
    static const std::vector<OptionSpec> none;
    return none;
}

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
    return {true, Utf8(text.GetStdString())};
}
Result Ok(std::string text) {
    return {true, std::move(text)};
}
Result Fail(std::string why) {
    return {false, std::move(why)};
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

bool ReadNumber(const std::wstring& text, Range range, double& value, Result& failure) {
    double v = 0;
    int end = -1;
    if (Scan(text.c_str(), L"%lf%n", &v, &end) != 1 || end < 0 ||
        !OnlyBlanksFrom(text, static_cast<std::size_t>(end)) || std::isnan(v)) {
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
    if (Scan(text.c_str(), L"%lld%n", &v, &end) != 1 || end < 0 ||
        !OnlyBlanksFrom(text, static_cast<std::size_t>(end))) {
        failure = Fail("not a whole number: " + Quote(text));
        return false;
    }
    if (!(static_cast<double>(v) >= range.lo && static_cast<double>(v) <= range.hi)) {
        failure = Fail(FormatA("out of range (%.0f to %.0f): ", range.lo, range.hi) + Quote(text));
        return false;
    }
    value = v;
    return true;
}

Outcome Run(const std::vector<std::wstring>& args, const InputReader& readInput) {
    Outcome o;
    if (args.empty()) return Failure("", "missing command (see 'fieldkit --help')");
    if (RunBuiltin(args, o)) return o;
    const std::wstring& name = args[0];
    const Command* c = FindCommand(name);
    if (c == nullptr)
        return Failure("", "unknown command " + Quote(name) + " (see 'fieldkit --help')");
    return RunConversion(*c, args, readInput);
}

}  // namespace fieldkit::tool
