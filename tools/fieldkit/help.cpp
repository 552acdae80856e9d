// The tool's help texts, its manual page and its demo. The help and the manual page are both
// made from the command table and the lists below, so what --help prints and what man shows
// cannot drift apart.
#include <algorithm>
#include <iterator>
#include <utility>

#include "cli.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"

#ifndef FIELDKIT_VERSION
#error "FIELDKIT_VERSION must be defined to the project's version by the build"
#endif

namespace fieldkit::tool {

using fieldkit::FormatA;

namespace {

constexpr std::size_t kTextWidth = 80;

const char kTitle[] = "survey and GNSS conversions on the command line";

// Only in the manual page: the help text starts straight with the usage.
const char kAbout[] =
    "fieldkit converts the texts surveyors read and type (angles and coordinates in degrees, "
    "minutes and seconds, quadrant bearings, heights in feet and inches, road stations, dates) "
    "and positions on WGS 84, one value at a time or a whole file from standard input, exactly "
    "as the field software's library does. It also reads and changes that software's settings "
    "files, translation catalogs and XML documents, and shows the folders and screen scaling "
    "a program on the handheld would get.";

struct Entry {
    const char* term;
    const char* text;
};

const Entry kUsages[] = {
    {"fieldkit COMMAND [OPTIONS] VALUE...", "convert the values given"},
    {"fieldkit COMMAND [OPTIONS] -", "convert standard input line by line"},
    {"fieldkit help [COMMAND]", "the commands, or one command's help"},
    {"fieldkit --version", "the version"},
};

OptionSpec Described(const char* name, const char* valueName, const char* help) {
    return OptionSpec(name).Value(valueName).Help(help);
}

// Taken before the command's name.
const OptionSpec kGlobalOptions[] = {
    Described("--log", "FILE",
              "also write the library's log to FILE (the traces of its angle readers, which "
              "read with --lenient)"),
    Described("--version", nullptr, "print the version"),
    Described("--help", nullptr,
              "the list of commands (-h too); 'fieldkit --help COMMAND' or "
              "'fieldkit COMMAND --help' for one command"),
};

const Entry kExitStatuses[] = {
    {"0", "success"},
    {"1",
     "the output could not be written, or the tool failed in itself (as when a demo step "
     "does not give what it should)"},
    {"2",
     "bad input or usage; each reason is one line on standard error beginning "
     "'fieldkit: '"},
};

const Entry kEnvironment[] = {
    {"FIELDKIT_DEVICE_ROOT",
     "the host folder that holds the device's files, for paths without --root (default /)"},
    {"TMPDIR", "where demo makes its temporary device root (default /tmp)"},
};

// Paragraphs that hold for every command.
std::vector<std::string> Notes() {
    return {
        "Numbers are read and written with '.' as the decimal point whatever the locale; each "
        "value must be a plain decimal number as a whole ('12abc', '0x10' and 'inf' are "
        "refused; an exponent as in 1e-5 is allowed). Options begin with '--', short ones with "
        "'-' and a letter; a '-' followed by a digit or '.' is always a value, so -33.8568 is "
        "read as a value.",
        "Typed texts (the angles of parse-angle, parse-lat and parse-lon, the feet and inches of "
        "height, the stations of station) are read in one of three modes. Checked, the default, "
        "reads what people type and export and refuses, with the reason, whatever could be read "
        "as another number than the text means (no digit, out of range, a letter that does not "
        "fit, a decimal comma). --lenient reads exactly as the field software does: every text "
        "gives a number. --strict reads only the usual way of writing, and each refusal names "
        "the offending character and its position.",
        "Text: standard input is UTF-8 (a byte-order mark at its start is skipped), or UTF-16 "
        "when it begins with a UTF-16 byte-order mark (little or big endian). A line that is not "
        "valid UTF-8 is read as Windows-1252, the whole line, so the columns passed through come "
        "out as UTF-8 too; so is an argument that is not valid UTF-8 (a degree sign typed in a "
        "Windows-1252 terminal is a degree sign). Output is always UTF-8 with LF line ends; a "
        "line may end in LF, CR LF or CR.",
        "Standard input ('-') is converted line by line as it arrives, each result printed as "
        "soon as it is made. A line holds the command's values (several values separated by "
        "blanks, tabs or a comma), unless --fields or --delimiter splits it into columns. Empty "
        "lines and comments (lines whose first character other than blanks and tabs is '#') are "
        "printed unchanged; --header N passes the first N lines through.",
        "--fields lists the columns that hold the command's values, in the order the command "
        "reads them: 'xyz -f 2,1,3' reads the latitude from column 2, the longitude from column "
        "1 and the height from column 3. The results fill the value columns in ascending column "
        "order, so that one prints X in column 1, Y in column 2 and Z in column 3; every other "
        "column is printed as it stands. A command that prints more columns than it reads (blh) "
        "prints them all where the leftmost value column stood. With --delimiter and without "
        "--fields, the columns are the values in order.",
        "Columns are separated by runs of blanks and tabs and joined by one blank, or by the "
        "--delimiter character both ways. A cell whose first character is a double quote is "
        "quoted as in CSV: it runs to the closing quote, '\"\"' inside stands for one quote, and "
        "the delimiter and blanks may appear inside. A value is read without the quotes; any "
        "other quoted cell is printed exactly as it was. A quote that is not closed, or "
        "characters after the closing quote before the next delimiter, make the line bad. A text "
        "that only ends with a quote (seconds: 45°30'15.5\") is not quoted. A result "
        "that holds the delimiter is written quoted, each quote in it doubled.",
        "With --delimiter, or --header and --fields, every line must have as many columns as "
        "the first row: the last of the --header lines that is neither empty nor a comment, "
        "else the first line converted. A line with another number is bad ('line 5: 5 columns, "
        "the first row has 4'), which catches a decimal comma in a CSV file.",
        "Bad lines: the conversion stops at the first one; every line before it has been "
        "printed, and 'fieldkit: COMMAND: line L, column C: NAME: why' goes to standard error. "
        "', column C' (from 1) appears when the failure is about one value that came from a "
        "column of the line (picked by --fields, or split at the delimiter, blanks or a comma), "
        "and 'NAME: ' names that value (latitude, say) whenever the failure is about one value; "
        "a failure about the line as a whole (a missing column, another number of columns, a "
        "line over 1 MiB) is 'line L: why'. When no --header is given and the first line "
        "converted is bad and holds no digit, the message ends with ' (a header? use --header "
        "L)'. With --keep-going a bad line is printed with '*' for each result column, every "
        "bad line is reported so, and the conversion goes on to the end.",
        "Values given as arguments are all converted before anything is printed: a bad one "
        "leaves standard output empty, and 'fieldkit: COMMAND: why' (with the value's name "
        "when the command reads several) goes to standard error. In every message, control "
        "characters and bytes that are not UTF-8 are shown as \\xHH."};
}

const Command* FindAny(const std::wstring& name) {
    for (const auto* table : {&Conversions(), &Builtins()}) {
        for (const Command& c : *table) {
            if (name == fieldkit::Utf8ToWide(c.name)) return &c;
        }
    }
    return nullptr;
}

const Command& Builtin(const char* name) {
    return *FindAny(fieldkit::Utf8ToWide(name));
}

// What the help lists for a command, in order; --help is added by the help text itself.
std::vector<OptionSpec> OptionsOf(const Command& c) {
    std::vector<OptionSpec> all = c.options;
    const std::vector<OptionSpec>& common = CommonOptions(c);
    all.insert(all.end(), common.begin(), common.end());
    return all;
}

// "fieldkit NAME [OPTIONS] OPERANDS", as both help texts set it.
std::string UsageOf(const Command& c) {
    std::string usage = std::string("fieldkit ") + c.name;
    if (!OptionsOf(c).empty()) usage += " [OPTIONS]";
    if (*c.operands != '\0') usage += std::string(" ") + c.operands;
    return usage;
}

// The one-line summary as the first sentence of a command's help.
std::string Sentence(const char* summary) {
    std::string s = summary;
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s + ".";
}

// "-p, --decimals N" or "--tenths".
std::string OptionTerm(const OptionSpec& o) {
    const std::string name =
        o.shortName == nullptr ? o.name : std::string(o.shortName) + ", " + o.name;
    return o.valueName == nullptr ? name : name + " " + o.valueName;
}

std::size_t Width(const std::string& text) {
    return fieldkit::Utf8ToWide(text).size();
}

// ---- Plain text ----------------------------------------------------------------------------

// The words of `text` in lines that fit the terminal after `indent` columns, joined by a line
// break and that indent.
std::string Wrap(const std::string& text, std::size_t indent) {
    const std::size_t room = kTextWidth > indent + 20 ? kTextWidth - indent : 20;
    std::string out;
    std::size_t column = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty()) continue;
        if (column > 0 && column + 1 + Width(word) > room) {
            out += "\n" + std::string(indent, ' ');
            column = 0;
        } else if (column > 0) {
            out += ' ';
            ++column;
        }
        out += word;
        column += Width(word);
    }
    return out;
}

// Two columns: the terms padded to the longest, the texts wrapped beside them.
std::string Columns(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, Width(row.first));
    std::string out;
    for (const auto& [term, text] : rows) {
        out +=
            "  " + term + std::string(width - Width(term) + 2, ' ') + Wrap(text, width + 4) + "\n";
    }
    return out;
}

template <typename Rows>
std::string EntryColumns(const Rows& entries) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const Entry& e : entries)
        rows.emplace_back(e.term, e.text);
    return Columns(rows);
}

std::string ShellWord(const char* word) {
    static const char kPlain[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.,:+=/@-";
    const std::string w = word;
    if (!w.empty() && w.find_first_not_of(kPlain) == std::string::npos) return w;
    std::string quoted = "'";
    for (const char ch : w)
        quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return quoted + "'";
}

// An example as a shell line and what the tool prints for it.
struct ExampleRun {
    std::string shell;
    std::vector<std::string> shown;
    bool ok;
};

ExampleRun RunExample(const Command& c, const Example& e) {
    ExampleRun run;
    std::vector<std::wstring> args{fieldkit::Utf8ToWide(c.name)};
    std::string input;
    if (!e.input.empty()) {
        run.shell += "printf '%s\\n'";
        for (const char* line : e.input) {
            run.shell += " " + ShellWord(line);
            input += std::string(line) + "\n";
        }
        run.shell += " | ";
    }
    run.shell += std::string("fieldkit ") + c.name;
    for (const char* a : e.args) {
        run.shell += " " + ShellWord(a);
        args.push_back(fieldkit::Utf8ToWide(a));
    }
    MemoryStreams io(input);
    const Outcome o = Run(args, io);
    run.ok = o.status == e.status;
    // An example of bad input shows what reaches each stream, and the status it ends with.
    std::string shown = e.status == 0 && run.ok ? io.out + o.out : io.err + o.err;
    if (e.status != 0)
        shown = io.out + o.out + io.err + o.err + FormatA("(exit status %d)\n", o.status);
    std::size_t start = 0;
    while (start < shown.size()) {
        std::size_t end = shown.find('\n', start);
        if (end == std::string::npos) end = shown.size();
        run.shown.push_back(shown.substr(start, end - start));
        start = end + 1;
    }
    return run;
}

bool RenderExample(const Command& c, const Example& e, std::string& out) {
    const ExampleRun run = RunExample(c, e);
    out += "  $ " + run.shell + "\n";
    for (const std::string& line : run.shown)
        out += (line.empty() ? "" : "  ") + line + "\n";
    return run.ok;
}

Outcome Printed(std::string text) {
    Outcome o;
    o.out = std::move(text);
    return o;
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

// ---- roff ----------------------------------------------------------------------------------

// Characters roff takes for its own or sets as typographic ones (a minus, curly quotes), with
// the names that print what a surveyor would type on every device, UTF-8 terminals included.
const std::pair<wchar_t, const char*> kRoffNames[] = {
    {L'\\', "\\e"},  {L'-', "\\-"},   {L'\'', "\\(aq"}, {L'"', "\\(dq"},
    {L'`', "\\(ga"}, {L'^', "\\(ha"}, {L'~', "\\(ti"},
};

// Text as roff prints it literally. Characters beyond ASCII are named by their code point, so
// the page reads the same whatever the reader's locale.
std::string Roff(const std::string& text) {
    std::string r;
    for (const wchar_t ch : fieldkit::Utf8ToWide(text)) {
        const auto named = std::find_if(std::begin(kRoffNames), std::end(kRoffNames),
                                        [ch](const auto& n) { return n.first == ch; });
        if (named != std::end(kRoffNames))
            r += named->second;
        else if (ch >= 0x80)
            r += FormatA("\\[u%04X]", static_cast<unsigned>(ch));
        else
            r += static_cast<char>(ch);
    }
    return r;
}

// A whole input line: one beginning with '.' would be taken for a request.
std::string RoffLine(const std::string& text) {
    const std::string r = Roff(text);
    return (!r.empty() && r[0] == '.' ? "\\&" : "") + r + "\n";
}

std::string Bold(const std::string& text) {
    return "\\fB" + Roff(text) + "\\fR";
}
std::string Italic(const std::string& text) {
    return "\\fI" + Roff(text) + "\\fR";
}

bool IsUpper(char ch) {
    return ch >= 'A' && ch <= 'Z';
}
bool IsWordChar(char ch) {
    return (ch >= 'a' && ch <= 'z') || IsUpper(ch) || (ch >= '0' && ch <= '9') || ch == '-' ||
           ch == '_';
}

// A usage line with the words to type in bold and the placeholders (capitals) in italics.
std::string RoffUsage(const std::string& usage) {
    std::string r;
    std::size_t i = 0;
    while (i < usage.size()) {
        if (!IsWordChar(usage[i])) {
            r += Roff(usage.substr(i, 1));
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < usage.size() && IsWordChar(usage[end]))
            ++end;
        const std::string word = usage.substr(i, end - i);
        r += IsUpper(word[0]) ? Italic(word) : Bold(word);
        i = end;
    }
    return r;
}

std::string RoffOption(const OptionSpec& o) {
    std::string tag =
        o.shortName == nullptr ? Bold(o.name) : Bold(o.shortName) + ", " + Bold(o.name);
    if (o.valueName != nullptr) tag += " " + Italic(o.valueName);
    return ".TP\n" + tag + "\n" + RoffLine(o.help);
}

// Hard-wrapped lines as filled text; an empty line starts a new paragraph.
std::string RoffParagraphs(const std::string& text) {
    std::string r;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        r += line.empty() ? ".PP\n" : RoffLine(line);
        start = end + 1;
    }
    return r;
}

std::string RoffCommand(const Command& c) {
    std::string m = ".SS " + Roff(c.name) + "\n" + RoffUsage(UsageOf(c)) + "\n.PP\n";
    m += RoffLine(Sentence(c.summary)) + ".PP\n" + RoffParagraphs(c.details);
    const std::vector<OptionSpec> options = OptionsOf(c);
    if (!options.empty()) {
        m += ".PP\nOptions:\n";
        for (const OptionSpec& o : options)
            m += RoffOption(o);
    }
    if (!c.examples.empty()) {
        m += ".PP\nExamples:\n.RS 4\n.nf\n";
        for (const Example& e : c.examples) {
            const ExampleRun run = RunExample(c, e);
            m += RoffLine("$ " + run.shell);
            for (const std::string& line : run.shown)
                m += line.empty() ? "\\&\n" : RoffLine(line);
        }
        m += ".fi\n.RE\n";
    }
    return m;
}

template <typename Rows>
std::string RoffEntries(const Rows& entries) {
    std::string m;
    for (const Entry& e : entries)
        m += ".TP\n" + Bold(e.term) + "\n" + RoffLine(e.text);
    return m;
}

// The help text of each command below, under its usage and summary.
constexpr char kDemoDetails[] =
    "Runs the examples of every command and shows what they print, then walks through a\n"
    "field application's start-up in a temporary device root: identity, layout, a typed\n"
    "latitude read and shown back, and the log it wrote.\n";

constexpr char kHelpDetails[] =
    "Without COMMAND, lists the commands with the options taken before them, the notes\n"
    "that hold for all, the exit statuses and the environment. With COMMAND, prints its\n"
    "usage, options and examples, as 'fieldkit COMMAND --help' does.\n";

}  // namespace

// ---- What cli.h declares ----------------------------------------------------------------------

const std::vector<Command>& Builtins() {
    static const std::vector<Command> builtins = {
        Command("demo")
            .Operands("")
            .Summary("a short tour: every conversion with sample input and output")
            .Details(kDemoDetails),
        Command("help")
            .Operands("[COMMAND]")
            .Summary("the list of commands, or the help of one")
            .Details(kHelpDetails),
    };
    return builtins;
}

std::string GeneralHelp() {
    std::string h = std::string("fieldkit - ") + kTitle + "\n\nUsage:\n" + EntryColumns(kUsages);
    std::vector<std::pair<std::string, std::string>> rows;
    for (const OptionSpec& o : kGlobalOptions)
        rows.emplace_back(OptionTerm(o), o.help);
    h += "\nOptions before the command:\n" + Columns(rows);
    rows.clear();
    for (const auto* table : {&Conversions(), &Builtins()}) {
        for (const Command& c : *table)
            rows.emplace_back(c.name, c.summary);
    }
    h += "\nCommands:\n" + Columns(rows);
    for (const std::string& note : Notes())
        h += "\n" + Wrap(note, 0) + "\n";
    h += "\nExit status:\n" + EntryColumns(kExitStatuses);
    h += "\nEnvironment:\n" + EntryColumns(kEnvironment);
    return h;
}

std::string CommandHelp(const Command& c) {
    const std::vector<OptionSpec> options = OptionsOf(c);
    std::string h = "Usage: " + UsageOf(c) + "\n" + Sentence(c.summary) + "\n\n" + c.details;
    std::vector<std::pair<std::string, std::string>> rows;
    for (const OptionSpec& o : options)
        rows.emplace_back(OptionTerm(o), o.help);
    rows.emplace_back("--help", "this help");
    h += "\nOptions:\n" + Columns(rows);
    if (!c.examples.empty()) {
        h += "\nExamples:\n";
        for (const Example& e : c.examples)
            RenderExample(c, e, h);
    }
    return h;
}

std::string ManualPage() {
    std::string m =
        ".\\\" The tool prints this page from its command table ('fieldkit --manual-page');\n"
        ".\\\" change the table, not the page.\n";
    m += ".TH FIELDKIT 1 \"\" \"fieldkit " FIELDKIT_VERSION "\" \"User Commands\"\n";
    // Hyphens would break placeholders and typed texts where the reader cannot tell.
    m += ".nh\n";
    m += ".SH NAME\nfieldkit \\- " + Roff(kTitle) + "\n";
    m += ".SH SYNOPSIS\n.nf\n";
    for (const Entry& u : kUsages)
        m += RoffUsage(u.term) + "\n";
    m += ".fi\n.SH DESCRIPTION\n" + RoffLine(kAbout);
    for (const Entry& u : kUsages)
        m += ".TP\n" + RoffUsage(u.term) + "\n" + RoffLine(u.text);
    for (const std::string& note : Notes())
        m += ".PP\n" + RoffLine(note);
    m += ".SH OPTIONS\nThese come before the command's name.\n";
    for (const OptionSpec& o : kGlobalOptions)
        m += RoffOption(o);
    m += ".SH COMMANDS\n";
    for (const auto* table : {&Conversions(), &Builtins()}) {
        for (const Command& c : *table)
            m += RoffCommand(c);
    }
    m += ".SH \"EXIT STATUS\"\n" + RoffEntries(kExitStatuses);
    m += ".SH ENVIRONMENT\n" + RoffEntries(kEnvironment);
    return m;
}

bool RunBuiltin(const std::vector<std::wstring>& args, Outcome& outcome) {
    const std::wstring& name = args[0];
    const auto asksHelp = [](const std::wstring& a) { return a == L"--help" || a == L"-h"; };
    if (asksHelp(name) || name == L"help") {
        if (args.size() == 1) {
            outcome = Printed(GeneralHelp());
        } else if (args.size() > 2) {
            outcome = Failure("help: ", "takes one command name");
        } else if (asksHelp(args[1])) {
            outcome = Printed(CommandHelp(Builtin("help")));
        } else if (const Command* c = FindAny(args[1])) {
            outcome = Printed(CommandHelp(*c));
        } else {
            outcome =
                Failure("help: ", "unknown command " + Quote(args[1]) + " (see 'fieldkit --help')");
        }
        return true;
    }
    if (name == L"--version" || name == L"--manual-page") {
        if (args.size() > 1)
            outcome = Failure("", WideToUtf8(name) + " takes nothing after it");
        else
            outcome =
                Printed(name == L"--version" ? "fieldkit " FIELDKIT_VERSION "\n" : ManualPage());
        return true;
    }
    if (name == L"demo") {
        if (args.size() == 2 && asksHelp(args[1]))
            outcome = Printed(CommandHelp(Builtin("demo")));
        else if (args.size() > 1)
            outcome = Failure("demo: ", "takes no values or options");
        else
            outcome = Demo();
        return true;
    }
    return false;
}

}  // namespace fieldkit::tool
