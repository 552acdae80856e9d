// The help texts and the manual page, both made from the command table: every command the help
// lists answers for itself, and the page says everything the help says.

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/device_root.h"
#include "tools/fieldkit/cli.h"

namespace {

using fieldkit::tool::Command;
using fieldkit::tool::OptionSpec;
using fieldkit::tool::Outcome;

// What a shell command prints on standard output, and its exit status.
std::pair<std::string, int> Shell(const std::string& command) {
    std::pair<std::string, int> r{"", -1};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    for (int c; (c = std::fgetc(pipe)) != EOF;)
        r.first += static_cast<char>(c);
    const int status = pclose(pipe);
    if (WIFEXITED(status)) r.second = WEXITSTATUS(status);
    return r;
}

// Runs of blanks and line breaks as one space, so a text is found however it was wrapped.
std::string Squeeze(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\t';
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<const Command*> AllCommands() {
    std::vector<const Command*> all;
    for (const auto* table : {&fieldkit::tool::Conversions(), &fieldkit::tool::Builtins()}) {
        for (const Command& c : *table)
            all.push_back(&c);
    }
    return all;
}

std::vector<OptionSpec> OptionsOf(const Command& c) {
    std::vector<OptionSpec> all = c.options;
    const std::vector<OptionSpec>& common = fieldkit::tool::CommonOptions(c);
    all.insert(all.end(), common.begin(), common.end());
    return all;
}

std::string Term(const OptionSpec& o) {
    const std::string name =
        o.shortName == nullptr ? o.name : std::string(o.shortName) + ", " + o.name;
    return o.valueName == nullptr ? name : name + " " + o.valueName;
}

Outcome Ask(const std::vector<std::string>& args) {
    std::vector<std::wstring> wide;
    for (const std::string& a : args)
        wide.emplace_back(a.begin(), a.end());
    fieldkit::tool::MemoryStreams io;
    return fieldkit::tool::Run(wide, io);
}

// The examples run through the tool itself, and paths touches the device root.
class Help : public DeviceRootTest {};

// The command list of --help is the table, and each command in it answers all three ways of
// asking with the same text: its usage, every option, examples only when it has some, and no
// example that fails.
// Fault: a command left out of --help, or "cmd --help" and "help cmd" giving different texts
TEST_F(Help, EveryListedCommandAnswersForItself) {
    const std::vector<std::string> general = Lines(Ask({"--help"}).out);
    std::vector<std::string> listed;
    auto line = std::find(general.begin(), general.end(), "Commands:");
    ASSERT_NE(line, general.end());
    for (++line; line != general.end() && !line->empty(); ++line) {
        if (line->compare(0, 3, "   ") != 0)
            listed.push_back(line->substr(2, line->find(' ', 2) - 2));
    }
    std::vector<std::string> table;
    for (const Command* c : AllCommands())
        table.push_back(c->name);
    EXPECT_EQ(listed, table);

    for (const Command* c : AllCommands()) {
        SCOPED_TRACE(c->name);
        const Outcome help = Ask({"help", c->name});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(help.out.rfind(std::string("Usage: fieldkit ") + c->name, 0), 0u) << help.out;
        EXPECT_EQ(Ask({c->name, "--help"}).out, help.out);
        EXPECT_EQ(Ask({"-h", c->name}).out, help.out);
        for (const OptionSpec& o : OptionsOf(*c))
            EXPECT_NE(help.out.find("  " + Term(o) + "  "), std::string::npos) << Term(o);
        EXPECT_EQ(help.out.find("Examples:") != std::string::npos, !c->examples.empty());
        // Only an example of bad input may show an error (demo's status checks the rest).
        const bool showsBadInput = std::any_of(c->examples.begin(), c->examples.end(),
                                               [](const auto& e) { return e.status != 0; });
        if (!showsBadInput) {
            EXPECT_EQ(help.out.find("  fieldkit: "), std::string::npos) << help.out;
        }
    }
    EXPECT_EQ(Ask({"help", "nosuch"}).status, 2);
    EXPECT_EQ(Ask({"help", "lat", "lon"}).status, 2);
}

// A row of the tables names the fields it fills, so one can be left out by mistake: every
// command has its texts, a conversion exactly one way to run, and help and demo none.
// Fault: a command row without its summary, or an option without its help or number range
TEST(CommandTable, EveryRowFillsWhatItsKindNeeds) {
    for (const Command* c : AllCommands()) {
        SCOPED_TRACE(c->name);
        EXPECT_NE(c->operands, nullptr);
        EXPECT_NE(c->summary, nullptr);
        EXPECT_NE(c->details, nullptr);
        // An option row that forgets its help, or its range when it takes a number.
        for (const OptionSpec& o : OptionsOf(*c)) {
            EXPECT_NE(o.help, nullptr) << o.name;
            if (o.valueName != nullptr && !o.text) {
                EXPECT_LT(o.range.lo, o.range.hi) << o.name;
            }
        }
    }
    for (const Command& c : fieldkit::tool::Conversions()) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(c.convert == nullptr, c.action == nullptr);
        if (c.Arity() > 0) {
            EXPECT_NE(c.convert, nullptr);
        }
    }
    for (const Command& c : fieldkit::tool::Builtins()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.convert, nullptr);
        EXPECT_EQ(c.action, nullptr);
    }
}

// The page the build wrote renders without a warning, is ASCII whatever characters the
// examples print, and holds everything the help texts say: every row and paragraph of the
// general help, and every line of each command's help but its first (the man page sets the
// usage without "Usage:").
// Fault: the manual page not rebuilt after a help text changed, or a non-ASCII byte in it
TEST_F(Help, ManualPageSaysWhatTheHelpSays) {
    std::ifstream in(FIELDKIT_MAN_PAGE, std::ios::binary);
    const std::string page{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(page.empty());
    for (const char c : page)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "not ASCII";
    if (Shell("command -v groff >/dev/null 2>&1").second != 0) GTEST_SKIP() << "needs groff";
    EXPECT_EQ(Shell("groff -man -Tutf8 -ww -z " FIELDKIT_MAN_PAGE " 2>&1").first, "");
    // So wide that no paragraph is broken: texts are found with their blanks squeezed.
    const std::string shown =
        Squeeze(Shell("groff -man -Tutf8 -rLL=2000n -P-cbou " FIELDKIT_MAN_PAGE).first);

    knobs_.DeviceRoot("/");  // as the build ran the examples (paths only names folders)
    std::vector<std::string> expected;
    std::string item;
    const auto flush = [&] {
        if (!item.empty()) expected.push_back(Squeeze(item));
        item.clear();
    };
    bool commands = false;  // the command list is checked command by command below
    const std::vector<std::string> general = Lines(Ask({"--help"}).out);
    for (auto line = general.begin() + 1; line != general.end(); ++line) {
        const bool heading = !line->empty() && (*line)[0] != ' ' && line->back() == ':';
        const bool row = line->size() > 2 && line->compare(0, 2, "  ") == 0 && (*line)[2] != ' ';
        if (line->empty() || heading || row) flush();
        if (line->empty() || heading) {
            commands = *line == "Commands:";
            continue;
        }
        if (!commands) item += " " + *line;
    }
    flush();
    for (const Command* c : AllCommands()) {
        const std::vector<std::string> help = Lines(Ask({"help", c->name}).out);
        expected.push_back(Squeeze(help[0].substr(std::string("Usage: ").size())));
        for (auto line = help.begin() + 1; line != help.end(); ++line) {
            const std::string text = Squeeze(*line);
            if (!text.empty() && text != "Options:" && text != "Examples:" &&
                text != "--help this help") {
                expected.push_back(text);
            }
        }
    }
    for (const std::string& text : expected)
        EXPECT_NE(shown.find(text), std::string::npos) << text;
}

}  // namespace
