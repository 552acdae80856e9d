#include "cli.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"

namespace fieldkit::tool {

namespace {

std::string Utf8(const std::wstring& text) {
    return fieldkit::WideToUtf8(text);
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
    for (const OptionSpec& o : CommonOptions(c))
        all.push_back(&o);
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
    if (c.Arity() == 0) {
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
Result FailValue(std::size_t value, std::string why) {
    Result r = Fail(std::move(why));
    r.value = value;
    return r;
}

long MemoryStreams::Read(char* buffer, std::size_t size) {
    const std::size_t n = std::min(size, input.size() - read);
    input.copy(buffer, n, read);
    read += n;
    return static_cast<long>(n);
}

Outcome Failure(const std::string& where, const std::string& why) {
    Outcome o;
    o.status = kExitBadInput;
    o.err = "fieldkit: " + where + why + "\n";
    return o;
}

std::wstring DecodeArgument(std::string_view bytes) {
    return fieldkit::IsUtf8(bytes) ? fieldkit::Utf8ToWide(bytes) : fieldkit::AnsiToWide(bytes);
}

std::string SafeMessage(std::string_view text) {
    const bool plain = std::all_of(text.begin(), text.end(),
                                   [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\n'; });
    return plain ? std::string(text) : typed::Printable(text, true);
}

bool ReadNumber(const std::wstring& text, Range range, double& value, Result& failure) {
    std::string why;
    if (typed::ReadNumber(text, range, value, why)) return true;
    failure = Fail(std::move(why));
    return false;
}

bool ReadWhole(const std::wstring& text, Range range, long long& value, Result& failure) {
    std::string why;
    if (typed::ReadWhole(text, range, value, why)) return true;
    failure = Fail(std::move(why));
    return false;
}

namespace {

Outcome RunCommand(const std::vector<std::wstring>& args, Streams& io) {
    Outcome o;
    if (args.empty()) return Failure("", "missing command (see 'fieldkit --help')");
    if (RunBuiltin(args, o)) return o;
    const Command* c = FindCommand(args[0]);
    if (c == nullptr)
        return Failure("", "unknown command " + Quote(args[0]) + " (see 'fieldkit --help')");
    return RunConversion(*c, args, io);
}

}  // namespace

Outcome Run(const std::vector<std::wstring>& args, Streams& io) {
    Outcome o = RunCommand(args, io);
    o.err = SafeMessage(o.err);
    return o;
}

const std::vector<OptionSpec>& CommonOptions(const Command& c) {
    static const std::vector<OptionSpec> none;
    return ConvertsValues(c) ? FrameOptions() : none;
}

}  // namespace fieldkit::tool
