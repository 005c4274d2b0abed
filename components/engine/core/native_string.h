// The scanner's text type. Names travel exactly as the file system gives
// them: UTF-16 units on Windows, raw bytes on POSIX. Nothing in the core
// converts them through a code page or rejects a name it cannot decode; only
// the report turns them into UTF-8, reversibly (see report/report_json.h),
// through the shared text module (orvane/text.h).
#pragma once

#include <string>
#include <string_view>

#include "orvane/text.h"

namespace orvane::engine {

#if defined(_WIN32)
using NativeChar = wchar_t;
#define ORVANE_NATIVE(text) L##text
#else
using NativeChar = char;
#define ORVANE_NATIVE(text) text
#endif

using NativeString = std::basic_string<NativeChar>;
using NativeStringView = std::basic_string_view<NativeChar>;

// What joins the names of a path the platform's scanner reports: the
// reader's own Separator() while scanning, this for reports read back later.
#if defined(_WIN32)
inline constexpr NativeChar kNativeSeparator = L'\\';
#else
inline constexpr NativeChar kNativeSeparator = '/';
#endif

// Whether `text` is valid in its native encoding (UTF-8 / UTF-16).
inline bool IsValidNativeText(NativeStringView text) {
#if defined(_WIN32)
    return IsValidUtf16(text);
#else
    return IsValidUtf8(text);
#endif
}

// The text module's conversions are the engine's: ToUtf8Lossy(NativeStringView)
// gives UTF-8 with U+FFFD for each unit that is not valid.
using orvane::IsValidUtf8;
using orvane::ToUtf8Lossy;

// Lowercase hex of the native units (2 digits per byte, 4 per UTF-16 unit).
inline std::string NativeHex(NativeStringView text) { return UnitsHex(text); }

// UTF-8 as native text: UTF-16 on Windows, the same bytes on POSIX.
inline NativeString NativeFromUtf8(std::string_view utf8) {
#if defined(_WIN32)
    return ToUtf16Lossy(utf8);
#else
    return NativeString(utf8);
#endif
}

}  // namespace orvane::engine
