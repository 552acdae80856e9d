// Copying a file's bytes, times and mode into a new version of its target, and a link as a link.
// On its own as CopyFileW and the tree walks share it; the replacement puts each copy in place.
#include "fieldkit/platform/detail/file_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/device_root.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/replace_file.h"

namespace fieldkit::detail {
namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Copies the rest of one file into another, in the kernel where it can.
bool CopyData(int in, int out) {
    bool inKernel = true;
    std::vector<char> buffer;
    for (;;) {
        if (inKernel) {
            const ssize_t n = copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
            if (n > 0) continue;
            if (n == 0) return true;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != ETXTBSY) {
                return false;
            }
            inKernel = false;
            // Failures here are told through errno, so that every caller removes what it
            // half copied.
            if (!NoThrow([&] { buffer.resize(1 << 16); })) {
                errno = ENOMEM;
                return false;
            }
        }
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) return false;
    }
}

bool CopyTimes(int out, const struct stat& from) {
    const struct timespec times[2] = {from.st_atim, from.st_mtim};
    return futimens(out, times) == 0;
}

}  // namespace

BOOL CopyOpenFile(int in, const struct stat& source, int folder, const std::string& name,
                  bool exists, const struct stat& old, bool failIfExists, HeldReplacements* hold) {
    if (exists) {
        if (failIfExists) return FailWith(FALSE, ERROR_FILE_EXISTS);
        // Copying a file onto itself would read what it is overwriting.
        if (old.st_dev == source.st_dev && old.st_ino == source.st_ino) {
            return FailWith(FALSE, ERROR_ACCESS_DENIED);
        }
    }
    auto replacement = std::make_unique<Replacement>();
    if (!replacement->Begin(folder, name, exists, old, false, !failIfExists) ||
        !CopyData(in, replacement->Fd()) || !CopyTimes(replacement->Fd(), source)) {
        return Fail(FALSE);
    }
    replacement->SetMode(source.st_mode & 07777);
    // New files are not flushed one by one, as a file written in place would not be.
    const bool done = !exists           ? replacement->Install(false)
                      : hold != nullptr ? hold->Add(std::move(replacement))
                                        : replacement->Commit(false);
    if (done) return TRUE;
    return errno == EEXIST ? FailWith(FALSE, ERROR_FILE_EXISTS) : Fail(FALSE);
}

BOOL CopyLinkAt(int from, const std::string& name, int to, const std::string& target) {
    char text[4096];
    const ssize_t n = readlinkat(from, name.c_str(), text, sizeof text - 1);
    if (n < 0) return Fail(FALSE);
    text[n] = '\0';
    for (int attempt = 0; attempt < 32; ++attempt) {
        const std::string temp = RandomName(target);
        if (symlinkat(text, to, temp.c_str()) != 0) {
            if (errno == EEXIST) continue;
            return Fail(FALSE);
        }
        if (renameat(to, temp.c_str(), to, target.c_str()) != 0) {
            const int error = errno;
            unlinkat(to, temp.c_str(), 0);
            return Fail(FALSE, error);
        }
        return TRUE;
    }
    return FailWith(FALSE, ERROR_ALREADY_EXISTS);
}

}  // namespace fieldkit::detail
