// Open files behind handles: CreateFileW and the calls on its handle, and file mappings with their
// views. Apart from the calls by path, as everything here works on a descriptor already open.
#include "fieldkit/platform/file_system.h"

#include "fieldkit/platform/detail/locks.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>

#include "fieldkit/platform/detail/device_root.h"
#include "fieldkit/platform/detail/file_calls.h"
#include "fieldkit/platform/detail/handle_table.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"

using fieldkit::detail::Fail;
using fieldkit::detail::FailWith;
using fieldkit::detail::File;
using fieldkit::detail::FindHandle;
using fieldkit::detail::NoThrow;
using fieldkit::detail::OpenDevicePath;
using fieldkit::detail::StatFd;
using fieldkit::detail::ToFileTime;

HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation,
                   DWORD, HANDLE) {
    if (path == nullptr || *path == L'\0') {
        return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    }
    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (creation) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            if (!write) return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
            flags |= O_TRUNC;
            break;
        default:
            return FailWith(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
    }
    return NoThrow(INVALID_HANDLE_VALUE, ERROR_NOT_ENOUGH_MEMORY, [&] {
        // Handle and object first: once the file is created or emptied nothing may fail.
        fieldkit::detail::HandleReservation handle;
        auto file = std::make_shared<File>(-1);
        bool created = false;
        file->fd = OpenDevicePath(path, flags, 0666, &created);
        if (file->fd < 0) return Fail(INVALID_HANDLE_VALUE);
        // As on Win32, the "always" dispositions report an existing file through the last error.
        SetLastError(!created && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS)
                         ? ERROR_ALREADY_EXISTS
                         : ERROR_SUCCESS);
        return handle.Fill(std::move(file));
    });
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD toRead, DWORD* got, void*) {
    const auto file = FindHandle<File>(handle);
    if (got) *got = 0;
    if (file == nullptr) return FailWith(FALSE, ERROR_INVALID_HANDLE);
    if (buffer == nullptr && toRead > 0) return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    DWORD total = 0;
    while (total < toRead) {
        const ssize_t n = read(file->fd, static_cast<char*>(buffer) + total, toRead - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(FALSE);
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (got) *got = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written, void*) {
    const auto file = FindHandle<File>(handle);
    if (written) *written = 0;
    if (file == nullptr) return FailWith(FALSE, ERROR_INVALID_HANDLE);
    if (buffer == nullptr && toWrite > 0) return FailWith(FALSE, ERROR_INVALID_PARAMETER);
    DWORD total = 0;
    while (total < toWrite) {
        const ssize_t n =
            write(file->fd, static_cast<const char*>(buffer) + total, toWrite - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (written) *written = total;
            return Fail(FALSE, n < 0 ? errno : ENOSPC);
        }
        total += static_cast<DWORD>(n);
    }
    if (written) *written = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
    const auto file = FindHandle<File>(handle);
    if (file == nullptr) return FailWith(INVALID_SET_FILE_POINTER, ERROR_INVALID_HANDLE);
    const int whence = method == FILE_BEGIN     ? SEEK_SET
                       : method == FILE_CURRENT ? SEEK_CUR
                       : method == FILE_END     ? SEEK_END
                                                : -1;
    if (whence < 0) return FailWith(INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
    const std::int64_t offset =
        distanceHigh
            ? static_cast<std::int64_t>(
                  (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                  static_cast<std::uint32_t>(distance))
            : static_cast<std::int64_t>(distance);
    const off_t at = lseek(file->fd, static_cast<off_t>(offset), whence);
    if (at < 0) return Fail(INVALID_SET_FILE_POINTER);
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(at) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<std::uint64_t>(at) & 0xFFFFFFFF);
}

BOOL GetFileTime(HANDLE handle, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    const auto file = FindHandle<File>(handle);
    if (file == nullptr) return FailWith(FALSE, ERROR_INVALID_HANDLE);
    struct statx st;
    if (!StatFd(file->fd, st)) return Fail(FALSE);
    if (creation) *creation = ToFileTime((st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_ctime);
    if (lastAccess) *lastAccess = ToFileTime(st.stx_atime);
    if (lastWrite) *lastWrite = ToFileTime(st.stx_mtime);
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* sizeHigh) {
    const auto file = FindHandle<File>(handle);
    if (file == nullptr) return FailWith(INVALID_FILE_SIZE, ERROR_INVALID_HANDLE);
    struct statx st;
    if (!StatFd(file->fd, st)) return Fail(INVALID_FILE_SIZE);
    if (sizeHigh) *sizeHigh = static_cast<DWORD>(st.stx_size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(st.stx_size & 0xFFFFFFFF);
}

namespace {

struct Mapping : fieldkit::detail::HandleObject {
    Mapping(int descriptor, std::uint64_t bytes, bool writable)
        : fd(descriptor), size(bytes), write(writable) {}
    ~Mapping() override {
        if (fd >= 0) ::close(fd);
    }
    int fd;  // a duplicate: the mapping outlives a closed file handle
    std::uint64_t size;
    bool write;
};

// Views by address, for the length munmap needs.
struct Views {
    fieldkit::detail::Mutex mutex;
    std::map<const void*, std::size_t> sizes FIELDKIT_GUARDED_BY(mutex);
    // A view is the caller's memory until UnmapViewOfFile, not an object behind a handle: it
    // stays mapped, and known so that it can still be unmapped.
    void Forget() {}
};

Views& OpenViews() {
    return fieldkit::detail::ProcessState<Views>::Get();
}

}  // namespace

HANDLE CreateFileForMappingW(const wchar_t* path, DWORD access, DWORD shareMode,
                             LPSECURITY_ATTRIBUTES security, DWORD creation, DWORD flags,
                             HANDLE templ) {
    return CreateFileW(path, access, shareMode, security, creation, flags, templ);
}

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, const wchar_t*) {
    const auto f = FindHandle<File>(file);
    if (f == nullptr) return FailWith<HANDLE>(nullptr, ERROR_INVALID_HANDLE);
    if (protect != PAGE_READONLY && protect != PAGE_READWRITE) {
        return FailWith<HANDLE>(nullptr, ERROR_INVALID_PARAMETER);
    }
    struct statx st;
    if (!StatFd(f->fd, st)) return Fail<HANDLE>(nullptr);
    std::uint64_t size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
    if (size == 0) size = st.stx_size;
    if (size == 0) return FailWith<HANDLE>(nullptr, ERROR_FILE_INVALID);  // nothing to map
    const bool write = protect == PAGE_READWRITE;
    return NoThrow<HANDLE>(nullptr, ERROR_NOT_ENOUGH_MEMORY, [&]() -> HANDLE {
        // Handle and object first: a file grown below cannot be shrunk back.
        fieldkit::detail::HandleReservation handle;
        auto mapping = std::make_shared<Mapping>(-1, size, write);
        if (size > st.stx_size) {
            if (!write) return FailWith<HANDLE>(nullptr, ERROR_ACCESS_DENIED);
            // The blocks are taken now: a file grown sparse would meet a full disk only when
            // the view is written, and that is SIGBUS, not an error.
            const int error = posix_fallocate(f->fd, 0, static_cast<off_t>(size));
            if (error != 0) return Fail<HANDLE>(nullptr, error);
        }
        mapping->fd = fcntl(f->fd, F_DUPFD_CLOEXEC, 0);
        if (mapping->fd < 0) return Fail<HANDLE>(nullptr);
        return handle.Fill(std::move(mapping));
    });
}

void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t bytes) {
    const auto m = FindHandle<Mapping>(mapping);
    if (m == nullptr) return FailWith<void*>(nullptr, ERROR_INVALID_HANDLE);
    const bool write = (access & FILE_MAP_WRITE) != 0;
    if (write && !m->write) return FailWith<void*>(nullptr, ERROR_ACCESS_DENIED);
    const std::uint64_t offset = (static_cast<std::uint64_t>(offsetHigh) << 32) | offsetLow;
    if (offset > m->size || offset % static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) != 0) {
        return FailWith<void*>(nullptr, ERROR_INVALID_PARAMETER);
    }
    const std::uint64_t length = bytes == 0 ? m->size - offset : bytes;
    if (length == 0 || offset + length > m->size) {
        return FailWith<void*>(nullptr, ERROR_INVALID_PARAMETER);
    }
    void* view =
        mmap(nullptr, static_cast<std::size_t>(length), write ? PROT_READ | PROT_WRITE : PROT_READ,
             MAP_SHARED, m->fd, static_cast<off_t>(offset));
    if (view == MAP_FAILED) return Fail<void*>(nullptr);
    Views& v = OpenViews();
    fieldkit::detail::LockGuard lock(v.mutex);
    // The lambda runs inside NoThrow under the lock taken above (the analysis sees it apart).
    if (!NoThrow([&]() FIELDKIT_NO_THREAD_SAFETY_ANALYSIS {
            v.sizes[view] = static_cast<std::size_t>(length);
        })) {
        munmap(view, static_cast<std::size_t>(length));  // a view nobody could unmap
        return FailWith<void*>(nullptr, ERROR_NOT_ENOUGH_MEMORY);
    }
    return view;
}

BOOL UnmapViewOfFile(const void* view) {
    std::size_t length = 0;
    {
        Views& v = OpenViews();
        fieldkit::detail::LockGuard lock(v.mutex);
        const auto it = v.sizes.find(view);
        if (it == v.sizes.end()) return FailWith(FALSE, ERROR_INVALID_PARAMETER);
        length = it->second;
        v.sizes.erase(it);
    }
    return munmap(const_cast<void*>(view), length) == 0 ? TRUE : Fail(FALSE);
}
