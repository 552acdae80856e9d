#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fieldkit/platform/cfile.h"
#include "fieldkit/platform/files.h"
#include "fieldkit/platform/host.h"
#include "tests/support/cstring_printer.h"
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

using Names = std::vector<std::wstring>;

}  // namespace

class DeviceFiles : public DeviceRootTest {};

TEST_F(DeviceFiles, PathsStayUnderTheDeviceRoot) {
    const std::pair<const wchar_t*, const char*> rooted[] = {
        {L"\\a\\b.txt", "/a/b.txt"}, {L"/a//b/", "/a/b"}, {L"\\..\\..\\etc\\passwd", "/etc/passwd"},
        {L"\\a\\..\\..\\b", "/b"},   {L"\\", ""},         {L"\\caf\u00E9", "/caf\xC3\xA9"}};
    for (const auto& [device, host] : rooted)
        EXPECT_EQ(ToHostPath(device), root_ + host);
    EXPECT_EQ(ToHostPath(L"rel\\..\\..\\x"), root_ + "/x");  // no current folder: the root
    EXPECT_EQ(fieldkit::host::FromHostPath(root_ + "/SD Card/x.exe"), L"\\SD Card\\x.exe");
    EXPECT_EQ(fieldkit::host::FromHostPath(root_), L"\\");
    EXPECT_FALSE(fieldkit::detail::IsOnRemovableMedia(L"\\"));  // an ordinary disk
    EXPECT_FALSE(fieldkit::detail::IsOnRemovableMedia(L"\\missing"));
}

TEST_F(DeviceFiles, SearchesFollowTheHandheldsWildcards) {
    for (const char* f : {"\\d\\b.txt", "\\d\\A.TXT", "\\d\\c.dat", "\\d\\noext", "\\d\\x.tar.gz"})
        Write(f);
    MakeDir("\\d\\sub");
    EXPECT_EQ(List(L"\\d\\*"),
              (Names{L"A.TXT", L"b.txt", L"c.dat", L"noext", L"sub", L"x.tar.gz"}));
    EXPECT_EQ(List(L"\\d\\*.*"), List(L"\\d\\*"));
    EXPECT_EQ(List(L"\\d\\*.txt"), (Names{L"A.TXT", L"b.txt"}));
    EXPECT_EQ(List(L"\\d\\?.*"), (Names{L"A.TXT", L"b.txt", L"c.dat", L"x.tar.gz"}));
    EXPECT_EQ(List(L"\\d\\*."), (Names{L"noext", L"sub"}));
    EXPECT_EQ(List(L"\\d\\*.gz"), (Names{L"x.tar.gz"}));
    EXPECT_EQ(List(L"\\d\\c.dat"), (Names{L"c.dat"}));
    EXPECT_EQ(List(L"\\d\\sub\\*"), Names{});  // empty: no "." or ".."
    WIN32_FIND_DATAW fd;
    EXPECT_EQ(FindFirstFileW(L"\\missing\\*", &fd), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileW(L"\\d\\", &fd), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &fd));
    EXPECT_FALSE(FindClose(reinterpret_cast<HANDLE>(0x1234)));
}

TEST_F(DeviceFiles, FindDataCarriesSizeTimesAndAttributes) {
    Write("\\f.bin", std::string(70000, 'z'));
    WIN32_FIND_DATAW fd;
    const HANDLE h = FindFirstFileW(L"\\f.bin", &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
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

TEST_F(DeviceFiles, AttributesMapOntoPermissions) {
    Write("\\f");
    MakeDir("\\dir");
    EXPECT_EQ(GetFileAttributesW(L"\\dir") & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
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

TEST_F(DeviceFiles, FoldersFilesAndMoves) {
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
    EXPECT_FALSE(RemoveDirectoryW(L"\\"));  // never the device root itself
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
}

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
    MakeDir("\\dir");
    EXPECT_FALSE(CopyFileW(L"\\dir", L"\\x", FALSE));
}

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
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(h, &high), 11u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    char buf[16] = {};
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "world");
    FILETIME c, a, w;
    EXPECT_TRUE(GetFileTime(h, &c, &a, &w));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(CreateFileW(L"\\none", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileW(L"\\f", GENERIC_READ, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
}

TEST_F(DeviceFiles, TextModeReadsCrLfAsLf) {
    Write("\\t.txt", "a\r\nb\r\r\nc\rd\r");
    const auto readAll = [](FILE* f) {
        std::string s;
        for (int c; f && (c = std::fgetc(f)) != EOF;)
            s += static_cast<char>(c);
        if (f) std::fclose(f);
        return s;
    };
    EXPECT_EQ(readAll(_wfopen(L"\\t.txt", L"rt")), "a\nb\r\nc\rd\r");
    EXPECT_EQ(readAll(_wfopen(L"\\t.txt", L"rt,ccs=UTF-8")), "a\nb\r\nc\rd\r");
    EXPECT_EQ(readAll(_wfopen(L"\\t.txt", L"rb")), "a\r\nb\r\r\nc\rd\r");
    FILE* w = fieldkit::detail::DeviceFopen("\\w.txt", "wt");
    ASSERT_NE(w, nullptr);
    std::fputs("x\n", w);
    std::fclose(w);
    EXPECT_EQ(Read("\\w.txt"), "x\n");
    EXPECT_EQ(_wfopen(L"\\none", L"r"), nullptr);
    EXPECT_EQ(_wfopen(L"\\t.txt", L"q"), nullptr);
}

TEST_F(DeviceFiles, ListingsShowLinksAsLinksSoTreeWalksStayInside) {
    MakeDir("\\outside");
    Write("\\outside\\keep");
    MakeDir("\\tree");
    std::filesystem::create_directory_symlink(Host("\\outside"), Host("\\tree\\link"));
    WIN32_FIND_DATAW fd;
    const HANDLE h = FindFirstFileW(L"\\tree\\*", &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    EXPECT_EQ(fd.dwFileAttributes, FILE_ATTRIBUTE_REPARSE_POINT);
    // Named directly, the link is followed, as a path to the folder would be.
    EXPECT_EQ(GetFileAttributesW(L"\\tree\\link") & FILE_ATTRIBUTE_DIRECTORY,
              FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(DeleteFileW(L"\\tree\\link"));
    EXPECT_TRUE(Exists("\\outside\\keep"));
}

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

TEST_F(DeviceFiles, MappingsReadAndWriteWholeFiles) {
    Write("\\m.txt", "mapped bytes");
    HANDLE f = CreateFileForMappingW(L"\\m.txt", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(m, nullptr);
    const void* view = MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(view), 12), "mapped bytes");
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    CloseHandle(m);
    CloseHandle(f);

    // Writing: the mapping gives the new file its size; the bytes are there after unmapping.
    f = CreateFileForMappingW(L"\\w.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    m = CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 5, nullptr);
    ASSERT_NE(m, nullptr);
    void* w = MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 5);
    ASSERT_NE(w, nullptr);
    std::memcpy(w, "hello", 5);
    UnmapViewOfFile(w);
    CloseHandle(m);
    CloseHandle(f);
    EXPECT_EQ(Read("\\w.bin"), "hello");

    // An empty file cannot be mapped.
    Write("\\empty", "");
    f = CreateFileForMappingW(L"\\empty", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    EXPECT_EQ(CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
    CloseHandle(f);
}

// Read in blocks, CR LF pairs that straddle a block boundary still fold.
TEST_F(DeviceFiles, TextModeFoldsAcrossBlocks) {
    std::mt19937 rng(17);
    std::string bytes;
    for (int i = 0; i < 300000; ++i)
        bytes += "ab\r\n"[rng() % 4];
    bytes.replace(65535, 2, "\r\n");  // a pair across the first block boundary
    bytes += '\r';
    Write("\\big.txt", bytes);
    std::string expected;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != '\r' || i + 1 == bytes.size() || bytes[i + 1] != '\n') expected += bytes[i];
    FILE* f = _wfopen(L"\\big.txt", L"rt");
    ASSERT_NE(f, nullptr);
    std::string got(bytes.size() + 1, '\0');
    got.resize(std::fread(got.data(), 1, got.size(), f));
    std::fclose(f);
    EXPECT_EQ(got, expected);
}
