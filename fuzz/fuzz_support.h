// Shared pieces of the fuzz targets: one temporary device root per process, files written into
// it, text made from the input bytes, and a check that stops the run with a message.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fieldkit/platform/host.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/cstring.h"
#include "tests/support/host_path.h"

// A broken invariant is a finding: print it and abort, so libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (false)

// The entry point libFuzzer calls; each target defines it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzz {

inline std::string Bytes(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

inline CString Text(std::string_view bytes) {
    return CString(fieldkit::Utf8ToWide(bytes));
}

// Inputs that begin with a byte of 0xF8 or above (never in UTF-8 text) ask for padding: the
// second byte places the rest of the input within 128 bytes either side of `block`, where the
// readers' buffers end. Takes those two bytes off the input and returns the padding length, 0
// for any other input.
inline std::size_t TakePadding(const std::uint8_t*& data, std::size_t& size, std::size_t block) {
    if (size < 2 || data[0] < 0xF8) return 0;
    const std::size_t pad = block - 128 + data[1];
    data += 2;
    size -= 2;
    return pad;
}

// The device root, made once per process under /dev/shm when there is one (the savers flush
// every file; memory makes that cheap), else the system's temporary folder, and removed at exit.
class DeviceRoot {
  public:
    static DeviceRoot& Get() {
        static DeviceRoot root;
        return root;
    }

    const std::string& HostFolder() const { return m_folder; }

    // Replaces the file at a device path ("\a\b.txt") with the bytes; its folders are made.
    void Write(const std::string& devicePath, std::string_view bytes) const {
        const std::filesystem::path p = Host(devicePath);
        std::error_code ignored;
        std::filesystem::create_directories(p.parent_path(), ignored);
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "fuzz: cannot write %s\n", p.c_str());
            std::abort();
        }
    }

    std::filesystem::path Host(const std::string& devicePath) const {
        return HostPathUnder(m_folder, devicePath);
    }

    DeviceRoot(const DeviceRoot&) = delete;
    DeviceRoot& operator=(const DeviceRoot&) = delete;

  private:
    static constexpr std::size_t kMaxFolder = 4096;

    DeviceRoot() {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec) || access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        std::string pattern = (base / "fieldkit-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("fuzz: mkdtemp");
            std::abort();
        }
        m_folder = pattern;
        fieldkit::host::SetDeviceRoot(m_folder);
        // Kept apart from the object, which is destroyed before the exit handler runs.
        if (m_folder.size() < kMaxFolder) {
            m_folder.copy(RemoveAtExit(), m_folder.size());
            std::atexit(&Remove);
        }
    }

    static char* RemoveAtExit() {
        static char folder[kMaxFolder] = {};
        return folder;
    }

    static void Remove() {
        std::error_code ignored;
        std::filesystem::remove_all(RemoveAtExit(), ignored);
    }

    std::string m_folder;
};

}  // namespace fuzz
