// Where a device path lives on the host under a given device root ("\a\b.txt" ->
// <root>/a/b.txt). Shared by the tests and the fuzz targets, which set up roots of their own.
#pragma once

#include <filesystem>
#include <string>

inline std::filesystem::path HostPathUnder(const std::filesystem::path& root,
                                           std::string devicePath) {
    for (char& c : devicePath) {
        if (c == '\\') c = '/';
    }
    const std::size_t start = devicePath.find_first_not_of('/');
    return root / (start == std::string::npos ? std::string() : devicePath.substr(start));
}
