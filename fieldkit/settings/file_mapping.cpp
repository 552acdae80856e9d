#include "fieldkit/settings/file_mapping.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "fieldkit/i18n/translations.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/text/codepage.h"

using fieldkit::detail::NoThrow;

namespace {

const wchar_t kDomain[] = L"utils_base";

// The view's text stops at its first NUL, as the C string it was on the handheld did.
std::string_view UpToNul(const char* bytes, unsigned long length) {
    const void* nul = std::memchr(bytes, '\0', length);
    return {bytes, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes)
                       : static_cast<std::size_t>(length)};
}

}  // namespace

CFileMapping::CFileMapping() {
    Reset();
}

CFileMapping::CFileMapping(const wchar_t* path) {
    Reset();
    if (LoadFile(path)) return;
    // Keep the reason: it is the only account of why the construction failed.
    CString reason = std::move(m_lastError);
    UnmapFile();
    m_lastError = std::move(reason);
}

CFileMapping::~CFileMapping() {
    UnmapFile();
}

void CFileMapping::Reset() {
    m_file = INVALID_HANDLE_VALUE;
    m_mapping = nullptr;
    m_view = nullptr;
    m_length = 0;
    m_loaded = false;
    m_lastError.Empty();
}

void CFileMapping::UnmapFile() {
    if (m_view != nullptr) UnmapViewOfFile(m_view);
    if (m_mapping != nullptr) CloseHandle(m_mapping);
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    Reset();
}

void CFileMapping::SetError(const wchar_t* message) {
    m_lastError = NoThrow(CString(), [&] { return ugettext(kDomain, message); });
}

void CFileMapping::SetPathError(const wchar_t* pattern, const wchar_t* path) {
    // The path goes in as an argument, so a "%" in it is never read as a conversion.
    if (!NoThrow([&] {
            m_lastError.Format(ugettext(kDomain, pattern).GetString(), path ? path : L"");
        })) {
        m_lastError.Empty();
    }
}

bool CFileMapping::LoadFile(const wchar_t* path) {
    UnmapFile();
    m_file = CreateFileForMappingW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        SetPathError(L"Cannot open \"%s\" file.", path);
        return false;
    }
    m_mapping = CreateFileMappingW(m_file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (m_mapping == nullptr) {
        SetError(L"Cannot create mapping file.");
        return false;
    }
    m_view = static_cast<char*>(MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 0));
    if (m_view == nullptr) {
        SetError(L"Cannot map file.");
        return false;
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(m_file, &high);
    m_length = (static_cast<unsigned long>(high) << 32) | low;
    m_loaded = true;
    return true;
}

bool CFileMapping::PrepareSaveFile(const wchar_t* path, unsigned long size) {
    UnmapFile();
    // The bytes go to a new file beside the target, renamed over it once they are all there:
    // a failure leaves the old file as it was.
    m_file = fieldkit::detail::BeginReplaceFile(path);
    if (m_file == INVALID_HANDLE_VALUE) {
        SetPathError(L"Cannot create the file. %s", path);
        return false;
    }
    const auto high = static_cast<DWORD>(static_cast<unsigned long long>(size) >> 32);
    const auto low = static_cast<DWORD>(size & 0xFFFFFFFFUL);
    // Zero asks for "the whole file", which for the new empty file fails, as it should.
    m_mapping = CreateFileMappingW(m_file, nullptr, PAGE_READWRITE, high, low, nullptr);
    if (m_mapping == nullptr) {
        SetError(L"Cannot create mapping file.");
        return false;
    }
    m_view = static_cast<char*>(MapViewOfFile(m_mapping, FILE_MAP_WRITE, 0, 0, size));
    if (m_view == nullptr) {
        SetError(L"Cannot map file.");
        return false;
    }
    return true;
}

bool CFileMapping::SaveFile(const wchar_t* path, const char* data, unsigned long size) {
    if (data == nullptr && size != 0) return false;
    // Bytes from this object's own view (a loaded file saved elsewhere) would be unmapped by
    // the preparation: copy them out first.
    std::string own;
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const auto view = reinterpret_cast<std::uintptr_t>(m_view);
    if (m_view != nullptr && at >= view && at < view + m_length) {
        if (!NoThrow([&] { own.assign(data, size); })) return false;
        data = own.data();
    }
    if (!PrepareSaveFile(path, size)) return false;
    std::memcpy(m_view, data, size);
    m_length = size;
    if (!fieldkit::detail::CommitReplaceFile(m_file)) {
        SetPathError(L"Cannot create the file. %s", path);
        return false;
    }
    return true;
}

bool CFileMapping::SaveFile(const wchar_t* path, const wchar_t* text) {
    if (text == nullptr) return false;
    return NoThrow(false, [&] {
        const std::string utf8 = fieldkit::WideToUtf8(text);
        return SaveFile(path, utf8.data(), static_cast<unsigned long>(utf8.size()));
    });
}

bool CFileMapping::SaveFileW(const wchar_t* path, const CString& text) {
    if (text.IsEmpty()) return false;
    return NoThrow(false, [&] {
        const std::string utf8 = fieldkit::WideToUtf8(text.GetStdString());
        return SaveFile(path, utf8.data(), static_cast<unsigned long>(utf8.size()));
    });
}

CString CFileMapping::GetMapAsString() {
    if (m_view == nullptr) return CString();
    return NoThrow(CString(),
                   [&] { return CString(fieldkit::AnsiToWide(UpToNul(m_view, m_length))); });
}

CString CFileMapping::GetMapAsStringEx() {
    if (m_view == nullptr) return CString();
    return NoThrow(CString(),
                   [&] { return CString(fieldkit::Utf8ToWide(UpToNul(m_view, m_length))); });
}
