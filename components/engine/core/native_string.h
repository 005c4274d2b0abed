// The scanner's text type. Names travel exactly as the file system gives
// them: UTF-16 units on Windows, raw bytes on POSIX. Nothing in the core
// converts them through a code page or rejects a name it cannot decode; only
// the report writer turns them into UTF-8, reversibly (see report_json.h).
#pragma once

#include <string>
#include <string_view>

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

}  // namespace orvane::engine
