// Whole files under faults: copies and saves that hit a file-size limit or a full disk (in a
// forked child, so neither reaches the test runner), modes and owners kept, links kept, saves
// racing each other and a reader, in threads and in processes; and a child that writes a log
// or saves settings in a loop, killed with SIGKILL after a seeded random delay, must leave
// whole files behind.
//
// FIELDKIT_RELIABILITY_KILLS and FIELDKIT_RELIABILITY_SEED override the repetitions and the
// seed of the kills, to soak a build or to replay a failure.

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fieldkit/files/directory_tree.h"
#include "fieldkit/logging/app_log.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/settings/file_mapping.h"
#include "fieldkit/settings/ini_file.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"
#include "fieldkit/xml/xml_parser.h"
#include "fieldkit/xml/xml_writer.h"
#include "tests/reliability/children.h"
#include "tests/support/device_root.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using fieldkit::detail::FormatW;

// Sanitized runs are several times slower: fewer saves and kills, the kills spread over a
// longer time.
#ifdef FIELDKIT_RELIABILITY_SANITIZED
constexpr int kSaves = 25, kDefaultKills = 30, kSlowdown = 5;
#else
constexpr int kSaves = 100, kDefaultKills = 200, kSlowdown = 1;
#endif

// Save `i` of writer `writer` ('A', 'B'): one key whose value names the save at both ends and
// whose length changes from save to save, so that no cut or mixed file passes for a save.
std::string SaveValue(char writer, int i) {
    const std::string tag = writer + std::to_string(i);
    return tag + ":" + std::string(20000 + static_cast<std::size_t>(i) * 397 % 20000, writer) +
           ":" + tag;
}
std::string SavedFile(const std::string& value) {
    return "[S]\nk=" + value + "\n\n";
}
// The save the file's bytes are, exactly ("A17"), or empty when they are no save at all.
std::string WhichSave(const std::string& bytes) {
    const std::size_t head = 6, colon = bytes.find(':');
    if (bytes.compare(0, head, "[S]\nk=") != 0 || colon == std::string::npos || colon < head + 2)
        return std::string();
    const std::string tag = bytes.substr(head, colon - head);
    const bool same = bytes == SavedFile(SaveValue(tag[0], std::atoi(tag.c_str() + 1)));
    return same ? tag : std::string();
}

class Document : public CXMLParser {
  public:
    explicit Document(const std::string& text) : m_text(text.c_str()) {}

  private:
    CString CollectXML() override { return m_text; }
    CString m_text;
};

// Every way a whole file is replaced. The copies take \src\f.dat, which the caller writes;
// the saves write `payload` (SaveIni as the value of [S] k).
enum Way {
    kCopyFile,
    kCopyFromTo,
    kCopyIfNewer,
    kCopyDir,
    kSaveIni,
    kSaveFile,
    kSaveXml,
    kWriteXml,
    kWays
};
const char* const kWayNames[] = {"CopyFileW",     "CopyFromTo", "CopyFromToCheckDate",
                                 "CopyDirectory", "SaveIni",    "SaveFile",
                                 "SaveXML",       "CXMLWriter"};
const std::string kXmlHeader = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n";

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
        case kWriteXml: {
            CXMLWriter xml(to.c_str());
            xml.Write(CString(payload.c_str()));
            return xml.Close();
        }
        default:
            return Document(payload).SaveXML(to.c_str());
    }
}

// What the target holds after a successful Replace with `payload` (for copies, the source).
std::string Replaced(Way way, const std::string& payload) {
    return way == kSaveIni ? SavedFile(payload) : way == kWriteXml ? kXmlHeader + payload : payload;
}

struct Outcome {
    long result = -1;
    DWORD error = 0;
};

// A value in a page shared with the children forked after it; null (with a failure) when
// there is none.
template <class T>
T* SharedPage() {
    void* page =
        mmap(nullptr, sizeof(T), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page != MAP_FAILED) return new (page) T{};
    ADD_FAILURE() << "no shared page";
    return nullptr;
}

// Lets this process's files grow to `bytes` at most. SIGXFSZ is ignored, so a write past the
// limit fails with EFBIG as on a full disk.
bool LimitFiles(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    const struct rlimit r = {bytes, RLIM_INFINITY};
    return setrlimit(RLIMIT_FSIZE, &r) == 0;
}

// Waits for a forked child: success when it ran to its end and returned 0.
::testing::AssertionResult Succeeded(pid_t pid) {
    int status = -1;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << (WIFSIGNALED(status) ? "child killed by signal " : "child status ")
           << (WIFSIGNALED(status) ? WTERMSIG(status) : status);
}

// Runs `body` in a forked child whose files may not grow beyond `limit` bytes.
Outcome InChild(rlim_t limit, const std::function<long()>& body) {
    auto* shared = SharedPage<Outcome>();
    if (shared == nullptr) return {};
    EXPECT_TRUE(Succeeded(reliability::Fork([&] {
        if (!LimitFiles(limit)) return 3;
        SetLastError(0);
        shared->result = body();
        shared->error = GetLastError();
        return 0;
    })));
    const Outcome out = *shared;
    munmap(shared, sizeof(Outcome));
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
    struct stat Stat(const std::string& path) const {
        struct stat st {};
        lstat(Host(path).c_str(), &st);
        return st;
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
// Fault: a copy or save cut by a full disk truncates the old file or leaves its temporary
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

// The XML writer gathers what it writes: a document whose only write, at the close, fails
// leaves the old one as well.
// Fault: the XML writer opens the target before its one write, so a failed close empties it
TEST_F(ReplaceTest, XmlWriterFailingAtTheCloseLeavesTheOldDocument) {
    Write("\\x.xml", "old");
    const Outcome o = InChild(1000, [] {
        CXMLWriter xml(L"\\x.xml");
        xml.Write(std::wstring(2000, L'n').c_str());
        return xml.IsOK() && !xml.Close() ? 1L : 0L;
    });
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.error, ERROR_DISK_FULL);
    EXPECT_EQ(Read("\\x.xml"), "old");
    EXPECT_EQ(Names("\\"), std::vector<std::string>{"x.xml"});
}

// A full disk under the log. A line it cut short is ended before the next one, and while even
// that fails lines are dropped, never glued onto the fragment. The first line the file takes
// again follows a notice of how many it lost, numbered and prefixed as any line, so the lost
// lines are exactly the numbers just before it; a notice the disk cuts is lost in turn. A new
// session starts with nothing lost.
// Fault: lines lost to a full disk go uncounted, or are glued onto the line the disk cut
TEST_F(ReplaceTest, LogSaysHowManyLinesAFullDiskLost) {
    const std::string a(60, 'a'), b(60, 'b');
    const Outcome o = InChild(100, [&] {
        const auto full = [&] { LimitFiles(fs::file_size(Host("\\l.log"))); };
        const long format = LOGFMT_NUMBER | LOGFMT_LEVEL;
        CLogFile log;
        if (log.Start("\\l.log", LOGMODE_FILE, format, 1) != 0) return 0L;
        log.LogMessage(a.c_str(), 1);  // 74 bytes
        log.LogMessage(b.c_str(), 1);  // cut at byte 100
        for (int i = 0; i < 3; ++i)
            log.LogMessage("dropped", 1);
        LimitFiles(120);  // the line end and a piece of the notice
        log.LogMessage("dropped", 1);
        LimitFiles(RLIM_INFINITY);
        log.LogMessage("room again", 1);
        log.LogMessage("next", 1);
        full();
        log.LogMessage("dropped", 1);
        LimitFiles(RLIM_INFINITY);
        log.LogMessage("one lost", 1);
        full();
        log.LogMessage("dropped", 1);
        LimitFiles(RLIM_INFINITY);
        log.Stop();
        if (log.Start("\\l.log", LOGMODE_FILE | LOGMODE_APPEND, format, 1) != 0) return 0L;
        log.LogMessage("new session", 1);
        return log.Stop() == 0 ? 1L : 0L;
    });
    EXPECT_EQ(o.result, 1);
    const std::string lines[] = {"   1 - <1> - " + a,
                                 ("   2 - <1> - " + b).substr(0, 26),  // to byte 100
                                 "   6 - <0> - 4 line",                // to byte 120
                                 "   8 - <0> - 6 lines could not be written to the file.",
                                 "   9 - <1> - room again",
                                 "  10 - <1> - next",
                                 "  12 - <0> - 1 line could not be written to the file.",
                                 "  13 - <1> - one lost",
                                 "   1 - <1> - new session"};
    std::string expected;
    for (const std::string& line : lines)
        expected += line + "\n";
    EXPECT_EQ(Read("\\l.log"), expected);
}

// Saves keep the target's mode (copies take the source's) and, where the saver may change it,
// its owner; a read-only target is refused and stays as it was.
// Fault: a save gives the target the temporary's mode or owner, or replaces a read-only file
TEST_F(ReplaceTest, ModeAndOwnerKeptReadOnlyRefused) {
    const passwd* nobody = getpwnam("nobody");
    const bool chownable = geteuid() == 0 && nobody != nullptr;
    WriteSource("new", 0640);
    MakeDir("\\dst");
    for (int w = 0; w < kWays; ++w) {
        SCOPED_TRACE(kWayNames[w]);
        for (const mode_t mode : {0600u, 0660u}) {
            Write("\\dst\\f.dat", "old");
            chmod(Host("\\dst\\f.dat").c_str(), mode);
            ASSERT_TRUE(!chownable ||
                        chown(Host("\\dst\\f.dat").c_str(), nobody->pw_uid, nobody->pw_gid) == 0);
            ASSERT_TRUE(Replace(Way(w), L"\\dst\\f.dat", "new"));
            EXPECT_EQ(Read("\\dst\\f.dat"), Replaced(Way(w), "new"));
            const struct stat st = Stat("\\dst\\f.dat");
            EXPECT_EQ(st.st_mode & 07777, w <= kCopyDir ? 0640u : mode);
            EXPECT_TRUE(!chownable || (st.st_uid == nobody->pw_uid && st.st_gid == nobody->pw_gid))
                << "owner " << st.st_uid << ":" << st.st_gid;
        }
        Write("\\dst\\f.dat", "old");
        chmod(Host("\\dst\\f.dat").c_str(), 0444);
        SetLastError(0);
        EXPECT_FALSE(Replace(Way(w), L"\\dst\\f.dat", "new"));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        EXPECT_EQ(Read("\\dst\\f.dat"), "old");
        EXPECT_EQ(Stat("\\dst\\f.dat").st_mode & 07777, 0444u);
        EXPECT_EQ(Names("\\dst"), std::vector<std::string>{"f.dat"});
    }
    if (!chownable) GTEST_SKIP() << "owner not checked: needs root and the user nobody";
}

// Through a link inside the root the file it names is replaced and the link stays.
// Fault: a save renames its new file over the link instead of over the file the link names
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

// Who may write is asked at each call. A process that saved as root and then became another
// user may not replace a file that user may not write (its bytes and owner stay), and may
// replace one that a supplementary group of the user may write.
// Fault: write permission cached from the first save, so a dropped user replaces root's file
TEST_F(ReplaceTest, MayWriteIsAskedAgainAfterAPrivilegeDrop) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root and the user nobody";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid, group = 4242;  // a group nobody is not in
    chmod(root_.c_str(), 0755);
    MakeDir("\\dst");
    chmod(Host("\\dst").c_str(), 0777);
    for (const char* name : {"\\dst\\first.ini", "\\dst\\root.ini", "\\dst\\group.ini"})
        Write(name, "old");
    chmod(Host("\\dst\\root.ini").c_str(), 0644);
    ASSERT_EQ(chown(Host("\\dst\\group.ini").c_str(), 0, group), 0);
    chmod(Host("\\dst\\group.ini").c_str(), 0664);
    const Outcome o = InChild(RLIM_INFINITY, [&] {
        CINIFile ini;
        ini.SetStringValue(L"S", L"k", L"new");
        if (!ini.SaveIni(L"\\dst\\first.ini")) return 1L;
        if (setgroups(1, &group) != 0 || setresgid(gid, gid, gid) != 0 ||
            setresuid(uid, uid, uid) != 0)
            return 2L;
        if (ini.SaveIni(L"\\dst\\root.ini") || GetLastError() != ERROR_ACCESS_DENIED) return 3L;
        return ini.SaveIni(L"\\dst\\group.ini") ? 0L : 4L;
    });
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(Read("\\dst\\root.ini"), "old");
    EXPECT_EQ(Stat("\\dst\\root.ini").st_uid, 0u);
    EXPECT_EQ(Read("\\dst\\group.ini"), "[S]\nk=new\n\n");
}

// A copy onto a free name that fails part way removes only what it wrote: a finished file that
// another writer renamed onto that name meanwhile stays. The other writer watches the copier's
// open files and renames as soon as the copier holds a file in the folder.
// Fault: a failed copy removes its target by name and so deletes the file another writer put there
TEST_F(ReplaceTest, FailedCopyLeavesAnotherWritersFile) {
    WriteSource(std::string(std::size_t{16} << 20, 's'));
    MakeDir("\\dst");
    auto* go = SharedPage<int>();
    ASSERT_NE(go, nullptr);
    const std::string folder = Host("\\dst").string() + "/";
    for (int t = 0; t < 6; ++t) {
        SCOPED_TRACE("try " + std::to_string(t));
        for (const auto& e : fs::directory_iterator(Host("\\dst")))
            fs::remove(e.path());
        Write("\\other\\t.dat", "the other writer's");
        __atomic_store_n(go, 0, __ATOMIC_RELAXED);
        const pid_t copier = reliability::Fork([&] {
            while (__atomic_load_n(go, __ATOMIC_ACQUIRE) == 0) {
            }
            return LimitFiles(std::size_t{8} << 20) &&
                           !CopyFileW(L"\\src\\f.dat", L"\\dst\\t.dat", FALSE) &&
                           GetLastError() == ERROR_DISK_FULL
                       ? 0
                       : 6;
        });
        const pid_t other = reliability::Fork([&] {
            const std::string fds = "/proc/" + std::to_string(copier) + "/fd";
            __atomic_store_n(go, 1, __ATOMIC_RELEASE);
            for (bool seen = false; !seen;) {
                DIR* d = opendir(fds.c_str());
                if (d == nullptr) break;  // the copier has ended
                while (const dirent* e = !seen ? readdir(d) : nullptr) {
                    char target[4096];
                    const ssize_t n = readlinkat(dirfd(d), e->d_name, target, sizeof target);
                    seen = n > 0 && std::string(target, static_cast<std::size_t>(n))
                                            .compare(0, folder.size(), folder) == 0;
                }
                closedir(d);
            }
            return ::rename(Host("\\other\\t.dat").c_str(), Host("\\dst\\t.dat").c_str()) == 0 ? 0
                                                                                               : 7;
        });
        for (const pid_t child : {copier, other})
            EXPECT_TRUE(Succeeded(child));
        EXPECT_EQ(Read("\\dst\\t.dat"), "the other writer's");
        EXPECT_EQ(Names("\\dst"), std::vector<std::string>{"t.dat"});
    }
    munmap(go, sizeof(int));
}

// The saves of saver `writer` of one settings file; the number that failed.
int Saves(char writer) {
    CINIFile ini;
    int failed = 0;
    for (int i = 0; i < kSaves; ++i) {
        ini.SetStringValue(L"S", L"k", CString(SaveValue(writer, i).c_str()));
        failed += ini.SaveIni(L"\\s.ini") ? 0 : 1;
    }
    return failed;
}

// Two savers, as processes and then as threads, and a reader: every save works, every read is
// one whole save, and the last rename wins.
// Fault: concurrent saves share one temporary name, so a reader sees a mixed or cut file
TEST_F(ReplaceTest, ConcurrentSavesAndAReader) {
    for (const bool processes : {true, false}) {
        SCOPED_TRACE(processes ? "processes" : "threads");
        Write("\\s.ini", SavedFile(SaveValue('A', 0)));
        // Both children are forked before a thread of this test runs; a thread waits for each.
        const pid_t children[] = {processes ? reliability::Fork([] { return Saves('A'); }) : 0,
                                  processes ? reliability::Fork([] { return Saves('B'); }) : 0};
        ASSERT_TRUE(!processes || (children[0] > 0 && children[1] > 0));
        std::atomic<int> running{2}, failed{0};
        std::vector<std::thread> savers;
        for (int c = 0; c < 2; ++c)
            savers.emplace_back([&, c] {
                failed += processes ? (Succeeded(children[c]) ? 0 : 1) : Saves("AB"[c]);
                --running;
            });
        long reads = 0;
        do {
            const std::string bytes = Read("\\s.ini");
            if (WhichSave(bytes).empty()) {
                ADD_FAILURE() << "read " << reads << ": no whole save, " << bytes.size()
                              << " bytes";
                break;
            }
            ++reads;
        } while (running.load() > 0);
        for (std::thread& t : savers)
            t.join();
        EXPECT_EQ(failed.load(), 0);
        const std::string last = WhichSave(Read("\\s.ini")), end = std::to_string(kSaves - 1);
        EXPECT_TRUE(last == "A" + end || last == "B" + end) << last;
        EXPECT_EQ(Names("\\"), std::vector<std::string>{"s.ini"});
        std::printf("[ figures  ] %d saves each, %ld whole reads\n", kSaves, reads);
    }
}

// The text after "L<i> " on log line i: 0 to 900 bytes, so lines often span the stream's
// buffer, and different from line to line, so a mixed or cut line cannot pass for another.
std::string Payload(std::int64_t i) {
    return std::string(static_cast<std::size_t>(i * 37 % 901), static_cast<char>('a' + i % 26));
}

// Every save carries its generation, so that a lost save cannot pass for the current one.
void SetGeneration(CINIFile& ini, std::int64_t g) {
    ini.SetStringValue(L"Meta", L"Generation", FormatW(L"%lld", static_cast<long long>(g)).c_str());
}

// Generation g of the settings: 2,000 keys that all hold 'A' (even g) or 'B' (odd g) 24 times.
void FillSettings(CINIFile& ini, std::int64_t g) {
    for (int s = 0; s < 4; ++s) {
        for (int k = 0; k < 500; ++k)
            ini.SetStringValue(FormatW(L"Section%d", s).c_str(), FormatW(L"Key%04d", k).c_str(),
                               CString(g % 2 == 0 ? L'A' : L'B', 24));
    }
    SetGeneration(ini, g);
}

class CrashKillTest : public ReplaceTest {
  protected:
    void SetUp() override {
        ReplaceTest::SetUp();
        ASSERT_NE(progress_ = SharedPage<std::int64_t>(), nullptr);
        kills_ = reliability::EnvInt("FIELDKIT_RELIABILITY_KILLS", kDefaultKills);
        seed_ = static_cast<unsigned>(reliability::EnvInt("FIELDKIT_RELIABILITY_SEED", 20261207));
        rng_.seed(seed_);
    }
    void TearDown() override {
        if (progress_ != nullptr) munmap(progress_, sizeof(std::int64_t));
        ReplaceTest::TearDown();
    }

    // In the child: its loop has begun (step 0), or it completed step `step`. The page holds
    // one more, so that 0 says the child has not begun.
    void Reached(std::int64_t step) { __atomic_store_n(progress_, step + 1, __ATOMIC_RELEASE); }

    // Forks a child that runs `work` (a loop that reports its steps), waits until it works,
    // lets it run for a random time below `maxDelayUs` and kills it. The steps the child
    // completed, or -1 (with a failure) when it did not run to the kill.
    std::int64_t RunAndKill(const std::function<int()>& work, int maxDelayUs) {
        __atomic_store_n(progress_, 0, __ATOMIC_RELAXED);
        const pid_t pid = reliability::Fork(work);
        if (pid < 0) {
            ADD_FAILURE() << "cannot fork";
            return -1;
        }
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        int status = 0;
        while (__atomic_load_n(progress_, __ATOMIC_ACQUIRE) == 0) {
            if (waitpid(pid, &status, WNOHANG) == pid || Clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "the child did not start, status " << status;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<int>(0, maxDelayUs * kSlowdown)(rng_)));
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
            ADD_FAILURE() << "the child ended on its own, status " << status;
            return -1;
        }
        return __atomic_load_n(progress_, __ATOMIC_ACQUIRE) - 1;
    }

    // The log holds complete lines 1..M, M the lines completed or one more (the line whose
    // write had begun). `appLog`: line 1 is "Program started." and message i is line i + 1.
    // The line in flight may be cut, but only where the kernel cuts a write that a kill
    // interrupts: at a page boundary, so that line began in one page and ends in the next.
    void ExpectWholeLog(const std::string& text, std::int64_t completed, bool appLog, int kill) {
        const std::int64_t first = appLog ? 2 : 1;  // the line of message 1
        std::int64_t n = 0;
        for (std::size_t at = 0, end = 0; at < text.size(); at = end + 1) {
            end = std::min(text.find('\n', at), text.size());
            const std::string line = text.substr(at, end - at);
            const std::int64_t i = ++n - first + 1;  // the message on this line
            const std::string expected =
                reliability::LogPrefix(line, n, appLog) +
                (i < 1 ? "Program started." : "L" + std::to_string(i) + " " + Payload(i));
            if (end < text.size()) {
                ASSERT_EQ(line, expected) << "kill " << kill << ", line " << n;
                continue;
            }
            ++cutLines_;
            EXPECT_EQ(text.size() % static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), 0u)
                << "kill " << kill << ": line " << n << " cut inside a page: " << line;
            EXPECT_EQ(i, completed + 1) << "kill " << kill << ": cut line not the last";
            EXPECT_EQ(expected.compare(0, line.size(), line), 0) << "kill " << kill << ": " << line;
        }
        const std::int64_t messages = std::max<std::int64_t>(0, n - first + 1);
        EXPECT_TRUE(messages == completed || messages == completed + 1)
            << "kill " << kill << ": " << messages << " lines after " << completed << " completed";
        linesVerified_ += n;
    }

    // The child writes the log file, or the application log. (That a session appending to a log
    // whose last line a kill cut starts a line of its own is in the logging tests.)
    void RunLogKills(bool appLog) {
        const std::string path = "\\Logs\\crash.log";
        MakeDir("\\Logs");
        const auto work = [&] {
            CLogFile log;
            if (appLog) {
                fieldkit::host::SetApplicationLog(true, CString(path.c_str()));
                InitLogging();
            } else if (log.Start(path.c_str(), LOGMODE_FILE, LOGFMT_NUMBER, 1) != 0) {
                return 4;
            }
            Reached(0);
            for (long long i = 1;; ++i) {
                appLog ? LOGMESSAGE(1, "L%lld %s", i, Payload(i))
                       : log.LogMessage(1, "L%lld %s", i, Payload(i));
                Reached(i);
            }
        };
        std::int64_t most = 0;
        for (int k = 0; k < kills_ && !HasFailure(); ++k) {
            const std::int64_t completed = RunAndKill(work, 3000);
            if (completed < 0) return;
            most = std::max(most, completed);
            ExpectWholeLog(Read(path), completed, appLog, k);
        }
        Report("lines verified " + std::to_string(linesVerified_) + ", most in one run " +
               std::to_string(most) + ", cut at a page boundary " + std::to_string(cutLines_));
    }

    void Report(const std::string& figures) {
        RecordProperty("figures", figures);
        std::printf("[ figures  ] kills %d (seed %u): %s\n", kills_, seed_, figures.c_str());
    }

    std::int64_t* progress_ = nullptr;
    int kills_ = 0;
    unsigned seed_ = 0;
    std::mt19937 rng_;
    std::int64_t linesVerified_ = 0;
    std::int64_t cutLines_ = 0;
};

// Fault: the log buffers lines past their call, so a kill loses lines already logged
TEST_F(CrashKillTest, LogFileKeepsEveryCompletedLine) {
    RunLogKills(false);
}

// Fault: the application log buffers lines past their call, so a kill loses logged lines
TEST_F(CrashKillTest, ApplicationLogKeepsEveryCompletedLine) {
    RunLogKills(true);
}

// The file is generation `completed` or the next one, byte for byte as a save of it writes it.
// Fault: a save writes the target in place, so a kill mid-save leaves a cut settings file
TEST_F(CrashKillTest, SettingsSaveLeavesOldOrNewFile) {
    const auto generation = [this](std::int64_t g) {
        CINIFile ini;
        FillSettings(ini, g);
        EXPECT_TRUE(ini.SaveIni(L"\\expected.ini"));
        return Read("\\expected.ini");
    };
    // This process saved generation 0; the child saves 1, 2, 3, ... over it.
    const auto work = [this] {
        CINIFile versions[2];
        FillSettings(versions[0], 0);
        FillSettings(versions[1], 1);
        Reached(0);
        for (std::int64_t g = 1;; ++g) {
            SetGeneration(versions[g % 2], g);
            if (!versions[g % 2].SaveIni(L"\\Settings\\crash.ini")) return 5;
            Reached(g);
        }
    };
    const std::string first = generation(0);
    std::int64_t saves = 0, midSave = 0;
    for (int k = 0; k < kills_ && !HasFailure(); ++k) {
        Write("\\Settings\\crash.ini", first);
        const std::int64_t completed = RunAndKill(work, 20000);
        if (completed < 0) return;
        saves += completed;
        const std::string bytes = Read("\\Settings\\crash.ini");
        EXPECT_TRUE(bytes == generation(completed) || bytes == generation(completed + 1))
            << "kill " << k << ": " << bytes.size() << " bytes, not generation " << completed
            << " or the next";
        // A temporary left beside it means the kill came while a save was being written. The
        // next save sweeps it: leftovers never pile up.
        const std::size_t leftovers = Names("\\Settings").size() - 1;
        EXPECT_LE(leftovers, 1u) << "kill " << k;
        midSave += static_cast<std::int64_t>(leftovers);
    }
    Report("saves completed " + std::to_string(saves) + ", kills during a save " +
           std::to_string(midSave));
}

}  // namespace
