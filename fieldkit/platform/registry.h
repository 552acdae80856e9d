/// @file
/// The registry.
///
/// @ingroup platform
#pragma once

#include "fieldkit/platform/errors.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup platform
/// @{

/// An in-process registry of keys (no values) under HKEY_LOCAL_MACHINE; key names are compared
/// without regard to case. Results are Win32 error codes (ERROR_SUCCESS is 0).
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000002u)))
/// Access rights of a key; accepted and not enforced.
///@{
using REGSAM = DWORD;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
///@}
/// The one option of RegCreateKeyExW, accepted and not needed: keys last until the process ends.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
/// What RegCreateKeyExW did, in its disposition.
///@{
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
///@}
/// Opens the key, first creating it and every missing key above it.
FIELDKIT_API LONG RegCreateKeyExW(HKEY key, const wchar_t* subKey, DWORD reserved,
                                  wchar_t* keyClass, DWORD options, REGSAM access, void* security,
                                  HKEY* result, DWORD* disposition);
/// Opens an existing key.
FIELDKIT_API LONG RegOpenKeyExW(HKEY key, const wchar_t* subKey, DWORD options, REGSAM access,
                                HKEY* result);
/// Closes a key handle.
FIELDKIT_API LONG RegCloseKey(HKEY key);
/// Deletes a key that has no subkeys.
FIELDKIT_API LONG RegDeleteKeyW(HKEY key, const wchar_t* subKey);

/// @}
