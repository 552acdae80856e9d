// The device root is a fence. Links planted inside it, folders swapped for links while a tree
// walk runs, names in another case and FIFOs must never lead a call to read, list, write,
// create, delete or change anything outside it, nor make it wait. Every test runs twice: with
// the kernel resolving paths in the root (openat2) and with the walk used where it is missing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "tests/robustness/beside_root.h"

namespace {

using namespace robustness;

// Sanitized runs are several times slower: fewer rounds of the races.
#ifdef FIELDKIT_ROBUSTNESS_SANITIZED
constexpr int kSlower = 4;
#else
constexpr int kSlower = 1;
#endif

class Fence : public BesideRoot, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        BesideRoot::SetUp();
        knobs_.ResolveByWalkOnly(GetParam());
    }

    // Empties the root, then plants links that aim outside it, by absolute host path and by
    // climbing with "..", at files, at folders and at names that do not exist yet.
    void Plant() {
        // Most calls leave the root as it was too, and planting anew is slow.
        if (!planted_.empty() && Snapshot(root_, fs::path(), false) == planted_) return;
        std::error_code ignored;
        for (const auto& e : fs::directory_iterator(root_))
            fs::remove_all(e.path(), ignored);
        Write("\\src.txt", "[s]\nk=v\n");
        Write("\\srcdir\\f.txt", "[s]\nk=v\n");
        MakeDir("\\in");
        const std::string out = outside_.string();
        const std::pair<const char*, std::string> links[] = {{"la", out + "/canary.txt"},
                                                             {"lr", "../outside/canary.txt"},
                                                             {"lda", out},
                                                             {"ldr", "../outside"},
                                                             {"lup", ".."},
                                                             {"dangla", out + "/new.txt"},
                                                             {"danglr", "../outside/new.txt"},
                                                             {"dangl2", "../new.txt"},
                                                             {"in/up", "../../outside/canary.txt"},
                                                             {"chain", "lda/canary.txt"},
                                                             {"loop", "loop"},
                                                             {"srcdir/esc", out},
                                                             {"srcdir/escr", "../../outside"},
                                                             {"srcdir/escf", out + "/canary.txt"}};
        for (const auto& [name, target] : links)
            fs::create_symlink(target, fs::path(root_) / name);
        planted_ = Snapshot(root_, fs::path(), false);
    }

    std::map<std::string, std::string> planted_;
};

INSTANTIATE_TEST_SUITE_P(Resolution, Fence, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Walk" : "Openat2";
                         });

extern "C" void StuckOnFifo(int);
extern "C" void StuckOnFifo(int) {
    static const char message[] = "a call waited on a FIFO\n";
    (void)!::write(2, message, sizeof message - 1);
    std::abort();
}

}  // namespace

// Fault: a link (absolute, climbing, chained or dangling) followed out of the root by any call
TEST_P(Fence, LinksNeverLeadOutside) {
    // Links as the last step, then on the way. Every path leads to nothing inside the root:
    // nothing can be read.
    std::vector<CString> paths = {L"\\la",     L"\\lr",     L"\\in\\up", L"\\chain", L"\\loop",
                                  L"\\dangla", L"\\danglr", L"\\dangl2", L"\\lda",   L"\\ldr"};
    for (const wchar_t* onTheWay :
         {L"\\lda\\canary.txt", L"\\ldr\\canary.txt", L"\\lup\\outside\\canary.txt",
          L"\\lda\\emptydir", L"\\ldr\\secretdir\\deep.txt", L"\\ldr\\secretdir", L"\\lda\\new.txt",
          L"\\lup\\outside\\new.txt"})
        paths.push_back(onTheWay);
    for (const Operation& op : Operations()) {
        for (const CString& path : paths) {
            SCOPED_TRACE(op.name + " on " + Utf8(path));
            Plant();
            EXPECT_FALSE(op.run(path) && op.reads);
            ASSERT_EQ(Outside(), before_);
            ExpectNothingBroughtIn();
        }
    }
}

// Fault: an absolute link target taken as a host path, or a copied folder writing through a link
TEST_P(Fence, LinkTargetsAreDevicePaths) {
    Plant();
    // An absolute target names that path below the root; ".." climbs no higher than the root.
    const fs::path mirror = Host(outside_.string());
    fs::create_directories(mirror);
    MakeDir("\\outside");
    const std::pair<const wchar_t*, fs::path> lands[] = {
        {L"\\la", mirror / "canary.txt"},
        {L"\\chain", mirror / "canary.txt"},
        {L"\\lr", Host("\\outside\\canary.txt")},
        {L"\\in\\up", Host("\\outside\\canary.txt")},
        {L"\\dangl2", Host("\\new.txt")}};
    for (const auto& [link, host] : lands) {
        SCOPED_TRACE(Utf8(link));
        CINIFile ini;
        ini.SetStringValue(L"s", L"k", link);
        ASSERT_TRUE(ini.SaveIni(link));
        EXPECT_NE(ReadHost(host).find(Utf8(link)), std::string::npos);
        EXPECT_TRUE(fs::is_symlink(Host(Utf8(link))));
        CINIFile back;
        ASSERT_TRUE(back.LoadIni(link));
        EXPECT_EQ(back.GetStringValue(L"s", L"k", L""), link);
    }

    // A copied folder takes its links along as links, and replaces a link in the target
    // rather than write through it; removing them leaves what they name.
    MakeDir("\\copydir");
    fs::create_symlink(outside_ / "canary.txt", Host("\\copydir\\f.txt"));
    const std::string landed = ReadHost(mirror / "canary.txt");
    ASSERT_EQ(FileFuncsEx::CopyDirectory(L"\\srcdir", L"\\copydir", 1), 1);
    EXPECT_EQ(ReadHost(mirror / "canary.txt"), landed);
    EXPECT_EQ(Read("\\copydir\\f.txt"), "[s]\nk=v\n");
    EXPECT_FALSE(fs::is_symlink(Host("\\copydir\\f.txt")));
    for (const char* name : {"esc", "escr", "escf"}) {
        const fs::path copy = Host(std::string("\\copydir\\") + name);
        ASSERT_TRUE(fs::is_symlink(copy)) << name;
        EXPECT_EQ(fs::read_symlink(copy), fs::read_symlink(Host(std::string("\\srcdir\\") + name)));
    }
    EXPECT_EQ(FileFuncsEx::RemoveDirectoryTree(L"\\copydir"), 1);
    EXPECT_EQ(FileFuncsEx::RemoveDirectoryTree(L"\\srcdir"), 1);
    EXPECT_FALSE(Exists("\\srcdir"));
    EXPECT_TRUE(fs::exists(mirror / "canary.txt"));

    // Into itself or below itself, however the path spells it, nothing is copied.
    MakeDir("\\d\\e");
    fs::create_symlink("d", Host("\\lnd"));
    for (const wchar_t* into :
         {L"\\d", L"\\d\\e\\x", L"\\D\\E", L"\\lnd\\x", L"\\d\\e\\..\\..\\d\\y", L"\\lup\\d\\x"}) {
        EXPECT_EQ(FileFuncsEx::CopyDirectory(L"\\d", into, 1), 0) << Utf8(into);
    }
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(Host("\\d")), {}), 1);
}

// The current folder lies beside the root, so the check after the test sees it untouched.
// Fault: a relative path resolved against the process's current folder, or the root removed
TEST_P(Fence, RelativePathsStartAtTheRootNotTheCurrentFolder) {
    Plant();
    EXPECT_EQ(FileFuncsEx::CreateDirectoryTree(L"rel\\a"), 1);
    EXPECT_TRUE(fs::is_directory(Host("\\rel\\a")));
    CLogFile log;
    ASSERT_EQ(log.Start("rel.log", LOGMODE_FILE, 0, 1), 0);
    log.LogMessage("x", 0);
    log.Stop();
    EXPECT_EQ(ReadHost(Host("\\rel.log")), "x\n");
    CLogFile timed;
    ASSERT_EQ(timed.Start(LOGMODE_TIMEDFILE, 0, 1), 0);
    timed.LogMessage("x", 0);
    EXPECT_TRUE(fs::is_regular_file(Host(timed.GetFilename()))) << timed.GetFilename();
    timed.Stop();

    // The root itself stays; a link to it goes alone.
    for (const wchar_t* root : {L".", L"\\", L"rel\\.."})
        EXPECT_EQ(FileFuncsEx::RemoveDirectoryTree(root), 0) << Utf8(root);
    EXPECT_EQ(FileFuncsEx::RemoveDirectoryTree(L"lup"), 1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Host("\\lup"))));
    EXPECT_TRUE(Exists("\\srcdir\\f.txt"));
    EXPECT_EQ(FileFuncsEx::RemoveDirectoryTree(L"rel"), 1);
    EXPECT_FALSE(Exists("\\rel"));
}

// Fault: a tree walk reopens a folder by name after listing it, following a link swapped in
TEST_P(Fence, FoldersSwappedForLinksDuringTreeWalks) {
    constexpr int kRounds = 40 / kSlower;
    // The folders sort after the files beside them, so a walk lists a folder, works on the
    // files, and only then opens the folder: time for a swap to come between.
    const char* const folders[] = {"\\t", "\\t\\z1", "\\t\\z1\\z2", "\\t\\z1\\z2\\z3"};
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Plant();
        for (int i = 0; i < 48; ++i) {
            const std::string file = std::string(folders[i % 4]) + "\\f" + std::to_string(i);
            Write(file, "tree");
            if (i % 8 == 1) fs::permissions(Host(file), fs::perms::owner_read);
        }
        std::atomic<bool> stop{false};
        std::thread swapper([&, seed = round] {
            std::mt19937 rng(static_cast<unsigned>(seed));
            const fs::path victims[] = {Host(folders[1]), Host(folders[2]), Host(folders[3]),
                                        Host("\\copy\\z1")};
            for (int n = 0; n < 5000 && !stop.load(); ++n) {
                const fs::path& victim = victims[rng() % 4];
                const fs::path away = victim.string() + ".away";
                const fs::path target =
                    rng() % 2 ? outside_ : outside_.lexically_relative(victim.parent_path());
                std::this_thread::sleep_for(std::chrono::microseconds(rng() % 100));
                if (::rename(victim.c_str(), away.c_str()) != 0) continue;
                ::symlink(target.c_str(), victim.c_str());
                std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
                ::unlink(victim.c_str());
                ::rename(away.c_str(), victim.c_str());
            }
        });
        FileFuncsEx::CopyDirectory(L"\\t", L"\\copy", 1);
        FileFuncsEx::RemoveDirectoryTree(L"\\t");
        stop.store(true);
        swapper.join();
        ASSERT_EQ(Outside(), before_);
        ExpectNothingBroughtIn();
    }
}

// The folder a walk starts at swapped, inside the root, with a link to another folder (one
// atomic exchange, over and over): the walk works on the folder or on the link, never on the
// folder the link names. \precious must come out whole: nothing removed, nothing written.
// Fault: the walk checks the top folder, then opens it by name again and follows a swapped link
TEST_P(Fence, TopFolderSwappedWithALinkInsideTheRoot) {
    constexpr int kRounds = 60 / kSlower;
    const auto snapshot = [&] { return Snapshot(fs::path(root_) / "precious", fs::path(), true); };
    for (int i = 0; i < 20; ++i)
        Write("\\precious\\f" + std::to_string(i), "precious " + std::to_string(i));
    const auto precious = snapshot();
    for (int round = 0; round < kRounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::error_code ignored;
        for (const char* name : {"victim", "swap", "copy"})
            fs::remove_all(fs::path(root_) / name, ignored);
        for (int i = 0; i < 20; ++i)
            Write("\\victim\\f" + std::to_string(i), "victim");
        fs::create_symlink(round % 2 ? "/precious" : "precious", fs::path(root_) / "swap");
        std::atomic<bool> stop{false};
        std::thread swapper([&, seed = round] {
            std::mt19937 rng(static_cast<unsigned>(seed));
            const std::string a = (fs::path(root_) / "victim").string(),
                              b = (fs::path(root_) / "swap").string();
            while (!stop.load()) {
                ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
                std::this_thread::sleep_for(std::chrono::microseconds(rng() % 50));
            }
        });
        // The copies read \victim and write into it (the files there have the names of the
        // files of \precious); then it is removed.
        FileFuncsEx::CopyDirectory(L"\\victim", L"\\copy", 1);
        FileFuncsEx::CopyDirectory(L"\\copy", L"\\victim", 1);
        FileFuncsEx::RemoveDirectoryTree(L"\\victim");
        stop.store(true);
        swapper.join();
        ASSERT_EQ(snapshot(), precious);
    }
}

// Fault: a name in another case not found, or a write under it makes a second file
TEST_P(Fence, NamesMatchWithoutRegardToCase) {
    Write("\\Dir\\Settings.ini", "[s]\nk=old\n");
    Write("\\two\\Name.txt", "upper");
    Write("\\two\\name.txt", "lower");
    Write("\\\xC3\x84rger.txt", "umlaut");
    // Exact names and searches agree. Of two spellings the exact one is used, and a third
    // takes the first in sorted order ("N" before "n").
    const struct {
        const wchar_t* path;
        const wchar_t* name;
        const char* bytes;  // null for a pattern
    } cases[] = {{L"\\dIR\\settings.INI", L"Settings.ini", "[s]\nk=old\n"},
                 {L"\\dir\\S*.INI", L"Settings.ini", nullptr},
                 {L"\\two\\name.txt", L"name.txt", "lower"},
                 {L"\\TWO\\Name.txt", L"Name.txt", "upper"},
                 {L"\\two\\NAME.TXT", L"Name.txt", "upper"},
                 {L"\\Two\\NAME.*", L"Name.txt", nullptr},
                 {L"\\\u00e4RGER.txt", L"\u00c4rger.txt", "umlaut"},
                 {L"\\\u00e4rger.*", L"\u00c4rger.txt", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.path));
        EXPECT_TRUE(FileFuncs::IsFileExist(c.path));
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(c.path, &found);
        ASSERT_NE(search, INVALID_HANDLE_VALUE);
        EXPECT_STREQ(found.cFileName, c.name);
        FindClose(search);
        if (c.bytes == nullptr) continue;
        EXPECT_EQ(GetFileAttributesW(c.path), FILE_ATTRIBUTE_ARCHIVE);
        const HANDLE h = CreateFileW(c.path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        char bytes[64] = {};
        DWORD n = 0;
        EXPECT_TRUE(ReadFile(h, bytes, sizeof bytes - 1, &n, nullptr));
        CloseHandle(h);
        EXPECT_STREQ(bytes, c.bytes);
    }
    CINIFile ini;
    ASSERT_TRUE(ini.LoadIni(L"\\dIR\\settings.INI"));
    EXPECT_EQ(ini.GetStringValue(L"s", L"k", L""), L"old");

    // Writing under another spelling opens the entry there is, never makes a second one.
    for (const wchar_t* path : {L"\\DIR\\SETTINGS.ini", L"\\two\\NAME.TXT"}) {
        const HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        CloseHandle(h);
    }
    EXPECT_EQ(Read("\\Dir\\Settings.ini"), "");
    EXPECT_EQ(Read("\\two\\Name.txt"), "");
    EXPECT_EQ(Read("\\two\\name.txt"), "lower");
    ASSERT_TRUE(ini.SaveIni(L"\\dir\\settings.ini"));
    EXPECT_EQ(Read("\\Dir\\Settings.ini"), "[s]\nk=old\n\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(Host("\\Dir")), {}), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(Host("\\two")), {}), 2);
}

// Fault: a FIFO opened as a file, so a load, copy or save waits for ever on it
TEST_P(Fence, FifosAreRefusedAtOnce) {
    Plant();
    ASSERT_EQ(mkfifo(Host("\\fifo").c_str(), 0666), 0);
    fs::create_symlink("fifo", Host("\\fifolink"));
    Write("\\withfifo\\a.txt");
    ASSERT_EQ(mkfifo(Host("\\withfifo\\b").c_str(), 0666), 0);
    // Opened as a file, a FIFO without a writer would wait for ever: the alarm ends the run.
    const auto previous = std::signal(SIGALRM, StuckOnFifo);
    alarm(30);
    for (const wchar_t* p : {L"\\fifo", L"\\FIFO", L"\\fifolink"}) {
        SCOPED_TRACE(Utf8(p));
        CINIFile ini;
        EXPECT_FALSE(ini.LoadIni(p));
        EXPECT_FALSE(ini.SaveIni(p));
        EXPECT_FALSE(CopyFileW(p, L"\\copy.txt", FALSE));
        EXPECT_FALSE(CopyFileW(L"\\src.txt", p, FALSE));
        EXPECT_FALSE(CFileMapping().LoadFile(p));
        EXPECT_FALSE(Opened(_wfopen(p, L"r")));
        EXPECT_FALSE(Opened(_wfopen(p, L"w")));
        const HANDLE h = CreateFileW(p, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    EXPECT_EQ(FileFuncsEx::CopyDirectory(L"\\withfifo", L"\\copied", 1), 0);
    alarm(0);
    std::signal(SIGALRM, previous);
    EXPECT_TRUE(fs::is_fifo(Host("\\fifo")));
    EXPECT_FALSE(Exists("\\copy.txt"));
}
