// Text between encodings, in one place: UTF-8, UTF-16 (wchar_t units, as
// Windows has them) and the system's ANSI code page.
//
// Names come from file systems that check nothing: POSIX names are any
// bytes, Windows names any UTF-16 units, unpaired surrogates included. So
// every conversion here takes text that is not valid in its encoding and
// says what it does with it (U+FFFD for each unit that does not belong), and
// UnitsHex gives the exact units, from which a name can be recovered.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// Appends one code point as UTF-8 (a surrogate code point as its own three
// bytes).
void AppendUtf8(std::string& out, char32_t code);
// The same into memory the caller has made room in (up to four bytes);
// returns the end of what was written. For loops that size their output once.
char* PutUtf8(char* out, char32_t code);

// Whether `text` is valid UTF-8: no overlong forms, surrogates or code
// points above U+10FFFF.
bool IsValidUtf8(std::string_view text);
// Whether `text` is valid UTF-16: every surrogate in a high-low pair.
bool IsValidUtf16(std::wstring_view text);

// UTF-8 with U+FFFD for each byte that does not belong to a valid character.
std::string ToUtf8Lossy(std::string_view bytes);
// UTF-8 with U+FFFD for each unpaired surrogate.
std::string ToUtf8Lossy(std::wstring_view utf16);
// UTF-16 with U+FFFD for each byte that does not belong to a valid character.
std::wstring ToUtf16Lossy(std::string_view utf8);

// Lowercase hex of the units: 2 digits a byte, 4 a UTF-16 unit.
std::string UnitsHex(std::string_view bytes);
std::string UnitsHex(std::wstring_view utf16);

#if defined(_WIN32)
// Text crossing an ANSI ("A") platform call: the system's ANSI code page, one
// byte per character where the code page has it, the code page's default
// character where it has none.
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);
#endif

}  // namespace orvane
