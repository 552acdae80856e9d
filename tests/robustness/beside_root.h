// Shared by the robustness tests: a device root beside folders that must never change, and
// every call of the library that takes a file or folder.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fieldkit/files/directory_tree.h"
#include "fieldkit/files/file_funcs.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/files.h"
#include "fieldkit/settings/file_mapping.h"
#include "fieldkit/settings/ini_file.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/xml/xml_parser.h"
#include "fieldkit/xml/xml_writer.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

namespace robustness {

namespace fs = std::filesystem;
using Path = const CString&;

inline std::string Utf8(const CString& s) {
    return fieldkit::WideToUtf8(s.GetStdString());
}

inline std::string ReadHost(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool HasCanary(const std::string& bytes) {
    return bytes.find("CANARY") != std::string::npos;
}

// Closes a stream that opened; true when it did.
inline bool Opened(FILE* f) {
    if (f != nullptr) std::fclose(f);
    return f != nullptr;
}

// Every entry of a tree (but `skip`) with what a change would show in: type and mode, link
// target, contents and, with `times`, the inode and the times of the last change.
inline std::map<std::string, std::string> Snapshot(const fs::path& top, const fs::path& skip,
                                                   bool times) {
    std::map<std::string, std::string> entries;
    const auto add = [&](const fs::path& p) {
        struct stat st {};
        lstat(p.c_str(), &st);
        const auto time = [](const timespec& t) {
            return std::to_string(t.tv_sec) + "." + std::to_string(t.tv_nsec) + " ";
        };
        std::string& d = entries[p.string()];
        d = std::to_string(st.st_mode) + " ";
        if (times) d += std::to_string(st.st_ino) + " " + time(st.st_mtim) + time(st.st_ctim);
        if (S_ISREG(st.st_mode)) d += ReadHost(p);
        if (S_ISLNK(st.st_mode)) d += fs::read_symlink(p).string();
    };
    add(top);
    for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator();
         ++it) {
        if (it->path() == skip) it.disable_recursion_pending();
        if (it->path() != skip) add(it->path());
    }
    return entries;
}

// A document of one tag, and what a load of one gave.
class OneDocument : public CXMLParser {
    CString CollectXML() override { return L"<a>1</a>"; }
    bool ParseXML(const CString& xml) override {
        parsed = xml;
        return true;
    }

  public:
    CString parsed;
};

// A call that takes a file or folder (at one end, where it takes two), answering whether it
// claims success. `reads`: it only reads. What any of them reads holds no canary.
struct Operation {
    std::string name;
    bool reads;
    std::function<bool(Path)> run;
};

// The copies and moves take \src.txt and \srcdir (holding f.txt), which the caller provides.
inline const std::vector<Operation>& Operations() {
    using namespace FileFuncsEx;
    static const std::vector<Operation> ops = [] {
        std::vector<Operation> list = {
            {"CopyFileW to", false, [](Path p) { return CopyFileW(L"\\src.txt", p, FALSE) != 0; }},
            {"CopyFileW from", false,
             [](Path p) { return CopyFileW(p, L"\\copied.txt", FALSE) != 0; }},
            {"CopyFromTo to", false, [](Path p) { return CopyFromTo(L"\\src.txt", p, 1) != 0; }},
            {"CopyFromTo from", false,
             [](Path p) { return CopyFromTo(p, L"\\copied.txt", 1) != 0; }},
            {"CopyFromToCheckDate to", false,
             [](Path p) { return CopyFromToCheckDate(L"\\src.txt", p) != 0; }},
            {"CopyFromToCheckDate from", false,
             [](Path p) { return CopyFromToCheckDate(p, L"\\copied.txt") != 0; }},
            {"CopyDirectory to", false,
             [](Path p) { return CopyDirectory(L"\\srcdir", p, 1) != 0; }},
            {"CopyDirectory from", false,
             [](Path p) { return CopyDirectory(p, L"\\copydir", 1) != 0; }},
            {"CreateDirectoryTree", false,
             [](Path p) { return CreateDirectoryTree(p + L"\\n\\m") != 0; }},
            {"FileFuncs::CreateDir", false, [](Path p) { return FileFuncs::CreateDir(p); }},
            {"FileFuncs::CreateDir below", false,
             [](Path p) { return FileFuncs::CreateDir(p + L"\\n\\m"); }},
            {"CreateDirectoryW", false, [](Path p) { return CreateDirectoryW(p, nullptr) != 0; }},
            {"CreateDirectoryW below", false,
             [](Path p) { return CreateDirectoryW(p + L"\\n", nullptr) != 0; }},
            {"DeleteFileW", false, [](Path p) { return DeleteFileW(p) != 0; }},
            {"RemoveDirectoryW", false, [](Path p) { return RemoveDirectoryW(p) != 0; }},
            {"RemoveDirectoryTree", false, [](Path p) { return RemoveDirectoryTree(p) != 0; }},
            {"MoveFileW to", false, [](Path p) { return MoveFileW(L"\\src.txt", p) != 0; }},
            {"MoveFileW folder to", false, [](Path p) { return MoveFileW(L"\\srcdir", p) != 0; }},
            {"MoveFileW from", false, [](Path p) { return MoveFileW(p, L"\\moved") != 0; }},
            {"MoveFileExW to", false,
             [](Path p) { return MoveFileExW(L"\\src.txt", p, MOVEFILE_REPLACE_EXISTING) != 0; }},
            {"MoveFileExW from", false,
             [](Path p) { return MoveFileExW(p, L"\\src.txt", MOVEFILE_REPLACE_EXISTING) != 0; }},
            {"SetFileAttributesW", false,
             [](Path p) {
                 const bool set =
                     SetFileAttributesW(p, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
                 return SetFileAttributesW(p, FILE_ATTRIBUTE_NORMAL) && set;
             }},
            {"FindFirstFileW", false,
             [](Path p) {
                 bool found = false;
                 for (const CString& pattern : {p, p + L"*", p + L"\\*", p + L"\\*.txt"}) {
                     WIN32_FIND_DATAW entry;
                     const HANDLE search = FindFirstFileW(pattern, &entry);
                     if (search == INVALID_HANDLE_VALUE) continue;
                     found = true;
                     do {
                         for (const wchar_t* outside :
                              {L"canary.txt", L"secretdir", L"emptydir", L"deep.txt"})
                             EXPECT_STRNE(entry.cFileName, outside) << Utf8(pattern);
                     } while (FindNextFileW(search, &entry));
                     FindClose(search);
                 }
                 return found;
             }},
            {"FileFuncs::IsDirExist", false, [](Path p) { return FileFuncs::IsDirExist(p); }},
            {"FileFuncs::IsFileExist", false, [](Path p) { return FileFuncs::IsFileExist(p); }},
            {"GetFileAttributesW", true,
             [](Path p) { return GetFileAttributesW(p) != INVALID_FILE_ATTRIBUTES; }},
            {"_wfopen read", true,
             [](Path p) {
                 FILE* f = _wfopen(p, L"rb");
                 char bytes[128] = {};
                 const std::size_t n = f != nullptr ? std::fread(bytes, 1, sizeof bytes, f) : 0;
                 EXPECT_FALSE(HasCanary(std::string(bytes, n)));
                 return Opened(f);
             }},
            {"CreateFileW read", true,
             [](Path p) {
                 const HANDLE h =
                     CreateFileW(p, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                 return h != INVALID_HANDLE_VALUE && CloseHandle(h);
             }},
            {"CFileMapping::LoadFile", true,
             [](Path p) {
                 CFileMapping map;
                 const bool loaded = map.LoadFile(p);
                 EXPECT_FALSE(HasCanary(fieldkit::WideToUtf8(map.GetMapAsString().GetStdString())));
                 return loaded;
             }},
            {"CINIFile::LoadIni", true,
             [](Path p) {
                 CINIFile ini;
                 const bool loaded = ini.LoadIni(p);
                 EXPECT_EQ(ini.GetStringValue(L"canary", L"secret", L""), L"");
                 return loaded;
             }},
            {"CXMLParser::LoadXML", true,
             [](Path p) {
                 OneDocument document;
                 const bool loaded = document.LoadXML(p);
                 EXPECT_FALSE(HasCanary(Utf8(document.parsed)));
                 return loaded;
             }},
            {"_wfopen w", false, [](Path p) { return Opened(_wfopen(p, L"w")); }},
            {"_wfopen a", false, [](Path p) { return Opened(_wfopen(p, L"a")); }},
            {"DeviceFopen a", false,
             [](Path p) { return Opened(fieldkit::detail::DeviceFopen(Utf8(p).c_str(), "a")); }},
            {"CLogFile", false,
             [](Path p) {
                 CLogFile log;
                 const long mode = LOGMODE_FILE | LOGMODE_APPEND;
                 if (log.Start(Utf8(p).c_str(), mode, LOGFMT_NUMBER, 1) != 0) return false;
                 log.LogMessage("line", 0);
                 return log.Stop() == 0;
             }},
            {"CLogFile timed", false,
             [](Path p) {
                 const long mode = LOGMODE_TIMEDFILE | LOGMODE_DELETEEMPTY;
                 return CLogFile().Start(Utf8(p).c_str(), mode, 0, 1) == 0;
             }},
            {"CXMLWriter", false,
             [](Path p) {
                 CXMLWriter writer(p);
                 writer.WriteStringTag(L"a", L"1", true);
                 return writer.IsOK();
             }},
            {"CXMLParser::SaveXML", false, [](Path p) { return OneDocument().SaveXML(p); }},
            {"CFileMapping::SaveFile", false,
             [](Path p) { return CFileMapping().SaveFile(p, "m", 1); }},
            {"CINIFile::SaveIni", false,
             [](Path p) {
                 CINIFile ini;
                 ini.SetStringValue(L"s", L"k", L"v");
                 return ini.SaveIni(p);
             }},
        };
        for (const DWORD how :
             {CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING}) {
            list.push_back({"CreateFileW " + std::to_string(how), false, [how](Path p) {
                                const HANDLE h =
                                    CreateFileW(p, GENERIC_WRITE, 0, nullptr, how, 0, nullptr);
                                DWORD n = 0;
                                if (h == INVALID_HANDLE_VALUE) return false;
                                const bool wrote = WriteFile(h, "w", 1, &n, nullptr) != 0;
                                return CloseHandle(h) && wrote;
                            }});
        }
        return list;
    }();
    return ops;
}

// A device root in a folder of its own, beside a folder of canaries ("outside") and the current
// folder ("cwd"), which must all stay exactly as they were: checked after every test.
class BesideRoot : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        cwd_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "fieldkit-beside-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        parent_ = pattern;
        fs::remove_all(root_);
        root_ = (parent_ / "root").string();
        outside_ = parent_ / "outside";
        for (const fs::path& p : {fs::path(root_), outside_ / "secretdir", outside_ / "emptydir",
                                  parent_ / "cwd" / "rel"}) {
            fs::create_directories(p);
        }
        for (const fs::path& p : {outside_ / "canary.txt", outside_ / "secretdir" / "deep.txt",
                                  parent_ / "cwd" / "rel" / "keep.txt"}) {
            std::ofstream(p, std::ios::binary) << "[canary]\nsecret=CANARY outside the root\n";
        }
        // A read-only canary shows a tree removal that clears the flag before deleting.
        fs::permissions(outside_ / "secretdir" / "deep.txt", fs::perms::owner_read);
        knobs_.DeviceRoot(root_);
        fs::current_path(parent_ / "cwd");  // a relative path must not land here
        before_ = Outside();
    }
    void TearDown() override {
        EXPECT_EQ(Outside(), before_) << "something beside the device root changed";
        std::error_code ignored;
        fs::current_path(cwd_, ignored);
        DeviceRootTest::TearDown();
        fs::remove_all(parent_, ignored);
    }

    std::map<std::string, std::string> Outside() const { return Snapshot(parent_, root_, true); }

    // No bytes from outside came into the root under another name.
    void ExpectNothingBroughtIn() const {
        for (const auto& [path, state] : Snapshot(root_, fs::path(), false))
            EXPECT_FALSE(HasCanary(state)) << path;
    }

    fs::path parent_, outside_, cwd_;
    std::map<std::string, std::string> before_;
};

}  // namespace robustness
