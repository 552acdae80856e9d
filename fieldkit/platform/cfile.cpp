#include "fieldkit/platform/cfile.h"

#include <algorithm>
#include <cstring>

#include "fieldkit/platform/detail/nothrow.h"

namespace {

constexpr std::size_t kReadAhead = 4096;

ULONGLONG Tell(HANDLE file) {
    LONG high = 0;
    const DWORD low = SetFilePointer(file, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) {
        return static_cast<ULONGLONG>(-1);
    }
    return (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
}

}  // namespace

BOOL CFile::Open(const wchar_t* path, UINT flags, CFileException*) {
    Close();
    DWORD access = GENERIC_READ;
    if ((flags & 3) == modeWrite) access = GENERIC_WRITE;
    if ((flags & 3) == modeReadWrite) access = GENERIC_READ | GENERIC_WRITE;
    DWORD creation = OPEN_EXISTING;
    if (flags & modeCreate) creation = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    m_hFile = CreateFileW(path, access, FILE_SHARE_READ, nullptr, creation, 0, nullptr);
    return IsOpen() ? TRUE : FALSE;
}

void CFile::Close() {
    if (IsOpen()) CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_next = m_filled = 0;
}

bool CFile::DropReadAhead() {
    const std::size_t ahead = m_filled - m_next;
    m_next = m_filled = 0;
    if (ahead == 0) return true;
    return SetFilePointer(m_hFile, -static_cast<LONG>(ahead), nullptr, FILE_CURRENT) !=
               INVALID_SET_FILE_POINTER ||
           GetLastError() == ERROR_SUCCESS;
}

UINT CFile::Read(void* buffer, UINT count) {
    if (!IsOpen() || buffer == nullptr) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    UINT done = 0;
    while (done < count) {
        if (m_next == m_filled) {
            // Large reads go straight to the file; small ones through the read-ahead.
            if (count - done >= kReadAhead) {
                DWORD got = 0;
                if (!ReadFile(m_hFile, out + done, count - done, &got, nullptr)) break;
                done += got;
                break;
            }
            // Without room for the read-ahead the reading ends, as at a failed read.
            if (!fieldkit::detail::NoThrow(false, ERROR_NOT_ENOUGH_MEMORY, [&] {
                    m_buffer.resize(kReadAhead);
                    return true;
                })) {
                break;
            }
            DWORD got = 0;
            if (!ReadFile(m_hFile, m_buffer.data(), kReadAhead, &got, nullptr) || got == 0) break;
            m_next = 0;
            m_filled = got;
        }
        const std::size_t n = std::min<std::size_t>(count - done, m_filled - m_next);
        std::memcpy(out + done, m_buffer.data() + m_next, n);
        m_next += n;
        done += static_cast<UINT>(n);
    }
    return done;
}

bool CFile::Write(const void* buffer, UINT count) {
    if (!IsOpen() || (buffer == nullptr && count > 0)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!DropReadAhead()) return false;
    DWORD written = 0;
    return WriteFile(m_hFile, buffer, count, &written, nullptr) && written == count;
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    if (!IsOpen()) return static_cast<ULONGLONG>(-1);
    // A short step within the read-ahead (a reader giving back one byte) keeps the buffer.
    if (from == current && m_filled > 0) {
        const auto target = static_cast<LONGLONG>(m_next) + offset;
        if (target >= 0 && target <= static_cast<LONGLONG>(m_filled)) {
            m_next = static_cast<std::size_t>(target);
            return GetPosition();
        }
    }
    if (!DropReadAhead()) return static_cast<ULONGLONG>(-1);
    LONG high = static_cast<LONG>(static_cast<ULONGLONG>(offset) >> 32);
    const DWORD method = from == begin ? FILE_BEGIN : from == current ? FILE_CURRENT : FILE_END;
    const DWORD low =
        SetFilePointer(m_hFile, static_cast<LONG>(offset & 0xFFFFFFFF), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) {
        return static_cast<ULONGLONG>(-1);
    }
    return (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
}

ULONGLONG CFile::GetPosition() const {
    if (!IsOpen()) return static_cast<ULONGLONG>(-1);
    const ULONGLONG at = Tell(m_hFile);
    return at == static_cast<ULONGLONG>(-1) ? at : at - (m_filled - m_next);
}

ULONGLONG CFile::GetLength() const {
    if (!IsOpen()) return 0;
    DWORD high = 0;
    const DWORD low = GetFileSize(m_hFile, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return 0;
    return (static_cast<ULONGLONG>(high) << 32) | low;
}
