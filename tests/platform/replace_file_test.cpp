// Whole files replaced in one step, driven directly: a save's new version beside the target, the
// sweep of what killed saves left, and the copies a tree walk holds back to put in place together.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fieldkit/platform/files.h"
#include "fieldkit/platform/handles.h"
#include "tests/support/device_root.h"

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
    static void Put(HANDLE file, const std::string& bytes) {
        DWORD written = 0;
        ASSERT_TRUE(
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    }
};

using Names = std::vector<std::string>;

// The new version takes the old file's mode and hidden mark; until the commit the target is
// untouched, and a replacement closed without one leaves nothing behind.
TEST_F(ReplaceFile, SaveKeepsModeAndHiddenMarkAndAnAbortLeavesNothing) {
    Write("\\s.ini", "old");
    ASSERT_EQ(chmod(Host("\\s.ini").c_str(), 0640), 0);
    ASSERT_TRUE(SetFileAttributesW(L"\\s.ini", FILE_ATTRIBUTE_HIDDEN));
    const bool marks = (GetFileAttributesW(L"\\s.ini") & FILE_ATTRIBUTE_HIDDEN) != 0;
    HANDLE save = fieldkit::detail::BeginReplaceFile(L"\\s.ini");
    ASSERT_NE(save, INVALID_HANDLE_VALUE);
    Put(save, "new");
    EXPECT_EQ(Read("\\s.ini"), "old");
    EXPECT_TRUE(fieldkit::detail::CommitReplaceFile(save));
    EXPECT_TRUE(CloseHandle(save));
    EXPECT_EQ(Read("\\s.ini"), "new");
    struct stat st {};
    ASSERT_EQ(stat(Host("\\s.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (marks) {
        EXPECT_NE(GetFileAttributesW(L"\\s.ini") & FILE_ATTRIBUTE_HIDDEN, 0u);
    }

    save = fieldkit::detail::BeginReplaceFile(L"\\s.ini");
    ASSERT_NE(save, INVALID_HANDLE_VALUE);
    Put(save, "lost");
    EXPECT_TRUE(CloseHandle(save));
    EXPECT_EQ(Read("\\s.ini"), "new");
    EXPECT_EQ(Listed("\\"), Names{"s.ini"});
}

// A temporary nobody holds is a killed save's leftover and is swept; one a running save holds
// is not: the second save takes the next slot, both commit, the last commit wins.
TEST_F(ReplaceFile, LeftoversAreSweptRunningSavesAreNot) {
    Write("\\s.ini", "old");
    Write("\\s.ini.0.tmp~", "left by a killed save");
    const HANDLE first = fieldkit::detail::BeginReplaceFile(L"\\s.ini");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read("\\s.ini.0.tmp~"), "");  // the slot is the first save's new file now
    const HANDLE second = fieldkit::detail::BeginReplaceFile(L"\\s.ini");
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Listed("\\"), (Names{"s.ini", "s.ini.0.tmp~", "s.ini.1.tmp~"}));
    Put(first, "first");
    Put(second, "second");
    EXPECT_TRUE(fieldkit::detail::CommitReplaceFile(second));
    EXPECT_TRUE(fieldkit::detail::CommitReplaceFile(first));
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_EQ(Read("\\s.ini"), "first");
    EXPECT_EQ(Listed("\\"), Names{"s.ini"});
}

// Copies over older files in a folder that holds its replacements wait for
// PutReplacementsInPlace; a new name is taken at once; what is still held at the close is
// dropped, its target left as it was.
TEST_F(ReplaceFile, HeldCopiesGoInPlaceTogetherOrNotAtAll) {
    Write("\\from\\a", "new a");
    Write("\\from\\b", "new b");
    Write("\\to\\a", "old a");
    Write("\\to\\b", "old b");
    fieldkit::detail::DeviceFolder root;
    fieldkit::detail::DeviceFolder from;
    fieldkit::detail::DeviceFolder to;
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
    to = fieldkit::detail::DeviceFolder();
    EXPECT_EQ(Read("\\to\\a"), "new a");
    EXPECT_EQ(Listed("\\to"), (Names{"a", "b", "c"}));
}
