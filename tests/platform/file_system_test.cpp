#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fieldkit/files/directory_tree.h"
#include "fieldkit/platform/cfile.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/host.h"
#include "tests/support/device_root.h"

using fieldkit::host::ToHostPath;

namespace {

std::vector<std::wstring> List(const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    const HANDLE h = FindFirstFileW(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    return names;
}

// What a search for `pattern` reports of its first entry.
WIN32_FIND_DATAW First(const wchar_t* pattern) {
    WIN32_FIND_DATAW fd{};
    const HANDLE h = FindFirstFileW(pattern, &fd);
    EXPECT_TRUE(h != INVALID_HANDLE_VALUE && FindClose(h)) << pattern;
    return fd;
}

using Names = std::vector<std::wstring>;

}  // namespace

class DeviceFiles : public DeviceRootTest {};

// Fault: ".." climbs above the device root, or a relative path starts at the current folder
TEST_F(DeviceFiles, PathsStayUnderTheDeviceRoot) {
    // A relative path starts at the root: there is no current folder.
    const std::pair<const wchar_t*, const char*> rooted[] = {
        {L"\\a\\b.txt", "/a/b.txt"}, {L"/a//b/", "/a/b"}, {L"\\..\\..\\etc\\passwd", "/etc/passwd"},
        {L"\\a\\..\\..\\b", "/b"},   {L"\\", ""},         {L"\\caf\u00E9", "/caf\xC3\xA9"},
        {L"rel\\..\\..\\x", "/x"}};
    for (const auto& [device, host] : rooted)
        EXPECT_EQ(ToHostPath(device), root_ + host);
    EXPECT_EQ(fieldkit::host::FromHostPath(root_ + "/SD Card/x.exe"), L"\\SD Card\\x.exe");
    EXPECT_EQ(fieldkit::host::FromHostPath(root_), L"\\");
}

// Fault: "*.*" misses names without a dot, or "*." lists names that have an extension
TEST_F(DeviceFiles, SearchesFollowTheHandheldsWildcards) {
    for (const char* f : {"\\d\\b.txt", "\\d\\A.TXT", "\\d\\c.dat", "\\d\\noext", "\\d\\x.tar.gz"})
        Write(f);
    MakeDir("\\d\\sub");
    const Names all = {L"A.TXT", L"b.txt", L"c.dat", L"noext", L"sub", L"x.tar.gz"};
    // An empty folder lists nothing ("." and ".." are not listed), as a failed search does.
    const std::pair<const wchar_t*, Names> searches[] = {
        {L"\\d\\*", all},
        {L"\\d\\*.*", all},
        {L"\\d\\*.txt", {L"A.TXT", L"b.txt"}},
        {L"\\d\\?.*", {L"A.TXT", L"b.txt", L"c.dat", L"x.tar.gz"}},
        {L"\\d\\*.", {L"noext", L"sub"}},
        {L"\\d\\*.gz", {L"x.tar.gz"}},
        {L"\\d\\c.dat", {L"c.dat"}},
        {L"\\d\\sub\\*", {}},
        {L"\\missing\\*", {}},
        {L"\\d\\", {}}};
    for (const auto& [pattern, names] : searches)
        EXPECT_EQ(List(pattern), names) << pattern;
    WIN32_FIND_DATAW fd;
    EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &fd));
    EXPECT_FALSE(FindClose(reinterpret_cast<HANDLE>(0x1234)));
}

// Fault: find data leaves the size, write time or archive flag of the entry unset
TEST_F(DeviceFiles, FindDataCarriesSizeTimesAndAttributes) {
    Write("\\f.bin", std::string(70000, 'z'));
    const WIN32_FIND_DATAW fd = First(L"\\f.bin");
    EXPECT_EQ((std::array{fd.nFileSizeLow, fd.nFileSizeHigh, fd.dwFileAttributes}),
              (std::array<DWORD, 3>{70000, 0, FILE_ATTRIBUTE_ARCHIVE}));
    FILETIME now;
    SYSTEMTIME st;
    GetSystemTime(&st);
    SystemTimeToFileTime(&st, &now);
    const auto seconds = [](const FILETIME& t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
               10000000;
    };
    EXPECT_LE(seconds(now) - seconds(fd.ftLastWriteTime), 60u);
    EXPECT_LE(seconds(fd.ftCreationTime), seconds(fd.ftLastWriteTime) + 1);
}

// Fault: a plain move replaces its target, or a read-only file is deleted
TEST_F(DeviceFiles, FoldersFilesMovesAndAttributes) {
    EXPECT_TRUE(CreateDirectoryW(L"\\a", nullptr));
    EXPECT_FALSE(CreateDirectoryW(L"\\a", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(L"\\x\\y", nullptr));  // no parents are made
    Write("\\a\\f");
    EXPECT_FALSE(RemoveDirectoryW(L"\\a"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(DeleteFileW(L"\\a"));
    EXPECT_TRUE(MoveFileW(L"\\a\\f", L"\\g"));
    EXPECT_TRUE(RemoveDirectoryW(L"\\a"));
    EXPECT_TRUE(Exists("\\g"));
    // A replacing move is one step; the plain move never replaces.
    Write("\\old", "old");
    Write("\\new", "new");
    EXPECT_FALSE(MoveFileW(L"\\new", L"\\old"));
    EXPECT_TRUE(
        MoveFileExW(L"\\new", L"\\old", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(Read("\\old"), "new");
    EXPECT_FALSE(Exists("\\new"));
    MakeDir("\\dir");
    Write("\\f", "f");
    EXPECT_FALSE(MoveFileExW(L"\\f", L"\\dir", MOVEFILE_REPLACE_EXISTING));
    // Attributes map onto the host's permissions.
    EXPECT_EQ(GetFileAttributesW(L"\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(SetFileAttributesW(L"\\f", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW(L"\\f") & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(
        std::filesystem::status(Host("\\f")).permissions() & std::filesystem::perms::owner_write,
        std::filesystem::perms::none);
    EXPECT_FALSE(DeleteFileW(L"\\f"));  // a read-only file is not deleted
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(SetFileAttributesW(L"\\f", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(L"\\f") & FILE_ATTRIBUTE_READONLY, 0u);
    // The hidden flag is kept where the file system allows; asking never fails.
    EXPECT_TRUE(SetFileAttributesW(L"\\dir", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(SetFileAttributesW(L"\\none", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(DeleteFileW(L"\\f"));
}

// Fault: a copy onto itself truncates the source, or a copy takes the time of the copying
TEST_F(DeviceFiles, CopiesKeepContentsAndTimesAndNeverEatTheSource) {
    Write("\\src", "contents");
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, Host("\\src").c_str(), old, 0);
    ASSERT_TRUE(CopyFileW(L"\\src", L"\\dst", FALSE));
    EXPECT_EQ(Read("\\dst"), "contents");
    struct stat st;
    stat(Host("\\dst").c_str(), &st);
    EXPECT_EQ(st.st_mtime, 1000000000);
    EXPECT_FALSE(CopyFileW(L"\\src", L"\\dst", TRUE));
    EXPECT_FALSE(CopyFileW(L"\\src", L"\\src", FALSE));
    EXPECT_EQ(Read("\\src"), "contents");
    EXPECT_FALSE(CopyFileW(L"\\missing", L"\\x", FALSE));
    EXPECT_FALSE(Exists("\\x"));
}

// Fault: a closed handle number accepted again, or a short read reported as a failure
TEST_F(DeviceFiles, HandlesReadWriteAndTell) {
    HANDLE h = CreateFileW(L"\\f", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
    EXPECT_EQ(n, 11u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));  // a closed handle is refused, not reused
    h = CreateFileW(L"\\f", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    char buf[16] = {};
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));  // a short read
    EXPECT_EQ(std::string(buf, n), "world");
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(CreateFileW(L"\\f", GENERIC_READ, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
}

// Text mode folds CR LF, and only CR LF, into LF, also where a pair straddles a read block;
// binary mode and writing leave the bytes alone.
// Fault: text mode drops a lone CR, or misses a CR LF pair split across two read blocks
TEST_F(DeviceFiles, TextModeReadsCrLfAsLf) {
    std::mt19937 rng(17);
    std::string big;
    for (int i = 0; i < 300000; ++i)
        big += "ab\r\n"[rng() % 4];
    big.replace(65535, 2, "\r\n");  // a pair across the first block boundary
    big += '\r';
    Write("\\big.txt", big);
    std::string folded;
    for (std::size_t i = 0; i < big.size(); ++i)
        if (big[i] != '\r' || i + 1 == big.size() || big[i + 1] != '\n') folded += big[i];
    Write("\\t.txt", "a\r\nb\r\r\nc\rd\r");
    const auto readAll = [](FILE* f) {
        std::string s(f ? 400000 : 0, '\0');
        s.resize(f ? std::fread(s.data(), 1, s.size(), f) : 0);
        if (f) std::fclose(f);
        return s;
    };
    const std::pair<const wchar_t*, std::string> reads[] = {{L"rt", "a\nb\r\nc\rd\r"},
                                                            {L"rt,ccs=UTF-8", "a\nb\r\nc\rd\r"},
                                                            {L"rb", "a\r\nb\r\r\nc\rd\r"}};
    for (const auto& [mode, bytes] : reads)
        EXPECT_EQ(readAll(_wfopen(L"\\t.txt", mode)), bytes) << mode;
    EXPECT_EQ(readAll(_wfopen(L"\\big.txt", L"rt")), folded);
    FILE* w = fieldkit::detail::DeviceFopen("\\w.txt", "wt");
    ASSERT_NE(w, nullptr);
    std::fputs("x\n", w);
    std::fclose(w);
    EXPECT_EQ(Read("\\w.txt"), "x\n");
    EXPECT_EQ(_wfopen(L"\\none", L"r"), nullptr);
    EXPECT_EQ(_wfopen(L"\\t.txt", L"q"), nullptr);
}

// Removing a tree deletes such a link alone, as the tree functions' tests show.
// Fault: a listing reports a link to a folder as a folder, so a tree walk descends through it
TEST_F(DeviceFiles, ListingsShowLinksAsLinksSoTreeWalksStayInside) {
    MakeDir("\\outside");
    MakeDir("\\tree");
    std::filesystem::create_directory_symlink(Host("\\outside"), Host("\\tree\\link"));
    EXPECT_EQ(First(L"\\tree\\*").dwFileAttributes, FILE_ATTRIBUTE_REPARSE_POINT);
    // Named directly, the link is followed, as a path to the folder would be.
    EXPECT_EQ(GetFileAttributesW(L"\\tree\\link") & FILE_ATTRIBUTE_DIRECTORY,
              FILE_ATTRIBUTE_DIRECTORY);
}

// A host name that is not UTF-8 is listed with each stray byte as U+DC80 + byte, and that
// name reaches the entry in every call, so a folder holding one is copied and removed whole.
// Any other lone surrogate, or escapes that spell a character, name nothing at all.
// Fault: a host name that is not UTF-8 listed with U+FFFD, so no call can reach the entry again
TEST_F(DeviceFiles, NamesThatAreNotUtf8StayReachable) {
    namespace fs = std::filesystem;
    const fs::path root(root_);
    fs::create_directories(root / "d\xFF" / "sub");
    std::ofstream(root / "d\xFF" / "\xFF\xFE", std::ios::binary) << "ff fe";
    std::ofstream(root / "d\xFF" / "sub" / "a\xC3", std::ios::binary) << "cut";
    const std::wstring dir = L"\\d\xDCFF", file = dir + L"\\\xDCFF\xDCFE";
    EXPECT_EQ(List(L"\\d*"), Names{L"d\xDCFF"});
    EXPECT_EQ(List((dir + L"\\*").c_str()), (Names{L"sub", L"\xDCFF\xDCFE"}));
    EXPECT_EQ(List((dir + L"\\sub\\A*").c_str()), Names{L"a\xDCC3"});
    EXPECT_EQ(List(file.c_str()), Names{L"\xDCFF\xDCFE"});
    EXPECT_EQ(ToHostPath(file), root_ + "/d\xFF/\xFF\xFE");
    EXPECT_EQ(fieldkit::host::FromHostPath(root_ + "/d\xFF"), CString(dir.c_str()));

    const HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char bytes[8] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(h, bytes, sizeof bytes, &got, nullptr));
    EXPECT_EQ(std::string(bytes, got), "ff fe");
    CloseHandle(h);
    EXPECT_TRUE(CopyFileW(file.c_str(), L"\\copy\xDCFF", TRUE));
    EXPECT_TRUE(MoveFileW(L"\\copy\xDCFF", L"\\moved\xDCFE"));
    EXPECT_EQ(Read("\\moved\xFE"), "ff fe");
    EXPECT_EQ(FileFuncsEx::CopyDirectory(dir.c_str(), L"\\tree", 1), 1);
    EXPECT_EQ(Read("\\tree\\\xFF\xFE") + Read("\\tree\\sub\\a\xC3"), "ff fecut");
    EXPECT_EQ(FileFuncsEx::RemoveDirectoryTree(dir.c_str()), 1);
    EXPECT_FALSE(fs::exists(root / "d\xFF"));

    for (const wchar_t* name : {L"\\x\xD800", L"\\x\xDBFF", L"\\x\xDC41", L"\\x\xDCC3\xDCA9"}) {
        SetLastError(0);
        EXPECT_EQ(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    }
    // A pair, as text from UTF-16 holds it, is the one character it encodes.
    const HANDLE pair =
        CreateFileW(L"\\\xD83D\xDE00", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(pair, INVALID_HANDLE_VALUE);
    CloseHandle(pair);
    EXPECT_EQ(List(L"\\x*"), Names{});
    EXPECT_TRUE(Exists("\\\xF0\x9F\x98\x80"));
}

// Fault: CFile seeks from the wrong origin, or reads one byte short at the end
TEST_F(DeviceFiles, CFileReadsWritesAndSeeks) {
    CFile out;
    ASSERT_TRUE(out.Open(L"\\c.bin", CFile::modeCreate | CFile::modeWrite));
    std::string data;
    for (int i = 0; i < 10000; ++i)
        data += static_cast<char>('a' + i % 26);
    EXPECT_TRUE(out.Write(data.data(), static_cast<UINT>(data.size())));
    out.Close();
    CFile in(L"\\c.bin", CFile::modeRead);
    ASSERT_TRUE(in.IsOpen());
    EXPECT_EQ(in.GetLength(), 10000u);
    char c = 0;
    std::string back;
    while (in.Read(&c, 1) == 1)
        back += c;  // one byte at a time, as ReadLine reads
    EXPECT_EQ(back, data);
    EXPECT_EQ(in.Seek(-1, CFile::current), 9999u);
    EXPECT_EQ(in.Read(&c, 1), 1u);
    EXPECT_EQ(c, data.back());
    EXPECT_EQ(in.Seek(4000, CFile::begin), 4000u);
    EXPECT_EQ(in.Read(&c, 1), 1u);
    EXPECT_EQ(in.GetPosition(), 4001u);
    EXPECT_EQ(c, data[4000]);
    CFile missing;
    EXPECT_FALSE(missing.Open(L"\\none", CFile::modeRead));
    EXPECT_EQ(missing.Read(&c, 1), 0u);
    EXPECT_FALSE(missing.Write("x", 1));
}

// Whole files read and written through mappings are checked through CFileMapping, their one
// user; what it does not show is here.
// Fault: an empty file mapped as a view of nothing, or a view unmapped twice
TEST_F(DeviceFiles, MappingsOfEmptyFilesFailAndViewsUnmapOnce) {
    Write("\\m.txt", "mapped bytes");
    Write("\\empty", "");
    const auto open = [](const wchar_t* path) {
        return CreateFileForMappingW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                     nullptr);
    };
    HANDLE f = open(L"\\empty");
    EXPECT_EQ(CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
    CloseHandle(f);
    f = open(L"\\m.txt");
    const HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* view = MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    CloseHandle(m);
    CloseHandle(f);
}
