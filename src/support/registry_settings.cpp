#include "support/registry_settings.h"

#include <string>

#include "orvane/text.h"
#include "orvane/win32_handles.h"

namespace orvane {

namespace {

constexpr DWORD kReadBufferSize = 1024;
// The mask the setting has always been written with; kept so that a key whose
// permissions admit exactly these rights stays writable.
constexpr REGSAM kWriteAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
                                KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | WRITE_DAC;
// Reading needs query rights only: a key the user may read but not change
// must still give its value.
constexpr REGSAM kReadAccess = KEY_QUERY_VALUE;

unique_hkey OpenExistingKey(HKEY hRootKey, const std::wstring& sSubKey, REGSAM access) {
    unique_hkey key;
    const std::string path = ToAnsi(sSubKey);
    if (::RegOpenKeyExA(hRootKey, path.c_str(), 0, access, key.put()) != ERROR_SUCCESS)
        key.release();
    return key;
}

// A string stored with its terminating NUL and one stored without read the
// same: a NUL in the last place is dropped, whatever the type.
DWORD TrimmedLength(const BYTE* data, DWORD n) noexcept {
    return n > 0 && data[n - 1] == 0 ? n - 1 : n;
}

std::wstring HexBytesLastToFirst(const BYTE* data, DWORD n) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring hex;
    for (DWORD i = n; i > 0; --i) {
        hex.push_back(kDigits[data[i - 1] >> 4]);
        hex.push_back(kDigits[data[i - 1] & 0x0F]);
    }
    return hex;
}

}  // namespace

bool DecodeRegistryData(DWORD type, const BYTE* data, DWORD n, std::wstring& sValue) {
    const DWORD length = TrimmedLength(data, n);
    switch (type) {
        case REG_SZ:
            sValue = FromAnsi(std::string_view(reinterpret_cast<const char*>(data), length));
            return true;
        case REG_DWORD:
            sValue = L"&h" + sValue + HexBytesLastToFirst(data, length);
            return true;
        default:
            return false;
    }
}

bool ReadRegistryValue(HKEY hRootKey, const std::wstring& sSubKey, const std::wstring& sValueName,
                       std::wstring& sValue) {
    const unique_hkey key = OpenExistingKey(hRootKey, sSubKey, kReadAccess);
    if (!key) return false;

    BYTE buffer[kReadBufferSize] = {};
    DWORD size = kReadBufferSize;
    DWORD type = REG_NONE;
    const std::string name = ToAnsi(sValueName);
    if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, buffer, &size) != ERROR_SUCCESS)
        return false;
    DecodeRegistryData(type, buffer, size, sValue);
    return true;
}

bool WriteRegistryValue(HKEY hRootKey, const std::wstring& sSubKey, const std::wstring& sValueName,
                        const std::wstring& sValue) {
    const unique_hkey key = OpenExistingKey(hRootKey, sSubKey, kWriteAccess);
    if (!key) return false;

    const std::string name = ToAnsi(sValueName);
    // The text's bytes only: the stored value carries no terminating NUL.
    // RegSetValueExA counts a NUL that directly follows the given bytes into
    // a string value, so the bytes are followed by something else.
    std::string data = ToAnsi(sValue);
    const DWORD size = static_cast<DWORD>(data.size());
    data.push_back('\x01');
    // A store the registry refused is not a success.
    return ::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.data()), size) == ERROR_SUCCESS;
}

}  // namespace orvane
