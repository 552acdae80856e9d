// Bad input never crashes and never reaches outside the device root: paths that climb with
// "..", paths and names too long for the file system, names with control and reserved
// characters, and NUL bytes inside the files the readers load.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fieldkit/environment/directories.h"
#include "fieldkit/files/file_funcs.h"
#include "fieldkit/i18n/translations.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/files.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/settings/ini_file.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/xml/xml_parser.h"
#include "fieldkit/xml/xml_reader.h"
#include "fieldkit/xml/xml_writer.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace fs = std::filesystem;

namespace {

constexpr char kSecret[] = "SECRET outside the root";

class OneDocument : public CXMLParser {
    CString CollectXML() override { return L"<a>1</a>"; }
    bool ParseXML(const CString& xml) override {
        parsed = xml;
        return true;
    }

  public:
    CString parsed;
};

class Items : public CXMLReader {
  public:
    using CXMLReader::Read;
    void OnTag(int kind, std::wstring text) override {
        items.push_back(std::to_wstring(kind) + L":" + text);
    }
    void OnText(std::wstring) override {}
    std::vector<std::wstring> items;
};

std::string Utf8(const CString& s) {
    return fieldkit::WideToUtf8(s.GetStdString());
}

using Path = const CString&;

// Every call that names a file or folder, each answering whether it claims success.
struct Operation {
    const char* name;
    std::function<bool(Path)> run;
};

const std::vector<Operation>& Operations() {
    static const std::vector<Operation> ops = {
        {"CreateFileW",
         [](Path p) {
             HANDLE h = CreateFileW(p, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
             if (h == INVALID_HANDLE_VALUE) return false;
             DWORD n = 0;
             WriteFile(h, "x", 1, &n, nullptr);
             return CloseHandle(h) != FALSE;
         }},
        {"_wfopen write",
         [](Path p) {
             FILE* f = _wfopen(p, L"w");
             return f != nullptr && std::fputs("x", f) >= 0 && std::fclose(f) == 0;
         }},
        {"_wfopen read",
         [](Path p) {
             FILE* f = _wfopen(p, L"rb");
             if (f == nullptr) return false;
             char buffer[64] = {};
             std::fread(buffer, 1, sizeof buffer - 1, f);
             std::fclose(f);
             EXPECT_EQ(std::string(buffer).find("SECRET"), std::string::npos);
             return true;
         }},
        {"DeviceFopen",
         [](Path p) {
             FILE* f = fieldkit::detail::DeviceFopen(Utf8(p).c_str(), "a");
             return f != nullptr && std::fclose(f) == 0;
         }},
        {"CreateDirectoryW", [](Path p) { return CreateDirectoryW(p, nullptr) != FALSE; }},
        {"RemoveDirectoryW", [](Path p) { return RemoveDirectoryW(p) != FALSE; }},
        {"DeleteFileW", [](Path p) { return DeleteFileW(p) != FALSE; }},
        {"SetFileAttributesW",
         [](Path p) { return SetFileAttributesW(p, FILE_ATTRIBUTE_READONLY) != FALSE; }},
        {"GetFileAttributesW",
         [](Path p) { return GetFileAttributesW(p) != INVALID_FILE_ATTRIBUTES; }},
        {"FindFirstFileW",
         [](Path p) {
             WIN32_FIND_DATAW found;
             HANDLE h = FindFirstFileW(p, &found);
             if (h == INVALID_HANDLE_VALUE) return false;
             while (FindNextFileW(h, &found)) {
             }
             return FindClose(h) != FALSE;
         }},
        {"CopyFileW to", [](Path p) { return CopyFileW(L"\\src.txt", p, FALSE) != FALSE; }},
        {"CopyFileW from", [](Path p) { return CopyFileW(p, L"\\copied.txt", FALSE) != FALSE; }},
        {"MoveFileW to", [](Path p) { return MoveFileW(L"\\src.txt", p) != FALSE; }},
        {"MoveFileW from", [](Path p) { return MoveFileW(p, L"\\moved.txt") != FALSE; }},
        {"FileFuncs::CreateDir", [](Path p) { return FileFuncs::CreateDir(p); }},
        {"FileFuncs::IsDirExist", [](Path p) { return FileFuncs::IsDirExist(p); }},
        {"FileFuncs::IsFileExist", [](Path p) { return FileFuncs::IsFileExist(p); }},
        {"CINIFile::SaveIni",
         [](Path p) {
             CINIFile ini;
             ini.SetStringValue(L"s", L"k", L"v");
             return ini.SaveIni(p);
         }},
        {"CINIFile::LoadIni",
         [](Path p) {
             CINIFile ini;
             const bool loaded = ini.LoadIni(p);
             int sections = 0;
             ini.GetNumberOfSections(sections);
             return loaded && sections > 0;
         }},
        {"CLogFile",
         [](Path p) {
             CLogFile log;
             if (log.Start(Utf8(p).c_str(), LOGMODE_FILE, LOGFMT_NUMBER, 1) != 0) return false;
             log.LogMessage("line", 0);
             return log.Stop() == 0;
         }},
        {"CXMLWriter",
         [](Path p) {
             CXMLWriter writer(p);
             writer.WriteStringTag(L"a", L"1", true);
             return writer.IsOK();
         }},
        {"CXMLParser::SaveXML", [](Path p) { return OneDocument().SaveXML(p); }},
        {"CXMLParser::LoadXML", [](Path p) { return OneDocument().LoadXML(p); }},
    };
    return ops;
}

// A device root inside a folder of its own, next to a file and a folder that bad paths aim at.
// Relative paths are relative to the root, wherever the process's current folder is.
class BadInput : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        std::string pattern = (fs::temp_directory_path() / "fieldkit-bad-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        parent_ = pattern;
        fs::remove_all(root_);
        root_ = (parent_ / "root").string();
        fs::create_directories(root_);
        fs::create_directories(parent_ / "etc");
        std::ofstream(parent_ / "keep.txt", std::ios::binary) << kSecret;
        fieldkit::host::SetDeviceRoot(root_);
        oldCwd_ = fs::current_path();
        fs::current_path(parent_);  // a relative path must not land here
        before_ = Outside();
    }
    void TearDown() override {
        EXPECT_EQ(Outside(), before_) << "something changed beside the device root";
        std::error_code ignored;
        fs::current_path(oldCwd_, ignored);
        DeviceRootTest::TearDown();
        fs::remove_all(parent_, ignored);
    }

    // Every entry of the parent folder outside the root, with its size and permissions.
    std::map<std::string, std::string> Outside() const {
        std::map<std::string, std::string> entries;
        const fs::path root(root_);
        for (auto it = fs::recursive_directory_iterator(parent_);
             it != fs::recursive_directory_iterator(); ++it) {
            if (it->path() == root) {
                it.disable_recursion_pending();
                continue;
            }
            const auto status = fs::symlink_status(it->path());
            std::string d = std::to_string(static_cast<int>(status.permissions()));
            if (fs::is_regular_file(status)) d += "/" + std::to_string(fs::file_size(it->path()));
            entries[it->path().string()] = d;
        }
        return entries;
    }

    // Where a path would lead if ".." were taken literally from the root.
    fs::path Literal(const CString& path) const {
        std::string rel = Utf8(path);
        std::replace(rel.begin(), rel.end(), '\\', '/');
        const bool absolute = !rel.empty() && rel[0] == '/';
        return (fs::path(root_) / rel.substr(absolute ? 1 : 0)).lexically_normal();
    }

    // Runs every operation on every path, with a fresh source file each time. Nothing may
    // appear where a literal ".." would have led outside the root.
    void RunAll(const std::vector<CString>& paths,
                const std::function<void(const CString&, const Operation&, bool)>& check = {}) {
        for (const CString& path : paths) {
            const fs::path literal = Literal(path);
            const bool outside = literal.lexically_relative(root_).native().rfind("..", 0) == 0;
            std::error_code error;
            const bool existed = fs::exists(literal, error);
            for (const Operation& op : Operations()) {
                Write("\\src.txt", "[s]\nk=v\n");
                const bool ok = op.run(path);
                if (check) check(path, op, ok);
                if (outside && !existed) {
                    EXPECT_FALSE(fs::exists(literal, error)) << op.name << " " << literal;
                }
            }
        }
        // Nothing read from outside came in under another name.
        for (const auto& e : fs::recursive_directory_iterator(root_)) {
            if (!e.is_regular_file()) continue;
            std::ifstream in(e.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), {});
            EXPECT_EQ(bytes.find("SECRET"), std::string::npos) << e.path();
        }
    }

    fs::path parent_, oldCwd_;
    std::map<std::string, std::string> before_;
};

}  // namespace

// Paths that climb with "..", and names with control and reserved characters (in the last
// step and in one that climbs).
TEST_F(BadInput, DotDotAndOddCharactersStayInTheRoot) {
    const wchar_t* const climbing[] = {L"\\..\\..\\etc\\x",
                                       L"..\\x",
                                       L"\\a\\..\\..\\b",
                                       L"\\..\\keep.txt",
                                       L"..\\..\\keep.txt",
                                       L"/../keep.txt",
                                       L"\\.\\..\\.\\etc",
                                       L"\\..\\etc",
                                       L"\\..\\*",
                                       L"..\\..\\..\\..\\..\\..\\..\\..\\tmp\\x",
                                       L"\\..\\..\\..\\..\\..\\.."};
    std::vector<CString> paths(std::begin(climbing), std::end(climbing));
    for (const wchar_t* bad : {L"\x01", L"\t", L"\n", L"\r", L"*", L"?", L":", L"<", L">", L"|",
                               L"\x7f", L"\xfffd", L"\U0001F600"}) {
        paths.push_back(CString(L"\\name") + bad + L".txt");
        paths.push_back(CString(L"\\..") + bad + L"\\..\\keep.txt");
    }
    RunAll(paths);
}

TEST_F(BadInput, OverlongPathsFailCleanly) {
    const CString longName = L"\\" + CString(L'n', 300);
    CString deep;
    for (int i = 0; i < 100; ++i)
        deep += L"\\" + CString(L'd', 99);
    const CString whole = L"\\" + CString(L'w', 10000);
    RunAll({longName, deep, whole, longName + L"\\x.ini", deep + L"\\..\\..\\keep.txt"},
           [](const CString& path, const Operation& op, bool ok) {
               EXPECT_FALSE(ok) << op.name << " on a path of " << path.GetLength();
           });
}

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

TEST_F(BadInput, OverlongProgramNameGivesALayout) {
    fieldkit::host::SetModuleFileName(L"\\" + CString(L'p', 10000) + L"\\app.exe");
    EXPECT_LE(GetDataDir().GetLength(), MAX_PATH + 20);
    EXPECT_FALSE(GetTempDir().IsEmpty());
}

// (Lines that ReadLine reads are cut at a NUL too; that is in the text utilities' tests.)
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

    fieldkit::host::SetModuleFileName(L"\\Storage\\App\\app.exe");
    Write("\\Storage\\directories.ini", "[Directories]\r\nDataDir=\\Da\0ta\r\nRootDir=\\R\r\n"s);
    EXPECT_EQ(GetDataDir(), L"\\Da");
    EXPECT_EQ(GetDataDir().Find(L'\0'), -1);
}

TEST_F(BadInput, TheRootItselfStays) {
    for (const wchar_t* root : {L"\\", L"\\..", L"/", L"\\.\\", L"\\a\\..\\.."}) {
        EXPECT_FALSE(RemoveDirectoryW(root)) << Utf8(root);
        EXPECT_FALSE(DeleteFileW(root)) << Utf8(root);
        EXPECT_FALSE(MoveFileW(root, L"\\moved")) << Utf8(root);
        EXPECT_FALSE(CINIFile().SaveIni(root)) << Utf8(root);
        ASSERT_TRUE(fs::is_directory(root_)) << Utf8(root);
    }
}

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
