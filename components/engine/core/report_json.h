// The JSON analysis report shared by every front end (format in
// docs/report-format.md).
//
// Names become UTF-8. A path that is not valid in its native encoding (bytes
// that are not UTF-8 on POSIX, unpaired surrogates on Windows) is written with
// U+FFFD in place of each bad unit, and the exact native units follow in a
// sibling field "<field>_raw" as lowercase hex (bytes on POSIX, 4 hex digits
// per UTF-16 unit on Windows), so the report stays valid JSON and the name can
// be recovered.
#pragma once

#include <ostream>
#include <string>

#include "core/native_string.h"
#include "core/report_addenda.h"
#include "core/scan_names.h"
#include "core/scanner.h"

namespace orvane::engine {

// Version 4 of the format: version 1's fields, then the tree, and the ledger
// and the changes when `addenda` has them (version 3 says what each change
// is; version 4 lists a kept folder's files as arrays, not objects).
void WriteReportJson(const ScanResult& result, std::ostream& out);
std::string ReportJson(const ScanResult& result, const ReportAddenda& addenda = {});

// "2026-12-07T20:22:34Z".
std::string Iso8601Utc(std::chrono::system_clock::time_point when);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t code);

// Whether `text` is valid in its native encoding (UTF-8 / UTF-16).
bool IsValidNativeText(NativeStringView text);
// UTF-8 with U+FFFD for each unit that is not valid.
std::string ToUtf8Lossy(NativeStringView text);
// Whether `text` is valid UTF-8 (no overlong forms, surrogates or code
// points above U+10FFFF).
bool IsValidUtf8(std::string_view text);
// `bytes` as valid UTF-8: U+FFFD for each byte that does not belong.
std::string Utf8Lossy(std::string_view bytes);
// Lowercase hex of the native units (2 digits per byte, 4 per UTF-16 unit).
std::string NativeHex(NativeStringView text);

}  // namespace orvane::engine
