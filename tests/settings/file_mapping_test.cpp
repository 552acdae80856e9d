#include "fieldkit/settings/file_mapping.h"

#include <string>
#include <utility>

#include "tests/support/device_root.h"

namespace {

using FileMappingTest = DeviceRootTest;

// Fault: a path holding "%s" used as a format in the message, or an empty save empties a file
TEST_F(FileMappingTest, FailuresKeepTheirMessage) {
    Write("\\empty.txt", "");
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"\\missing.txt", L"Cannot open \"\\missing.txt\" file."},
        {L"\\50%s%d.txt", L"Cannot open \"\\50%s%d.txt\" file."},  // "%" is text here
        {L"\\empty.txt", L"Cannot create mapping file."},
    };
    for (const auto& [path, message] : cases) {
        CFileMapping map(path);  // releases everything, keeps the reason
        EXPECT_TRUE(!map.IsLoaded() && static_cast<char*>(map) == nullptr);
        EXPECT_EQ(map.GetLastMappingError(), message);
    }
    CFileMapping map;
    // Zero bytes cannot be mapped: the save fails and an old file stays as it was.
    EXPECT_FALSE(map.SaveFile(L"\\e.txt", L"") || Exists("\\e.txt"));
    EXPECT_EQ(map.GetLastMappingError(), L"Cannot create mapping file.");
    Write("\\old.txt", "kept");
    EXPECT_FALSE(map.SaveFile(L"\\old.txt", "", 0));
    map.UnmapFile();
    EXPECT_EQ(Read("\\old.txt"), "kept");
    EXPECT_FALSE(map.SaveFile(L"\\no\\dir.txt", "ab", 2));
    EXPECT_EQ(map.GetLastMappingError(), L"Cannot create the file. \\no\\dir.txt");
    EXPECT_FALSE(map.SaveFile(L"\\n.txt", nullptr, 3) || Exists("\\n.txt"));
    map.UnmapFile();  // back to the reset state: the message goes too
    EXPECT_TRUE(map.GetLastMappingError().IsEmpty());
}

// Fault: GetMapAsStringEx reads the bytes as Windows-1252, or the text runs on past an embedded NUL
TEST_F(FileMappingTest, LoadedBytesAsText) {
    const struct {
        std::string bytes;
        const wchar_t *utf8, *ansi;
    } cases[] = {
        {"\xD0\x94\xD0\xB0", L"\u0414\u0430", L"\u00D0\u201D\u00D0\u00B0"},  // Cyrillic "Да"
        {"\xEF\xBB\xBFx", L"\uFEFFx", L"\u00EF\u00BB\u00BFx"},
        {std::string("ab\0cd", 5), L"ab", L"ab"},
    };
    CFileMapping map;
    for (const auto& c : cases) {
        Write("\\t.txt", c.bytes);
        ASSERT_TRUE(map.LoadFile(L"\\t.txt"));
        EXPECT_EQ(map.GetFileLength(), c.bytes.size());
        EXPECT_EQ(std::string(static_cast<char*>(map), c.bytes.size()), c.bytes);
        EXPECT_EQ(map.GetMapAsStringEx() + L"|" + map.GetMapAsString(),
                  CString(c.utf8) + L"|" + c.ansi);
    }
    // An empty text is refused before anything held is released.
    EXPECT_FALSE(map.SaveFileW(L"\\w.txt", CString()) || Exists("\\w.txt"));
    EXPECT_TRUE(map.IsLoaded() && map.GetFileLength() == 5);
    map.UnmapFile();
    EXPECT_TRUE(map.GetFileLength() == 0 && map.GetMapAsString().IsEmpty());
}

// Fault: changes through the view lost when the file is released, or UTF-16 saved instead of UTF-8
TEST_F(FileMappingTest, SavedBytesReachTheFileOnRelease) {
    Write("\\out.bin", "a longer file that the save replaces");
    CFileMapping map;
    ASSERT_TRUE(map.SaveFile(L"\\out.bin", "x\0y\xFF", 4));
    EXPECT_TRUE(map.GetFileLength() == 4 && !map.IsLoaded());
    static_cast<char*>(map)[0] = 'z';  // still changeable through the view
    map.UnmapFile();
    EXPECT_EQ(Read("\\out.bin"), std::string("z\0y\xFF", 4));
    ASSERT_TRUE(map.LoadFile(L"\\out.bin"));  // a loaded file saved from its own view
    ASSERT_TRUE(map.SaveFile(L"\\copy.bin", map, map.GetFileLength()));
    map.UnmapFile();
    EXPECT_EQ(Read("\\copy.bin"), std::string("z\0y\xFF", 4));

    ASSERT_TRUE(map.SaveFile(L"\\t.xml", L"\u0414\u0430 <x>"));
    ASSERT_TRUE(map.LoadFile(L"\\t.xml"));  // releases the save
    EXPECT_EQ(Read("\\t.xml"), "\xD0\x94\xD0\xB0 <x>");
    // Three UTF-8 bytes per unit: more than twice the units, saved all the same.
    ASSERT_TRUE(map.SaveFileW(L"\\t.xml", CString(L"\u65E5\u672C")));
    map.UnmapFile();
    EXPECT_EQ(Read("\\t.xml"), "\xE6\x97\xA5\xE6\x9C\xAC");
}

}  // namespace
