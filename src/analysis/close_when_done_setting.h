// The program's one setting, declared once: whether the wizard closes itself
// when the analysis is complete. "yes" or "no" under HKCU\Software\Mevrak,
// value CloseWhenDone; any other text, or none, reads as off.
#pragma once

#include <windows.h>

#include <string>

namespace orvane::close_when_done {

inline const HKEY kRoot = HKEY_CURRENT_USER;
inline constexpr wchar_t kKey[] = L"Software\\Mevrak";
inline constexpr wchar_t kValueName[] = L"CloseWhenDone";

// The stored text for a state of the box.
inline std::wstring Encode(bool on) { return on ? L"yes" : L"no"; }
// Whether a stored text means on: "yes" in any case.
bool Decode(const std::wstring& text);

// The stored text, empty when nothing could be read.
std::wstring Read();
// Stores the state; false when the key is missing or refused the write.
bool Store(bool on);

}  // namespace orvane::close_when_done
