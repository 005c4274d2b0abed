// mRegistrySettings: one named value under an existing registry key, read and
// written through the ANSI registry functions. Never creates a key and never
// raises for a registry failure: the result says whether it worked.
#pragma once

#include <windows.h>

#include <string>

namespace orvane {

// True when the key was opened and the value read. sValue changes only on
// success and only for REG_SZ and REG_DWORD data.
bool ReadRegistryValue(HKEY hRootKey, const std::wstring& sSubKey, const std::wstring& sValueName,
                       std::wstring& sValue);
// True when the key was opened and the registry stored the value; false when
// the key cannot be opened or refused the write. Stores the text's bytes
// without a terminating NUL, as REG_SZ.
bool WriteRegistryValue(HKEY hRootKey, const std::wstring& sSubKey, const std::wstring& sValueName,
                        const std::wstring& sValue);

// The decoding step of ReadRegistryValue on its own: n bytes of data of the
// given type, trimmed and decoded onto sValue. Returns whether sValue was
// changed by the type rules (REG_SZ, REG_DWORD).
bool DecodeRegistryData(DWORD type, const BYTE* data, DWORD n, std::wstring& sValue);

}  // namespace orvane
