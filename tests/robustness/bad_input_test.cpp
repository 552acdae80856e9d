// Bad input never crashes and never reaches outside the device root: paths that climb with
// "..", paths and names too long for the file system, names with control and reserved
// characters, and NUL bytes inside the files the readers load.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "fieldkit/environment/directories.h"
#include "fieldkit/i18n/translations.h"
#include "fieldkit/xml/xml_reader.h"
#include "tests/robustness/beside_root.h"

namespace {

using namespace robustness;

class Items : public CXMLReader {
  public:
    using CXMLReader::Read;
    void OnTag(int kind, std::wstring text) override {
        items.push_back(std::to_wstring(kind) + L":" + text);
    }
    void OnText(std::wstring) override {}
    std::vector<std::wstring> items;
};

class BadInput : public BesideRoot {
  protected:
    // Where a path would lead if ".." were taken literally from the root.
    fs::path Literal(const CString& path) const {
        std::string rel = Utf8(path);
        std::replace(rel.begin(), rel.end(), '\\', '/');
        const bool absolute = !rel.empty() && rel[0] == '/';
        return (fs::path(root_) / rel.substr(absolute ? 1 : 0)).lexically_normal();
    }

    // Runs every operation on every path, with fresh sources each time. Nothing may appear
    // where a literal ".." would have led outside the root.
    void RunAll(const std::vector<CString>& paths,
                const std::function<void(const CString&, const Operation&, bool)>& check = {}) {
        for (const CString& path : paths) {
            const fs::path literal = Literal(path);
            const bool outside = literal.lexically_relative(root_).native().rfind("..", 0) == 0;
            std::error_code error;
            const bool existed = fs::exists(literal, error);
            for (const Operation& op : Operations()) {
                Write("\\src.txt", "[s]\nk=v\n");
                Write("\\srcdir\\f.txt", "[s]\nk=v\n");
                const bool ok = op.run(path);
                if (check) check(path, op, ok);
                if (outside && !existed) {
                    EXPECT_FALSE(fs::exists(literal, error)) << op.name << " " << literal;
                }
            }
        }
        ExpectNothingBroughtIn();
    }
};

}  // namespace

// Paths that climb with "..", names with control and reserved characters (in the last step
// and in one that climbs), and the root itself.
// Fault: ".." climbs above the root, or a call removes, empties or saves over the root itself
TEST_F(BadInput, DotDotOddCharactersAndTheRootItself) {
    std::vector<CString> paths = {L"\\..\\..\\outside\\x",
                                  L"..\\x",
                                  L"\\a\\..\\..\\b",
                                  L"\\..\\outside\\canary.txt",
                                  L"..\\..\\outside\\canary.txt",
                                  L"/../outside/canary.txt",
                                  L"\\.\\..\\.\\outside",
                                  L"\\..\\outside\\emptydir",
                                  L"\\..\\*",
                                  L"..\\..\\..\\..\\..\\..\\..\\..\\tmp\\x",
                                  L"\\..\\..\\..\\..\\..\\.."};
    for (const wchar_t* bad : {L"\x01", L"\t", L"\n", L"\r", L"*", L"?", L":", L"<", L">", L"|",
                               L"\x7f", L"\xfffd", L"\U0001F600"}) {
        paths.push_back(CString(L"\\name") + bad + L".txt");
        paths.push_back(CString(L"\\..") + bad + L"\\..\\outside\\canary.txt");
    }
    RunAll(paths);
    // However the root itself is spelled, it is never removed, emptied, moved or saved over.
    RunAll({L"\\", L"\\..", L"/", L"\\.\\", L"\\a\\..\\.."},
           [&](const CString& root, const Operation& op, bool ok) {
               EXPECT_TRUE(Exists("\\src.txt") && Exists("\\srcdir\\f.txt"))
                   << op.name << " on " << Utf8(root);
               for (const char* refused : {"RemoveDirectoryW", "RemoveDirectoryTree", "DeleteFileW",
                                           "MoveFileW from", "CINIFile::SaveIni"})
                   EXPECT_FALSE(ok && op.name == refused) << refused << " on " << Utf8(root);
           });
}

// Fault: a path too long for the file system is cut to one that fits, and the call claims success
TEST_F(BadInput, OverlongPathsFailCleanly) {
    const CString longName = L"\\" + CString(L'n', 300);
    CString deep;
    for (int i = 0; i < 100; ++i)
        deep += L"\\" + CString(L'd', 99);
    const CString whole = L"\\" + CString(L'w', 10000);
    // A source that cannot be searched copies as an empty folder would: 1.
    RunAll({longName, deep, whole, longName + L"\\x.ini", deep + L"\\..\\..\\keep.txt"},
           [](const CString& path, const Operation& op, bool ok) {
               EXPECT_FALSE(ok && op.name != "CopyDirectory from")
                   << op.name << " on a path of " << path.GetLength();
           });
}

// Fault: a log name over 259 bytes (a timed log's with its time) cut to fit instead of refused
TEST_F(BadInput, LogFileNameLimit) {
    // The name and the time of a timed log must fit in 259 bytes; a longer one is refused, not
    // cut to a name that fits (so the folder stays empty until a name fits).
    const std::string folder = "\\" + std::string(200, 'd');
    MakeDir(folder);
    const struct {
        std::size_t length;
        long mode, expected;
    } cases[] = {{260, LOGMODE_FILE, LOGERR_OPEN},
                 {4000, LOGMODE_FILE, LOGERR_OPEN},
                 {254, LOGMODE_TIMEDFILE, LOGERR_OPEN},
                 {259, LOGMODE_FILE, 0},
                 {253, LOGMODE_TIMEDFILE, 0}};
    for (const auto& c : cases) {
        const std::string name = folder + "\\" + std::string(c.length - folder.size() - 1, 'f');
        CLogFile log;
        EXPECT_EQ(log.Start(name.c_str(), c.mode, 0, 1), c.expected) << c.length;
        log.LogMessage("x", 0);
        log.Stop();
        if (c.expected) {
            EXPECT_TRUE(fs::is_empty(Host(folder))) << c.length;
        }
    }
}

// Fault: a program path far past MAX_PATH overflows the data folder or leaves no temporary folder
TEST_F(BadInput, OverlongProgramNameGivesALayout) {
    knobs_.ModuleFileName(L"\\" + CString(L'p', 10000) + L"\\app.exe");
    EXPECT_LE(GetDataDir().GetLength(), MAX_PATH + 20);
    EXPECT_FALSE(GetTempDir().IsEmpty());
}

// (Lines that ReadLine reads are cut at a NUL too; that is in the text utilities' tests.)
// Fault: a NUL byte in a settings, catalogue or XML file ends the load or runs past the line
TEST_F(BadInput, NulBytesInsideReadFiles) {
    using namespace std::string_literals;
    Write("\\s.ini", "[S]\na=1\0junk\nb=2\n[T\0x]\nc=3\n\0\0\0\nd=4\n"s);
    CINIFile ini;
    ASSERT_TRUE(ini.LoadIni(L"\\s.ini"));
    EXPECT_EQ(ini.GetStringValue(L"S", L"a", L"?"), L"1");
    EXPECT_EQ(ini.GetStringValue(L"S", L"b", L"?"), L"2");
    // "[T" is all that is left of the header: its name is "" (first and last character go).
    EXPECT_EQ(ini.GetStringValue(L"", L"c", L"?"), L"3");
    EXPECT_EQ(ini.GetStringValue(L"", L"d", L"?"), L"4");

    Write("\\t.po",
          "msgid \"one\"\nmsgstr \"eins\"\n\0\nmsgid \"t\0o\"\nmsgstr \"z\0\"\n"
          "msgid \"three\"\nmsgstr \"drei\"\n"s);
    EXPECT_TRUE(AttachTranslationFile(L"\\t.po"));
    EXPECT_EQ(ugettext(L"one"), L"eins");
    EXPECT_EQ(ugettext(L"three"), L"drei");

    Write("\\r.xml", "<a>x\0y</a>\0<b c=\"\0\">z</b>"s);
    Items reader;
    EXPECT_TRUE(reader.Read(L"\\r.xml"));
    ASSERT_GE(reader.items.size(), 4u);
    EXPECT_EQ(reader.items.front(), L"0:a");
    EXPECT_EQ(reader.items.back(), L"1:b");
    OneDocument document;
    EXPECT_TRUE(document.LoadXML(L"\\r.xml"));
    EXPECT_EQ(document.parsed.Left(4), L"<a>x");

    knobs_.ModuleFileName(L"\\Storage\\App\\app.exe");
    Write("\\Storage\\directories.ini", "[Directories]\r\nDataDir=\\Da\0ta\r\nRootDir=\\R\r\n"s);
    EXPECT_EQ(GetDataDir(), L"\\Da");
    EXPECT_EQ(GetDataDir().Find(L'\0'), -1);
}

// Fault: a 65 MiB settings or catalogue file read whole into memory instead of refused
TEST_F(BadInput, FilesFarTooLargeForTheirKindAreRefused) {
    // Sparse: 65 MiB of holes, a few bytes of real data at the start.
    for (const char* name : {"\\huge.ini", "\\huge.po"}) {
        Write(name, "[S]\nk=v\nmsgid \"Yes\"\nmsgstr \"Ja\"\n");
        fs::resize_file(Host(name), std::uintmax_t{65} << 20);
    }
    CINIFile ini;
    EXPECT_FALSE(ini.LoadIni(L"\\huge.ini"));
    EXPECT_EQ(ini.GetStringValue(L"S", L"k", L"none"), L"none");
    EXPECT_FALSE(AttachTranslationFile(L"\\huge.po"));
    EXPECT_EQ(ugettext(L"Yes"), L"Yes");
    FreeTranslations();
}
