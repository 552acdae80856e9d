#include "cli.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"
#include "fieldkit/text/scan.h"

namespace fieldkit::tool {

using fieldkit::detail::FormatA;
using fieldkit::detail::Scan;

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

bool OnlyBlanksFrom(std::wstring_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (!IsBlank(text[i])) return false;
    }
    return true;
}

namespace {

// The length of the UTF-8 sequence at `p` (1 for ASCII), or 0 when it is not a valid one.
std::size_t SequenceAt(const unsigned char* p, std::size_t left) {
    const unsigned lead = p[0];
    if (lead < 0x80) return 1;
    // The second byte's range narrows where overlong forms, surrogates and values beyond
    // U+10FFFF would begin.
    std::size_t n = 0;
    unsigned lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        lo = lead == 0xE0 ? 0xA0 : 0x80;
        hi = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        lo = lead == 0xF0 ? 0x90 : 0x80;
        hi = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < n || p[1] < lo || p[1] > hi) return 0;
    for (std::size_t i = 2; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
    }
    return n;
}

// `text` with the control characters (the line feed too unless `lines`) and the bytes outside
// valid UTF-8 as \xHH.
std::string Printable(std::string_view text, bool lines) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size;) {
        const unsigned b = p[i];
        const std::size_t n = SequenceAt(p + i, size - i);
        const bool control = (b < 0x20 && !(lines && b == '\n')) || b == 0x7F ||
                             (b == 0xC2 && n == 2 && p[i + 1] < 0xA0);
        if (n == 0 || control) {
            // A C1 control by its code point, which is its second byte.
            out += FormatA("\\x%02X", static_cast<unsigned>(n == 2 ? p[i + 1] : b));
            i += n == 0 ? 1 : n;
        } else {
            out.append(text.data() + i, n);
            i += n;
        }
    }
    return out;
}

}  // namespace

std::string Quote(std::wstring_view text, std::size_t limit) {
    const std::string shown = Printable(WideToUtf8(text.substr(0, limit)), false);
    return "'" + shown + (text.size() > limit ? "...'" : "'");
}

std::wstring DecodeArgument(std::string_view bytes) {
    return fieldkit::IsUtf8(bytes) ? fieldkit::Utf8ToWide(bytes) : fieldkit::AnsiToWide(bytes);
}

std::string SafeMessage(std::string_view text) {
    const bool plain = std::all_of(text.begin(), text.end(),
                                   [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\n'; });
    return plain ? std::string(text) : Printable(text, true);
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
// hexadecimal, "inf" and "nan". `digits` counts the digits before any exponent. The number's
// characters (sign, digits, point, exponent) go to `copy` when it has room for them, else
// `copied` stays 0.
bool IsPlainDecimal(std::wstring_view t, bool whole, std::size_t& digits, char* copy = nullptr,
                    std::size_t room = 0, std::size_t* copied = nullptr) {
    std::size_t i = 0;
    std::size_t n = 0;
    const auto keep = [&](wchar_t c) {
        if (n < room) copy[n] = static_cast<char>(c);
        ++n;
    };
    const auto run = [&] {
        const std::size_t start = i;
        for (; i < t.size() && IsDigit(t[i]); ++i)
            keep(t[i]);
        return i - start;
    };
    const auto sign = [&] {
        if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) keep(t[i++]);
    };
    while (i < t.size() && IsBlank(t[i]))
        ++i;
    sign();
    digits = run();
    if (!whole && i < t.size() && t[i] == L'.') {
        keep(t[i++]);
        digits += run();
    }
    if (digits == 0) return false;
    if (!whole && i < t.size() && (t[i] == L'e' || t[i] == L'E')) {
        keep(t[i++]);
        sign();
        if (run() == 0) return false;
    }
    if (copied != nullptr) *copied = n <= room ? n : 0;
    return OnlyBlanksFrom(t, i);
}

// The scanner's reading of a plain decimal number, the slow way round.
bool ScanDecimal(std::wstring_view view, double& v) {
    const std::wstring text(view);
    int end = -1;
    return Scan(text.c_str(), L"%lf%n", &v, &end) == 1 && end >= 0 &&
           OnlyBlanksFrom(text, static_cast<std::size_t>(end));
}

}  // namespace

bool ReadPlainDecimal(std::wstring_view text, double& value) {
    // Room for any number a file holds; a longer one goes through the scanner.
    char copy[64];
    std::size_t n = 0;
    std::size_t digits = 0;
    if (!IsPlainDecimal(text, false, digits, copy, sizeof copy, &n)) return false;
    // from_chars takes no '+', and rounds as the scanner does (to nearest, ties to even), so
    // both give the same double; a value beyond double's range is left to the scanner, which
    // answers an infinity or zero for it.
    const char* first = copy[0] == '+' ? copy + 1 : copy;
    double v = 0;
    const auto r = std::from_chars(first, copy + n, v);
    if (n == 0 || r.ec != std::errc() || r.ptr != copy + n) return ScanDecimal(text, value);
    value = v;
    return true;
}

bool ReadNumber(const std::wstring& text, Range range, double& value, Result& failure) {
    double v = 0;
    if (!ReadPlainDecimal(text, v)) {
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
