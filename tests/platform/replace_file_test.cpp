// Whole files replaced in one step, driven directly: a save's new version beside the target, the
// sweep of what killed saves left, and the copies a tree walk holds back to put in place together.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/handles.h"
#include "tests/support/device_root.h"

using fieldkit::detail::BeginReplaceFile;
using fieldkit::detail::CommitReplaceFile;
using fieldkit::detail::DeviceFolder;

class ReplaceFile : public DeviceRootTest {
  protected:
    // The names in a host folder, sorted.
    std::vector<std::string> Listed(const std::string& devicePath) const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Host(devicePath)))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A replacement of `path` begun and given `bytes`, not committed yet.
    static HANDLE Begin(const wchar_t* path, const std::string& bytes) {
        const HANDLE file = BeginReplaceFile(path);
        DWORD written = 0;
        EXPECT_TRUE(
            file != INVALID_HANDLE_VALUE &&
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        return file;
    }
};

using Names = std::vector<std::string>;

// The new version takes the old file's mode and hidden mark; until the commit the target is
// untouched, and a replacement closed without one leaves nothing behind.
// Fault: a save's new file keeps the temporary's mode, or an abandoned save leaves its temporary
TEST_F(ReplaceFile, SaveKeepsModeAndHiddenMarkAndAnAbortLeavesNothing) {
    Write("\\s.ini", "old");
    ASSERT_EQ(chmod(Host("\\s.ini").c_str(), 0640), 0);
    ASSERT_TRUE(SetFileAttributesW(L"\\s.ini", FILE_ATTRIBUTE_HIDDEN));
    const bool marks = (GetFileAttributesW(L"\\s.ini") & FILE_ATTRIBUTE_HIDDEN) != 0;
    HANDLE save = Begin(L"\\s.ini", "new");
    EXPECT_EQ(Read("\\s.ini"), "old");
    EXPECT_TRUE(CommitReplaceFile(save));
    EXPECT_TRUE(CloseHandle(save));
    EXPECT_EQ(Read("\\s.ini"), "new");
    struct stat st {};
    ASSERT_EQ(stat(Host("\\s.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (marks) {
        EXPECT_NE(GetFileAttributesW(L"\\s.ini") & FILE_ATTRIBUTE_HIDDEN, 0u);
    }

    save = Begin(L"\\s.ini", "lost");
    EXPECT_TRUE(CloseHandle(save));
    EXPECT_EQ(Read("\\s.ini"), "new");
    EXPECT_EQ(Listed("\\"), Names{"s.ini"});
}

// A temporary nobody holds is a killed save's leftover and is swept; one a running save holds
// is not: the second save takes the next slot, both commit, the last commit wins.
// Fault: the sweep removes the temporary of a save still running, so its commit fails
TEST_F(ReplaceFile, LeftoversAreSweptRunningSavesAreNot) {
    Write("\\s.ini", "old");
    Write("\\s.ini.0.tmp~", "left by a killed save");
    const HANDLE first = Begin(L"\\s.ini", "first");
    EXPECT_EQ(Read("\\s.ini.0.tmp~"), "first");  // the slot is the first save's new file now
    const HANDLE second = Begin(L"\\s.ini", "second");
    EXPECT_EQ(Listed("\\"), (Names{"s.ini", "s.ini.0.tmp~", "s.ini.1.tmp~"}));
    EXPECT_TRUE(CommitReplaceFile(second));
    EXPECT_TRUE(CommitReplaceFile(first));
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_EQ(Read("\\s.ini"), "first");
    EXPECT_EQ(Listed("\\"), Names{"s.ini"});
}

// Copies over older files in a folder that holds its replacements wait for
// PutReplacementsInPlace; a new name is taken at once; what is still held at the close is
// dropped, its target left as it was.
// Fault: a held copy replaces its target before PutReplacementsInPlace, or still at the close
TEST_F(ReplaceFile, HeldCopiesGoInPlaceTogetherOrNotAtAll) {
    Write("\\from\\a", "new a");
    Write("\\from\\b", "new b");
    Write("\\to\\a", "old a");
    Write("\\to\\b", "old b");
    DeviceFolder root, from, to;
    std::wstring name;
    ASSERT_TRUE(root.OpenParent(L"\\from", name));
    ASSERT_TRUE(from.OpenSub(root, L"from"));
    ASSERT_TRUE(to.OpenSub(root, L"to"));
    to.HoldReplacements();
    EXPECT_TRUE(from.CopyEntry(L"a", to));
    EXPECT_TRUE(from.CopyEntry(L"b", to));
    Write("\\from\\c", "c");
    EXPECT_TRUE(from.CopyEntry(L"c", to));
    EXPECT_EQ(Read("\\to\\a") + Read("\\to\\b") + Read("\\to\\c"), "old aold bc");
    EXPECT_TRUE(to.PutReplacementsInPlace());
    EXPECT_EQ(Read("\\to\\a") + Read("\\to\\b"), "new anew b");

    Write("\\from\\a", "newer a");
    to.HoldReplacements();
    EXPECT_TRUE(from.CopyEntry(L"a", to));
    to = DeviceFolder();
    EXPECT_EQ(Read("\\to\\a"), "new a");
    EXPECT_EQ(Listed("\\to"), (Names{"a", "b", "c"}));
}
