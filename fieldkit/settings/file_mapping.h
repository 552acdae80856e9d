/// @file
/// CFileMapping: a whole file read by mapping it into memory, or written by creating a new
/// version at its final size, mapping it, copying the bytes in and putting it in place; plus the
/// mapped bytes as text (Windows-1252 or UTF-8) and text saved as UTF-8.
///
/// Failures leave a message, translated in the domain "utils_base", for GetLastMappingError.
/// An object is used by one thread.
///
/// @ingroup settings
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup settings
/// @{

/// A file mapped into memory for reading, or written whole through a mapping.
class FIELDKIT_API CFileMapping {
  public:
    /// Holds no file: IsLoaded is false until LoadFile succeeds.
    CFileMapping();
    /// Loads the file as LoadFile does. On failure nothing stays held, IsLoaded is false and
    /// GetLastMappingError keeps the message of the failed load.
    explicit CFileMapping(const wchar_t* path);
    /// Releases as UnmapFile does: bytes saved through the view reach the file.
    ~CFileMapping();

    /// Not copyable: a copy would share the file, the mapping and the view it must release.
    ///@{
    CFileMapping(const CFileMapping&) = delete;
    CFileMapping& operator=(const CFileMapping&) = delete;
    ///@}

    /// Releases whatever is held, then maps the whole existing file read-only (others may read
    /// it meanwhile). False with a message when the file cannot be opened ("Cannot open \"%s\"
    /// file." with the path), when the mapping cannot be created ("Cannot create mapping
    /// file.", also for an empty file) or when the view cannot be mapped ("Cannot map file.").
    /// After a failure, what the earlier steps opened stays held until the next release.
    bool LoadFile(const wchar_t* path);

    /// Releases whatever is held, then creates (or replaces) the file with exactly these bytes.
    /// They are written to a new file beside the target, flushed to disk and renamed over it in
    /// one step (the file a link names, when the target is a link), so a failure leaves the old
    /// file exactly as it was; the new file keeps the old one's mode and owner. The view stays
    /// mapped until released (UnmapFile, the next load or save, or destruction), and what is
    /// changed through it meanwhile reaches the saved file. GetFileLength gives `size`
    /// afterwards; IsLoaded stays false. Zero bytes fail at the mapping step ("Cannot create
    /// mapping file.") and leave the target alone; a file that cannot be created or replaced
    /// fails with "Cannot create the file. %s" with the path. Null data with a non-zero size
    /// fails without touching anything.
    bool SaveFile(const wchar_t* path, const char* data, unsigned long size);
    /// The text up to its terminating NUL as UTF-8, with no NUL and no byte-order mark. False for
    /// a null text; an empty text fails as zero bytes do above, creating or changing no file.
    bool SaveFile(const wchar_t* path, const wchar_t* text);
    /// The whole text as UTF-8. An empty text is refused without creating the file (false,
    /// nothing released, message unchanged).
    bool SaveFileW(const wchar_t* path, const CString& text);

    /// Releases view, mapping and file, each if held, and returns to the reset state (nothing
    /// held, length 0, not loaded, no message).
    void UnmapFile();

    /// The mapped bytes decoded from Windows-1252, up to the first NUL byte; empty when nothing
    /// is mapped.
    CString GetMapAsString();
    /// The mapped bytes decoded from UTF-8, up to the first NUL; empty when nothing is mapped.
    /// Each invalid sequence becomes U+FFFD; a byte-order mark arrives as U+FEFF.
    CString GetMapAsStringEx();

    /// The message of the last failure; empty after a reset.
    const CString& GetLastMappingError() const { return m_lastError; }
    /// True after a successful LoadFile, until the next release.
    bool IsLoaded() const { return m_loaded; }
    /// Bytes of the loaded file, or of the data last saved.
    unsigned long GetFileLength() const { return m_length; }

    /// The view itself, null when nothing is mapped. A loaded file's view is read-only.
    operator char*() { return m_view; }  // NOLINT(google-explicit-constructor)

    /// The same view, as wide characters.
    operator wchar_t*() { return reinterpret_cast<wchar_t*>(m_view); }  // NOLINT

  private:
    void Reset();
    bool PrepareSaveFile(const wchar_t* path, unsigned long size);
    void SetError(const wchar_t* message);
    void SetPathError(const wchar_t* pattern, const wchar_t* path);

    HANDLE m_file;
    HANDLE m_mapping;
    char* m_view;
    unsigned long m_length;
    bool m_loaded;
    CString m_lastError;
};

/// @}
