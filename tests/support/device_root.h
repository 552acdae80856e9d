// A fresh, empty device root in a temporary host folder for one test, and helpers to put
// files into it (with GoogleTest and its printer for CString). The library's process-wide state is
// reset before and after; the knobs the test turns through knobs_ are put back after TearDown.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fieldkit/platform/host.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/host_knobs.h"
#include "tests/support/host_path.h"

class DeviceRootTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fieldkit-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        knobs_.DeviceRoot(root_);
        fieldkit::host::ResetProcessState();
    }
    void TearDown() override {
        fieldkit::host::ResetProcessState();
        std::error_code ignored;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(root_, ignored);
    }

    // The host path of a device path ("\a\b.txt" -> <root>/a/b.txt).
    std::filesystem::path Host(const std::string& devicePath) const {
        return HostPathUnder(root_, devicePath);
    }
    // Writes a file (and its folders) at a device path.
    void Write(const std::string& devicePath, const std::string& bytes = "x") const {
        const std::filesystem::path p = Host(devicePath);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    void MakeDir(const std::string& devicePath) const {
        std::filesystem::create_directories(Host(devicePath));
    }
    std::string Read(const std::string& devicePath) const {
        std::ifstream in(Host(devicePath), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& devicePath) const {
        return std::filesystem::exists(Host(devicePath));
    }

    HostKnobs knobs_;
    std::string root_;
};
