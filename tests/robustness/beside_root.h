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
#include "fieldkit/platform/file_system.h"
#include "fieldkit/settings/file_mapping.h"
#include "fieldkit/settings/ini_file.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/xml/xml_parser.h"
#include "fieldkit/xml/xml_writer.h"
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
    for (auto it = fs::recursive_directory_iterator(top); it != fs::end(it); ++it) {
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
// claims success; `reads` when it only reads. What any of them reads holds no canary.
struct Operation {
    std::string name;
    std::function<bool(Path)> run;
    bool reads = false;
};

// The copies and moves take \src.txt and \srcdir (holding f.txt), which the caller provides.
inline const std::vector<Operation>& Operations() {
    using namespace FileFuncsEx;
    static const std::vector<Operation> ops = [] {
        std::vector<Operation> list = {
            {"CopyFileW to", [](Path p) { return CopyFileW(L"\\src.txt", p, FALSE); }},
            {"CopyFileW from", [](Path p) { return CopyFileW(p, L"\\copied.txt", FALSE); }},
            {"CopyFromTo to", [](Path p) { return CopyFromTo(L"\\src.txt", p, 1); }},
            {"CopyFromTo from", [](Path p) { return CopyFromTo(p, L"\\copied.txt", 1); }},
            {"CopyFromToCheckDate to", [](Path p) { return CopyFromToCheckDate(L"\\src.txt", p); }},
            {"CopyFromToCheckDate from",
             [](Path p) { return CopyFromToCheckDate(p, L"\\copied.txt"); }},
            {"CopyDirectory to", [](Path p) { return CopyDirectory(L"\\srcdir", p, 1); }},
            {"CopyDirectory from", [](Path p) { return CopyDirectory(p, L"\\copydir", 1); }},
            {"CreateDirectoryTree", [](Path p) { return CreateDirectoryTree(p + L"\\n\\m"); }},
            {"CreateDir", [](Path p) { return FileFuncs::CreateDir(p); }},
            {"CreateDir below", [](Path p) { return FileFuncs::CreateDir(p + L"\\n\\m"); }},
            {"CreateDirectoryW", [](Path p) { return CreateDirectoryW(p, nullptr); }},
            {"CreateDirectoryW below",
             [](Path p) { return CreateDirectoryW(p + L"\\n", nullptr); }},
            {"DeleteFileW", [](Path p) { return DeleteFileW(p); }},
            {"RemoveDirectoryW", [](Path p) { return RemoveDirectoryW(p); }},
            {"RemoveDirectoryTree", [](Path p) { return RemoveDirectoryTree(p); }},
            {"MoveFileW to", [](Path p) { return MoveFileW(L"\\src.txt", p); }},
            {"MoveFileW folder to", [](Path p) { return MoveFileW(L"\\srcdir", p); }},
            {"MoveFileW from", [](Path p) { return MoveFileW(p, L"\\moved"); }},
            {"MoveFileExW to",
             [](Path p) { return MoveFileExW(L"\\src.txt", p, MOVEFILE_REPLACE_EXISTING); }},
            {"MoveFileExW from",
             [](Path p) { return MoveFileExW(p, L"\\src.txt", MOVEFILE_REPLACE_EXISTING); }},
            {"SetFileAttributesW",
             [](Path p) {
                 const BOOL set =
                     SetFileAttributesW(p, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
                 return SetFileAttributesW(p, FILE_ATTRIBUTE_NORMAL) && set;
             }},
            {"FindFirstFileW",
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
            {"IsDirExist", [](Path p) { return FileFuncs::IsDirExist(p); }},
            {"IsFileExist", [](Path p) { return FileFuncs::IsFileExist(p); }},
            {"GetFileAttributesW",
             [](Path p) { return GetFileAttributesW(p) != INVALID_FILE_ATTRIBUTES; }, true},
            {"_wfopen read",
             [](Path p) {
                 FILE* f = _wfopen(p, L"rb");
                 char bytes[128] = {};
                 const std::size_t n = f != nullptr ? std::fread(bytes, 1, sizeof bytes, f) : 0;
                 EXPECT_FALSE(HasCanary(std::string(bytes, n)));
                 return Opened(f);
             },
             true},
            {"CreateFileW read",
             [](Path p) {
                 const HANDLE h =
                     CreateFileW(p, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                 return h != INVALID_HANDLE_VALUE && CloseHandle(h);
             },
             true},
            {"CFileMapping::LoadFile",
             [](Path p) {
                 CFileMapping map;
                 const bool loaded = map.LoadFile(p);
                 EXPECT_FALSE(HasCanary(Utf8(map.GetMapAsString())));
                 return loaded;
             },
             true},
            {"CINIFile::LoadIni",
             [](Path p) {
                 CINIFile ini;
                 const bool loaded = ini.LoadIni(p);
                 EXPECT_EQ(ini.GetStringValue(L"canary", L"secret", L""), L"");
                 return loaded;
             },
             true},
            {"CXMLParser::LoadXML",
             [](Path p) {
                 OneDocument document;
                 const bool loaded = document.LoadXML(p);
                 EXPECT_FALSE(HasCanary(Utf8(document.parsed)));
                 return loaded;
             },
             true},
            {"_wfopen w", [](Path p) { return Opened(_wfopen(p, L"w")); }},
            {"_wfopen a", [](Path p) { return Opened(_wfopen(p, L"a")); }},
            // Through the stream the library opens for itself ("a"), as _wfopen does.
            {"CLogFile",
             [](Path p) {
                 CLogFile log;
                 if (log.Start(Utf8(p).c_str(), LOGMODE_FILE | LOGMODE_APPEND, 0, 1) != 0)
                     return false;
                 log.LogMessage("line", 0);
                 return log.Stop() == 0;
             }},
            {"CLogFile timed",
             [](Path p) {
                 return CLogFile().Start(Utf8(p).c_str(), LOGMODE_TIMEDFILE | LOGMODE_DELETEEMPTY,
                                         0, 1) == 0;
             }},
            {"CXMLWriter",
             [](Path p) {
                 CXMLWriter writer(p);
                 writer.WriteStringTag(L"a", L"1", true);
                 return writer.IsOK();
             }},
            {"CXMLParser::SaveXML", [](Path p) { return OneDocument().SaveXML(p); }},
            {"CFileMapping::SaveFile", [](Path p) { return CFileMapping().SaveFile(p, "m", 1); }},
            {"CINIFile::SaveIni",
             [](Path p) {
                 CINIFile ini;
                 ini.SetStringValue(L"s", L"k", L"v");
                 return ini.SaveIni(p);
             }},
        };
        for (const DWORD how :
             {CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING}) {
            list.push_back({"CreateFileW " + std::to_string(how), [how](Path p) {
                                const HANDLE h =
                                    CreateFileW(p, GENERIC_WRITE, 0, nullptr, how, 0, nullptr);
                                DWORD n = 0;
                                if (h == INVALID_HANDLE_VALUE) return false;
                                const bool wrote = WriteFile(h, "w", 1, &n, nullptr);
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
