/// @file
/// CFile: the class library's file over a device path.
///
/// Failures are results, never exceptions: Open answers FALSE, Read answers the bytes it could
/// read, Write reports through its result and GetLastError. Reads are buffered, so reading one
/// byte at a time stays cheap; Seek and Write keep the file position exact.
///
/// @ingroup platform
#pragma once

#include <memory>
#include <vector>

#include "fieldkit/platform/file_system.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

class CFileException;

/// A file of the device, opened by path; closed by Close or on destruction.
class FIELDKIT_API CFile {
  public:
    /// Flags of Open: access, sharing (accepted, not enforced), creation and text or binary.
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000
    };
    /// Where Seek counts from.
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() = default;
    /// Opens as Open does; IsOpen tells whether it succeeded.
    CFile(const wchar_t* path, UINT flags) { Open(path, flags); }
    /// Closes the file as Close does, if one is open.
    virtual ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    /// modeCreate creates or (without modeNoTruncate) empties the file.
    virtual BOOL Open(const wchar_t* path, UINT flags, CFileException* error = nullptr);
    /// Closes the file if one is open.
    virtual void Close();
    /// Whether a file is open.
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    /// The bytes read: fewer than asked at the end of the file, 0 there or on failure.
    virtual UINT Read(void* buffer, UINT count);
    /// Writes all bytes; false (and GetLastError) when they could not be written.
    virtual bool Write(const void* buffer, UINT count);
    /// The new position, or (ULONGLONG)-1 on failure.
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    /// The position, or (ULONGLONG)-1 on failure.
    ULONGLONG GetPosition() const;
    /// The file's length in bytes; 0 when no file is open or it cannot be read.
    ULONGLONG GetLength() const;

    /// The open file's handle, INVALID_HANDLE_VALUE when none is open.
    HANDLE m_hFile = INVALID_HANDLE_VALUE;

  private:
    /// Read-ahead: m_buffer[m_next..m_filled) are the next bytes of the file; the handle's own
    /// position stands m_filled - m_next bytes further on.
    ///@{
    std::vector<unsigned char> m_buffer;
    std::size_t m_next = 0;
    std::size_t m_filled = 0;
    bool DropReadAhead();
    ///@}
};

/// @}
