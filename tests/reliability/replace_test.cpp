// Replacing whole files under faults: copies and saves that hit a file-size limit or a full
// disk (in a forked child, so neither reaches the test runner), modes and owners kept, links
// kept, and saves racing each other and a reader, in threads and in processes.

#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "fieldkit/files/directory_tree.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/codepage.h"
#include "fieldkit/platform/files.h"
#include "fieldkit/settings/file_mapping.h"
#include "fieldkit/settings/ini_file.h"
#include "fieldkit/xml/xml_parser.h"
#include "tests/reliability/crash_content.h"
#include "tests/support/device_root.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

#ifdef FIELDKIT_RELIABILITY_SANITIZED
constexpr int kSaves = 25;
#else
constexpr int kSaves = 100;
#endif

class Document : public CXMLParser {
  public:
    explicit Document(const std::string& text) : m_text(text.c_str()) {}

  private:
    CString CollectXML() override { return m_text; }
    CString m_text;
};

// Every way a whole file is replaced. The copies take \src\f.dat, which the caller writes;
// the saves write `payload` (SaveIni as the value of [S] k).
enum Way { kCopyFile, kCopyFromTo, kCopyIfNewer, kCopyDir, kSaveIni, kSaveFile, kSaveXml, kWays };
const char* const kWayNames[] = {"CopyFileW",     "CopyFromTo", "CopyFromToCheckDate",
                                 "CopyDirectory", "SaveIni",    "SaveFile",
                                 "SaveXML"};

// Replaces `to` (whose name must be f.dat for CopyDirectory, which copies into its folder).
bool Replace(Way way, const std::wstring& to, const std::string& payload) {
    const wchar_t* from = L"\\src\\f.dat";
    switch (way) {
        case kCopyFile:
            return CopyFileW(from, to.c_str(), FALSE) != FALSE;
        case kCopyFromTo:
            return FileFuncsEx::CopyFromTo(from, to.c_str(), 1) != 0;
        case kCopyIfNewer:
            return FileFuncsEx::CopyFromToCheckDate(from, to.c_str()) != 0;
        case kCopyDir:
            return FileFuncsEx::CopyDirectory(L"\\src", to.substr(0, to.rfind(L'\\')).c_str(), 1) !=
                   0;
        case kSaveIni: {
            CINIFile ini;
            ini.SetStringValue(L"S", L"k", CString(payload.c_str()));
            return ini.SaveIni(to.c_str());
        }
        case kSaveFile: {
            CFileMapping map;
            return map.SaveFile(to.c_str(), payload.data(),
                                static_cast<unsigned long>(payload.size()));
        }
        default:
            return Document(payload).SaveXML(to.c_str());
    }
}

// What the target holds after a successful Replace with `payload` (for copies, the source).
std::string Replaced(Way way, const std::string& payload) {
    return way == kSaveIni ? crash::SavedFile(payload) : payload;
}

struct Outcome {
    long result = -1;
    DWORD error = 0;
};

// Runs `body` in a forked child whose files may not grow beyond `limit` bytes. SIGXFSZ is
// ignored there, so a write past the limit fails with EFBIG as on a full disk.
Outcome InChild(rlim_t limit, const std::function<long()>& body) {
    void* page =
        mmap(nullptr, sizeof(Outcome), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) {
        ADD_FAILURE() << "no shared page";
        return {};
    }
    auto* shared = new (page) Outcome;
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit r = {limit, RLIM_INFINITY};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0) _exit(3);
        SetLastError(0);
        shared->result = body();
        shared->error = GetLastError();
        _exit(0);
    }
    int status = -1;
    EXPECT_TRUE(pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
                WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status) ? "child killed by signal " : "child status ")
        << (WIFSIGNALED(status) ? WTERMSIG(status) : status);
    const Outcome out = *shared;
    munmap(page, sizeof(Outcome));
    return out;
}

class ReplaceTest : public DeviceRootTest {
  protected:
    void TearDown() override {
        umount2(Host("\\full").c_str(), MNT_DETACH);  // the small disk, where a test made one
        DeviceRootTest::TearDown();
    }
    // The names in a folder, sorted: a temporary left behind shows here.
    std::vector<std::string> Names(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(Host(folder)))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    mode_t Mode(const std::string& path) const {
        struct stat st {};
        lstat(Host(path).c_str(), &st);
        return st.st_mode & 07777;
    }
    // The copies' source, newer than any target so that CopyFromToCheckDate copies.
    void WriteSource(const std::string& bytes, mode_t mode = 0644) const {
        Write("\\src\\f.dat", bytes);
        fs::last_write_time(Host("\\src\\f.dat"),
                            fs::file_time_type::clock::now() + std::chrono::hours(1));
        chmod(Host("\\src\\f.dat").c_str(), mode);
    }
};

// Two faults: a file-size limit below the old file and the payload (\dst), and, where this
// process may mount one, a file system too small for the payload (\full). The second also
// catches a file mapping written before its blocks exist, which dies of SIGBUS there.
TEST_F(ReplaceTest, FailedReplacementLeavesTheOldFileOrNone) {
    const std::string payload(150 * 1024, 'n'), old(96 * 1024, 'o');
    WriteSource(payload);
    MakeDir("\\dst");
    MakeDir("\\full");
    const bool small = unshare(CLONE_NEWNS) == 0 &&
                       mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                       mount("tmpfs", Host("\\full").c_str(), "tmpfs", 0, "size=128k") == 0;
    if (!small) std::printf("[ note     ] no full-disk case: cannot mount a small file system\n");
    for (const std::string folder : {"\\dst", "\\full"}) {
        if (folder == "\\full" && !small) continue;
        for (int w = 0; w < kWays; ++w) {
            for (const bool existing : {true, false}) {
                SCOPED_TRACE(folder + " " + kWayNames[w] + (existing ? ", existing target" : ""));
                for (const auto& e : fs::directory_iterator(Host(folder)))
                    fs::remove(e.path());
                if (existing) Write(folder + "\\f.dat", old);
                const Outcome o = InChild(folder == "\\dst" ? 64 * 1024 : RLIM_INFINITY, [&] {
                    return Replace(Way(w), fieldkit::Utf8ToWide(folder + "\\f.dat"), payload);
                });
                EXPECT_EQ(o.result, 0);
                EXPECT_EQ(o.error, ERROR_DISK_FULL);
                EXPECT_EQ(Names(folder), existing ? std::vector<std::string>{"f.dat"}
                                                  : std::vector<std::string>{});
                EXPECT_TRUE(!existing || Read(folder + "\\f.dat") == old) << "old file changed";
            }
        }
    }
}

// A line cut by a full disk is ended before the next one; while even that fails, lines are
// dropped, never glued onto the fragment.
TEST_F(ReplaceTest, LogResumesOnAFreshLineAfterAShortWrite) {
    const std::string a(60, 'a'), b(60, 'b');
    const Outcome o = InChild(100, [&] {
        CLogFile log;
        if (log.Start("\\l.log", LOGMODE_FILE, LOGFMT_NUMBER, 1) != 0) return 0L;
        log.LogMessage(a.c_str(), 1);  // 68 bytes
        log.LogMessage(b.c_str(), 1);  // cut at byte 100
        log.LogMessage("dropped", 1);
        const struct rlimit room = {RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &room);
        log.LogMessage("room again", 1);
        return log.Stop() == 0 ? 1L : 0L;
    });
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(Read("\\l.log"),
              "   1 - " + a + "\n" + ("   2 - " + b).substr(0, 32) + "\n   4 - room again\n");
}

// Saves keep the target's mode (copies take the source's) and, where the saver may change it,
// its owner; a read-only target is refused and stays as it was.
TEST_F(ReplaceTest, ModeAndOwnerKeptReadOnlyRefused) {
    const passwd* nobody = getpwnam("nobody");
    const bool chownable = geteuid() == 0 && nobody != nullptr;
    WriteSource("new", 0640);
    MakeDir("\\dst");
    for (int w = 0; w < kWays; ++w) {
        SCOPED_TRACE(kWayNames[w]);
        for (const mode_t mode : {0600, 0660}) {
            Write("\\dst\\f.dat", "old");
            chmod(Host("\\dst\\f.dat").c_str(), mode);
            ASSERT_TRUE(!chownable ||
                        chown(Host("\\dst\\f.dat").c_str(), nobody->pw_uid, nobody->pw_gid) == 0);
            ASSERT_TRUE(Replace(Way(w), L"\\dst\\f.dat", "new"));
            EXPECT_EQ(Read("\\dst\\f.dat"), Replaced(Way(w), "new"));
            EXPECT_EQ(Mode("\\dst\\f.dat"), w <= kCopyDir ? 0640u : mode);
            struct stat st {};
            stat(Host("\\dst\\f.dat").c_str(), &st);
            EXPECT_TRUE(!chownable || (st.st_uid == nobody->pw_uid && st.st_gid == nobody->pw_gid))
                << "owner " << st.st_uid << ":" << st.st_gid;
        }
        Write("\\dst\\f.dat", "old");
        chmod(Host("\\dst\\f.dat").c_str(), 0444);
        SetLastError(0);
        EXPECT_FALSE(Replace(Way(w), L"\\dst\\f.dat", "new"));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        EXPECT_EQ(Read("\\dst\\f.dat"), "old");
        EXPECT_EQ(Mode("\\dst\\f.dat"), 0444u);
        EXPECT_EQ(Names("\\dst"), std::vector<std::string>{"f.dat"});
    }
    if (!chownable) GTEST_SKIP() << "owner not checked: needs root and the user nobody";
}

// Through a link inside the root the file it names is replaced and the link stays.
TEST_F(ReplaceTest, SavesThroughALinkKeepTheLink) {
    WriteSource("new");
    MakeDir("\\link");
    for (const Way way : {kCopyFile, kCopyFromTo, kSaveIni, kSaveFile, kSaveXml}) {
        SCOPED_TRACE(kWayNames[way]);
        Write("\\real\\f.dat", "old");
        // An absolute target is a device path; a relative one is taken from the link's folder.
        const std::string target = way % 2 == 0 ? "/real/f.dat" : "../real/f.dat";
        fs::remove(Host("\\link\\f.dat"));
        fs::create_symlink(target, Host("\\link\\f.dat"));
        ASSERT_TRUE(Replace(way, L"\\link\\f.dat", "new"));
        EXPECT_TRUE(fs::is_symlink(Host("\\link\\f.dat")) &&
                    fs::read_symlink(Host("\\link\\f.dat")) == target);
        EXPECT_EQ(Read("\\real\\f.dat"), Replaced(way, "new"));
        EXPECT_EQ(Names("\\real"), std::vector<std::string>{"f.dat"});
        EXPECT_EQ(Names("\\link"), std::vector<std::string>{"f.dat"});
    }
}

// Two savers of one settings file and a reader: every save works, every read is one whole
// save, and the last rename wins.
class ConcurrentSaves : public ReplaceTest {
  protected:
    template <class Running>
    void ReadWhile(Running running) {
        long reads = 0;
        do {
            const std::string bytes = Read("\\s.ini");
            ASSERT_FALSE(crash::WhichSave(bytes).empty())
                << "read " << reads << ": no whole save, " << bytes.size() << " bytes";
            ++reads;
        } while (running());
        const std::string last = crash::WhichSave(Read("\\s.ini"));
        const std::string end = std::to_string(kSaves - 1);
        EXPECT_TRUE(last == "A" + end || last == "B" + end) << last;
        EXPECT_EQ(Names("\\"), std::vector<std::string>{"s.ini"});
        std::printf("[ figures  ] %d saves each, %ld whole reads\n", kSaves, reads);
    }
    void SetUp() override {
        ReplaceTest::SetUp();
        Write("\\s.ini", crash::SavedFile(crash::SaveValue('A', 0)));
    }
};

TEST_F(ConcurrentSaves, Threads) {
    std::atomic<int> running{2}, failed{0};
    std::vector<std::thread> savers;
    for (const char writer : {'A', 'B'})
        savers.emplace_back([&, writer] {
            CINIFile ini;
            for (int i = 0; i < kSaves; ++i) {
                ini.SetStringValue(L"S", L"k", CString(crash::SaveValue(writer, i).c_str()));
                failed += ini.SaveIni(L"\\s.ini") ? 0 : 1;
            }
            --running;
        });
    ReadWhile([&] { return running.load() > 0; });
    for (std::thread& t : savers)
        t.join();
    EXPECT_EQ(failed.load(), 0);
}

TEST_F(ConcurrentSaves, Processes) {
    std::vector<pid_t> children;
    for (const char* writer : {"A", "B"}) {
        std::string args[] = {FIELDKIT_CRASH_CHILD,  root_, "-", "saves", "\\s.ini", writer,
                              std::to_string(kSaves)};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
        children.push_back(pid);
    }
    std::vector<int> status(children.size(), -1);
    ReadWhile([&] {
        bool any = false;
        for (std::size_t c = 0; c < children.size(); ++c) {
            if (status[c] == -1 && waitpid(children[c], &status[c], WNOHANG) == 0) {
                status[c] = -1;
                any = true;
            }
        }
        return any;
    });
    for (std::size_t c = 0; c < children.size(); ++c) {
        if (status[c] == -1) waitpid(children[c], &status[c], 0);  // after a failed read
        EXPECT_TRUE(WIFEXITED(status[c]) && WEXITSTATUS(status[c]) == 0) << status[c];
    }
}

}  // namespace
