#include "fieldkit/files/directory_tree.h"

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/support/device_root.h"

namespace {

using namespace FileFuncsEx;
namespace fs = std::filesystem;

class DirectoryTree : public DeviceRootTest {
  protected:
    void Age(const std::string& path, int hours) const {
        fs::last_write_time(Host(path),
                            fs::last_write_time(Host(path)) - std::chrono::hours(hours));
    }
    std::wstring Names(const CArray<WIN32_FIND_DATAW, WIN32_FIND_DATAW&>& found) const {
        std::wstring names;
        for (const WIN32_FIND_DATAW& e : found)
            names += std::wstring(e.cFileName) + L" ";
        return names;
    }
};

// Fault: a size of all ones reported as a failure; a folder listed among the files
TEST_F(DirectoryTree, SizesListsAndCounts) {
    Write("\\big", "12345");
    unsigned long low = 7, high = 7;
    EXPECT_TRUE(GetPathSize(L"\\big", low, &high) && low == 5 && high == 0);
    fs::resize_file(Host("\\big"), 0xFFFFFFFFull);  // all ones is a size, not a failure
    EXPECT_TRUE(GetPathSize(L"\\big", low, nullptr) && low == 0xFFFFFFFFul);
    low = high = 7;
    EXPECT_FALSE(GetPathSize(L"\\nil", low, &high));
    EXPECT_EQ(low + high, 14u);

    for (const char* file : {"\\d\\a.txt", "\\d\\b.TXT", "\\d\\c.bin"})
        Write(file);
    MakeDir("\\d\\sub.txt");
    CArray<WIN32_FIND_DATAW, WIN32_FIND_DATAW&> found;
    FindAllFilesInFolder(found, FindFiles, L"\\d", L".txt");
    EXPECT_EQ(Names(found), L"a.txt b.TXT ");
    FindAllFilesInFolder(found, FindFolders, L"\\d", nullptr);
    EXPECT_EQ(Names(found), L"sub.txt ");
    FindAllFilesInFolder(found, FindFilesAndFolders, L"\\nil", nullptr);
    EXPECT_TRUE(found.IsEmpty());
    EXPECT_EQ(CountFiles(L"\\d"), 4u);
    EXPECT_EQ(CountFiles(L"\\d\\sub.txt") + CountFiles(L"\\nil"), 0u);
}

// Fault: an existing file overwritten when not asked; a newer target replaced by an older file
TEST_F(DirectoryTree, CopiesFiles) {
    Write("\\src", "new");
    Write("\\dst", "old");
    EXPECT_TRUE(CopyFromTo(L"\\src", L"\\dst", 0) == 1 && Read("\\dst") == "old");
    EXPECT_TRUE(CopyFromTo(L"\\src", L"\\dst", 1) == 1 && Read("\\dst") == "new");

    Write("\\dst", "same age");
    fs::last_write_time(Host("\\dst"), fs::last_write_time(Host("\\src")));
    EXPECT_EQ(CopyFromToCheckDate(L"\\src", L"\\dst"), 1);
    Age("\\src", 2);
    EXPECT_TRUE(CopyFromToCheckDate(L"\\src", L"\\dst") == 1 && Read("\\dst") == "same age");
    Age("\\dst", 4);
    EXPECT_TRUE(CopyFromToCheckDate(L"\\src", L"\\dst") == 1 && Read("\\dst") == "new");
    EXPECT_EQ(CopyFromToCheckDate(L"\\src", L"\\dst2"), 1);
    EXPECT_EQ(CopyFromToCheckDate(L"\\nil", L"\\dst"), 0);
    // A source whose time can't be read (a folder) was not copied: no success.
    MakeDir("\\folder");
    EXPECT_EQ(CopyFromToCheckDate(L"\\folder", L"\\dst"), 0);
}

// Fault: a copy into itself or through a link; removing a link removing what it names
TEST_F(DirectoryTree, CopiesFolders) {
    Write("\\from\\a.txt", "a");
    Write("\\from\\sub\\b.txt", "b");
    MakeDir("\\from\\sub\\empty");
    MakeDir("\\none");
    EXPECT_EQ(CopyDirectory(L"\\from", L"\\deep", 1), 1);
    EXPECT_TRUE(Read("\\deep\\sub\\b.txt") == "b" && Exists("\\deep\\sub\\empty"));
    EXPECT_EQ(CopyDirectory(L"\\from", L"\\flat", 0), 1);
    EXPECT_TRUE(Read("\\flat\\a.txt") == "a" && !Exists("\\flat\\sub"));
    EXPECT_TRUE(CopyDirectory(L"\\none", L"\\none2", 1) == 1 && Exists("\\none2"));
    // Into itself would copy files onto themselves (the fence tests spell it many more ways).
    EXPECT_EQ(CopyDirectory(L"\\from\\", L"/from", 1), 0);
    // A walk starts at a link itself, never where it points: no copy from it or into it, and
    // removing it removes the link alone.
    fs::create_directory_symlink("from", Host("\\lnk"));
    fs::create_directory_symlink("none", Host("\\lnk2"));
    EXPECT_EQ(CopyDirectory(L"\\lnk", L"\\viaLink", 1), 0);
    EXPECT_EQ(CopyDirectory(L"\\from", L"\\lnk2", 1), 0);
    EXPECT_EQ(RemoveDirectoryTree(L"\\lnk"), 1);
    EXPECT_TRUE(!Exists("\\viaLink") && fs::is_empty(Host("\\none")) && !Exists("\\lnk"));
    EXPECT_EQ(Read("\\from\\a.txt"), "a");
}

// Fault: a read-only file stopping a tree's removal; a file taken for the folder asked for
TEST_F(DirectoryTree, CreatesChainsRemovesTreesAndNothingElse) {
    Write("\\t\\sub\\ro.txt");
    fs::permissions(Host("\\t\\sub\\ro.txt"), fs::perms::owner_read);
    MakeDir("\\t\\sub\\empty");
    Write("\\keep.txt");
    MakeDir("\\e");
    EXPECT_EQ(RemoveDirectoryTree(L"\\t"), 1);
    EXPECT_EQ(RemoveDirectoryTree(L"\\e"), 1);
    EXPECT_FALSE(Exists("\\t") || Exists("\\e"));
    // Not a file, nor the device root (""). Links inside a tree are fence tests.
    for (const wchar_t* no : {L"\\nil", L"\\keep.txt", L""})
        EXPECT_EQ(RemoveDirectoryTree(no), 0) << no;
    EXPECT_TRUE(Exists("\\keep.txt"));

    EXPECT_EQ(CreateDirectoryTree(L"\\A\\B\\C"), 1);
    EXPECT_EQ(CreateDirectoryTree(L"/A/B\\D"), 1);
    EXPECT_TRUE(fs::is_directory(Host("\\A\\B\\C")) && fs::is_directory(Host("\\A\\B\\D")));
    Write("\\X\\B");
    EXPECT_EQ(CreateDirectoryTree(L"\\X\\B\\C"), 0);
    EXPECT_EQ(CreateDirectoryTree(L"\\X\\B"), 0);  // a file is not the folder asked for
}

// Fault: "..." or ".a" taken for a dots entry; a missing path taken for a flash card
TEST_F(DirectoryTree, NamesAndMedia) {
    for (const wchar_t* dots : {L".", L".."})
        EXPECT_EQ(IsDots(dots), 1);
    for (const wchar_t* no : {L"...", L".a", L"", L"a"})
        EXPECT_EQ(IsDots(no), 0);
    Write("\\Card\\Jobs\\a.txt");
    EXPECT_EQ(IsPathOnFlashCard(L"\\Card\\Jobs\\a.txt"), 0);  // the test machine's own disk
    EXPECT_EQ(IsPathOnFlashCard(L"\\Nil\\a.txt"), 0);
}

}  // namespace
