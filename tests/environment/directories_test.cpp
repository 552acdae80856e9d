#include "fieldkit/environment/directories.h"

#include <string>
#include <utility>

#include "fieldkit/environment/app_info.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/platform/registry.h"
#include "tests/support/device_root.h"

namespace {

class DirectoriesTest : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        knobs_.ModuleFileName(L"\\SD Card\\Survey\\Survey.exe");
    }
    static void Identify() { SetAPPInfo(L"Survey", L"Survey", 1, TVersionInfo()); }
    // The key that marks a device with a mounted volume.
    static constexpr const wchar_t* kOrvKey = L"System\\ORV\\Version";
    static void CreateOrvKey() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kOrvKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  0);
        RegCloseKey(key);
    }
};

// Fault: a program in the root folder given a root storage folder of "\\"
TEST_F(DirectoriesTest, DefaultLayoutAndProgramInTheRootFolder) {
    EXPECT_EQ(GetTempDir(), L"\\temp");  // needs no identity
    EXPECT_TRUE(std::filesystem::is_directory(Host("\\temp")));
    Identify();
    // The data, common and root folders without a directories.ini are the overrides' defaults.
    EXPECT_EQ(GetApplicationPath(), L"\\SD Card\\Survey\\Survey.exe");
    EXPECT_EQ(GetBackgroundDir(), L"\\SD Card\\Survey Data\\Background\\");

    // A program in the root folder.
    fieldkit::host::ResetProcessState();
    knobs_.ModuleFileName(L"\\Survey.exe");
    Write("\\directories.ini", "[Directories]\nRootDir=\\Programs\n");
    Identify();
    EXPECT_EQ(GetDataDir() + L"|" + GetCommonDir() + L"|" + DetectRootStorageDir(),
              L"Survey Data|Common Data|");
    EXPECT_EQ(GetRootDir(), L"\\Programs");  // directories.ini sits in the root itself
}

// Fault: a value cut at LF instead of CR; a file over 64 KiB or a folder read as overrides
TEST_F(DirectoriesTest, DirectoriesIniOverrides) {
    struct Case {
        const char* text;
        std::string bytes;
        const wchar_t *dataDir, *commonDir, *rootDir;
    };
    const wchar_t* data = L"\\SD Card\\Survey Data";
    const wchar_t* common = L"\\SD Card\\Common Data";
    const wchar_t* root = L"\\SD Card\\Survey";
    const auto padded = [](std::size_t size) {
        const std::string overrides = "[Directories]\r\nDataDir=\\D\r\n";
        return overrides + std::string(size - overrides.size(), ' ');
    };
    const Case cases[] = {
        {"CR LF", "[Directories]\r\nDataDir=\\D\r\nRootDir=\\R\r\n", L"\\D", common, L"\\R"},
        {"LF only", "[Directories]\nDataDir=\\D\nRootDir=\\R\n", L"\\D", common, L"\\R"},
        {"no line end", "[Directories]\nDataDir=\\D", L"\\D", common, root},
        {"empty value", "[Directories]\r\nDataDir=\r\n", data, common, root},
        {"blank kept", "[Directories]\r\nDataDir= \\D\\\r\n", L" \\D\\", common, root},
        {"before section", "DataDir=\\Early\n[Directories]\n", data, common, root},
        {"later section", "[Directories]\n[Other]\nDataDir=\\Late\n", L"\\Late", common, root},
        {"'=' on a later line", "[Directories]\nDataDir\n=\\X\n", data, common, root},
        {"storage moves both", "[Directories]\r\nRootStorageDir=\\Store\r\n",
         L"\\Store\\Survey Data", L"\\Store\\Common Data", root},
        {"storage with backslash", "[Directories]\nRootStorageDir=\\Store\\\n",
         L"\\Store\\Survey Data", L"\\Store\\Common Data", root},
        // A CR anywhere after the key ends the value there, across LF-only lines.
        {"first CR wins", "[Directories]\nDataDir=\\A\nRootDir=\\B\r\n", L"\\A\nRootDir=\\B",
         common, L"\\B"},
        {"BOM and UTF-8", "\xEF\xBB\xBF[Directories]\nDataDir=\\Daten \xC3\x84\n",
         L"\\Daten \u00C4", common, root},
        {"NUL ends the text", std::string("[Directories]\n\0DataDir=\\X\n", 26), data, common,
         root},
        // Up to 64 KiB the file counts; a larger one, or a folder, is no directories.ini.
        {"64 KiB", padded(65536), L"\\D", common, root},
        {"larger", padded(65537), data, common, root},
        {"a folder", "", data, common, root},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        fieldkit::host::ResetProcessState();
        if (c.bytes.empty()) {
            std::filesystem::remove(Host("\\SD Card\\directories.ini"));
            MakeDir("\\SD Card\\directories.ini");
        } else {
            Write("\\SD Card\\directories.ini", c.bytes);
        }
        Identify();
        EXPECT_EQ(GetDataDir() + L"|" + GetCommonDir() + L"|" + GetRootDir(),
                  CString(c.dataDir) + L"|" + c.commonDir + L"|" + c.rootDir);
        // The file's own location never follows an override.
        EXPECT_EQ(DetectRootStorageDir() + L"|" + GetRootStorageFileName(),
                  L"\\SD Card|\\SD Card\\directories.ini");
    }
}

// The registry key that marks such a device is asked once per process.
// Fault: the device's registry key asked again, or GeoData beside the program losing to it
TEST_F(DirectoriesTest, GeodeticDataLocations) {
    Identify();
    EXPECT_EQ(GetGeoidDir(), L"\\SD Card\\Survey\\Geoids\\");
    EXPECT_EQ(GetCoordinateSystemDataBaseFileName(), L"\\SD Card\\Survey\\crs.db3");
    ASSERT_NO_FATAL_FAILURE(CreateOrvKey());
    EXPECT_EQ(GetGeoidDir(), L"\\SD Card\\Survey\\Geoids\\");  // the kept answer

    fieldkit::host::ResetProcessState();  // forgets the key too
    ASSERT_NO_FATAL_FAILURE(CreateOrvKey());
    Identify();
    const CString mounted = L"\\Mounted Volume\\GeoData\\CoordinateSystemDB.db3";
    EXPECT_EQ(GetGeoidDir(), L"\\Mounted Volume\\GeoData\\");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kOrvKey);
    EXPECT_EQ(GetCoordinateSystemDataBaseFileName(), mounted);  // the kept answer

    // GeoData beside the program's folder wins even on such a device; each is looked up alone.
    MakeDir("\\SD Card\\GeoData");
    EXPECT_EQ(GetGeoidDir(), L"\\SD Card\\GeoData\\");
    EXPECT_EQ(GetCoordinateSystemDataBaseFileName(), mounted);
    Write("\\SD Card\\GeoData\\CoordinateSystemDB.db3");
    EXPECT_EQ(GetCoordinateSystemDataBaseFileName(), L"\\SD Card\\GeoData\\CoordinateSystemDB.db3");
}

}  // namespace
