#include "fieldkit/files/file_funcs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/device_root.h"

namespace {

using namespace FileFuncs;

using FileFuncsTest = DeviceRootTest;

// Fault: a slash not taken as a separator; the extension taken from the first full stop
TEST(FileFuncsPaths, TakesPathsApart) {
    struct Case {
        const wchar_t *path, *name, *ext, *nameNoExt, *pathNoExt;
        int nameStart, extStart;
    } const cases[] = {
        {L"\\a\\b.txt", L"b.txt", L"txt", L"b", L"\\a\\b", 3, 4},
        {L"a/b\\c", L"c", L"", L"c", L"a/b\\c", 4, 5},
        {L"a\\b/c", L"c", L"", L"c", L"a\\b/c", 4, 5},
        {L"\\dir\\name.tar.gz", L"name.tar.gz", L"gz", L"name.tar", L"\\dir\\name.tar", 5, 13},
        {L"\\a\\b.", L"b.", L"", L"b", L"\\a\\b", 3, 4},
        {L"\\a.b\\c", L"c", L"b\\c", L"", L"\\a", 5, 2},  // a folder's full stop counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(fieldkit::WideToUtf8(c.path));
        EXPECT_EQ(GetFileNameStart(c.path), c.nameStart);
        EXPECT_EQ(GetFileExtStart(c.path), c.extStart);
        EXPECT_EQ(ExtractFileNameWithExtFromPathName(c.path), CString(c.name));
        EXPECT_EQ(ExtractFileNameExtFromPathName(c.path), CString(c.ext));
        EXPECT_EQ(ExtractFileNameWithoutExtFromPathName(c.path), CString(c.nameNoExt));
        EXPECT_EQ(ExtractPathNameWithoutExtFromPathName(c.path), CString(c.pathNoExt));
        EXPECT_EQ(CutExtFromFileName(c.path), CString(c.pathNoExt));
    }
}

// Fault: a file reported as a folder; a wildcard not matched without regard to case
TEST_F(FileFuncsTest, ChecksAndCreatesFolders) {
    Write("\\d\\f.txt");
    for (const wchar_t* dir : {L"\\d", L"\\d\\", L"\\d/"})
        EXPECT_TRUE(IsDirExist(dir));
    for (const wchar_t* no : {L"", L"\\d\\f.txt", L"\\nil"})
        EXPECT_FALSE(IsDirExist(no));
    EXPECT_TRUE(IsFileExist(L"\\d\\f.txt") && IsFileExist(L"\\d") && IsFileExist(L"\\d\\*.TXT"));
    EXPECT_FALSE(IsFileExist(L"\\d\\*.bin"));

    EXPECT_TRUE(CreateDir(L"\\d") && CreateDir(L"\\d\\B\\C\\") && Exists("\\d\\B\\C"));
    EXPECT_FALSE(CreateDir(L"\\d\\f.txt\\x\\y"));
    EXPECT_FALSE(CreateDir(L"/nil/sub"));  // no backslash to walk up by
}

// Fault: a long initial name overflowing the dialog's buffer; the owner or flags not passed
TEST_F(FileFuncsTest, FileDialogPassesFieldsAndAnswer) {
    OPENFILENAMEW seen{};
    std::wstring initial;
    knobs_.FileDialog([&](OPENFILENAMEW& d) {
        seen = d;
        initial = d.lpstrFile;
        const std::wstring pick = L"\\Jobs\\picked.job";
        d.lpstrFile[pick.copy(d.lpstrFile, pick.size())] = L'\0';
        return d.Flags == 0x1800u;  // confirm open dialogs only
    });
    const wchar_t filter[] = L"Jobs\0*.job\0";
    CWnd owner;
    owner.m_hWnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
    EXPECT_EQ(ChooseFileDialog(true, L"job", L"a.job", L"\\Jobs", filter, &owner),
              CString(L"\\Jobs\\picked.job"));
    EXPECT_TRUE(seen.hwndOwner == owner.m_hWnd && seen.lpstrFilter == filter);
    EXPECT_STREQ(seen.lpstrDefExt, L"job");
    EXPECT_STREQ(seen.lpstrInitialDir, L"\\Jobs");
    EXPECT_EQ(initial, L"a.job");

    const std::wstring longName(400, L'n');
    EXPECT_EQ(ChooseFileDialog(false, nullptr, longName.c_str(), nullptr, nullptr, nullptr),
              CString());
    EXPECT_EQ(seen.Flags, 0x6u);
    EXPECT_EQ(initial, longName.substr(0, MAX_PATH - 1));
}

// Fault: file times printed in UTC instead of local time; write and access texts swapped
TEST_F(FileFuncsTest, PrintsTimesInLocalTime) {
    FILETIME march2019{0xD9558600u, 0x01D4D00Du};  // 2019-03-01 09:05 UTC
    FILETIME end2020{0xE8723A00u, 0x01D6DFD0u};    // 2020-12-31 23:59 UTC
    FILETIME huge{0xFFFFFFFFu, 0xFFFFFFFFu};
    CString date, clock, wd, wt, ad, at;
    knobs_.Env("TZ", "EST5");  // five hours behind, no summer time
    EXPECT_TRUE(ConvertAndFormatFileTime(march2019, &date, &clock));
    EXPECT_FALSE(ConvertAndFormatFileTime(huge, &date, &clock));  // leaves the texts alone
    EXPECT_EQ(date + L" " + clock, CString(L"03/01/2019 04:05"));

    // Times come creation, access, write; texts creation, write, access. The write and access
    // texts are printed without the creation ones.
    knobs_.Env("TZ", "UTC0");
    EXPECT_TRUE(
        vlmGetFileTimeFormatted(&huge, &end2020, &march2019, nullptr, nullptr, &wd, &wt, &ad, &at));
    EXPECT_EQ(wd + L" " + wt + L" " + ad + L" " + at,
              CString(L"03/01/2019 09:05 12/31/2020 23:59"));

    Write("\\t.txt");
    const timespec accessAndWrite[2] = {{1609459140, 0}, {1551431100, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Host("\\t.txt").c_str(), accessAndWrite, 0), 0);
    wd = ad = L"";
    EXPECT_TRUE(vlmGetFileTimeFormatted(L"\\t.txt", &date, &clock, &wd, &wt, &ad, &at));
    EXPECT_EQ(wd + L" " + wt + L" " + ad + L" " + at,
              CString(L"03/01/2019 09:05 12/31/2020 23:59"));
    EXPECT_FALSE(vlmGetFileTimeFormatted(L"\\nil", &date, &clock, &wd, &wt, &ad, &at));
}

}  // namespace
