// Written out rather than left to the platform: the same rules on every
// build (a Linux scan and a Windows one write the same report), and ASCII
// runs skipped at once, since nearly every name of a big tree is ASCII.
#include "orvane/text.h"

#include <cstdint>
#include <type_traits>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace orvane {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the UTF-8 character at `i`; returns the bytes it took, or 0 when
// the byte at `i` does not start a valid character.
std::size_t DecodeAt(std::string_view text, std::size_t i, char32_t& code) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length;
    char32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// Decodes the UTF-16 character at `i`; returns the units it took, or 0 when
// the unit at `i` is a surrogate without its partner.
std::size_t DecodeAt(std::wstring_view text, std::size_t i, char32_t& code) {
    char32_t unit = static_cast<std::uint16_t>(text[i]);
    if (unit < 0xD800 || unit > 0xDFFF) {
        code = unit;
        return 1;
    }
    if (unit >= 0xDC00 || i + 1 == text.size()) return 0;
    char32_t low = static_cast<std::uint16_t>(text[i + 1]);
    if (low < 0xDC00 || low > 0xDFFF) return 0;
    code = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    return 2;
}

// Where the ASCII run starting at `i` ends.
template <typename Char>
std::size_t AsciiRunEnd(std::basic_string_view<Char> text, std::size_t i) {
    while (i < text.size() && static_cast<std::make_unsigned_t<Char>>(text[i]) < 0x80) ++i;
    return i;
}

template <typename Char>
bool IsValid(std::basic_string_view<Char> text) {
    char32_t code;
    for (std::size_t i = AsciiRunEnd(text, 0); i < text.size(); i = AsciiRunEnd(text, i)) {
        std::size_t used = DecodeAt(text, i, code);
        if (used == 0) return false;
        i += used;
    }
    return true;
}

template <typename Char>
std::string Utf8Lossy(std::basic_string_view<Char> text) {
    std::string out;
    out.reserve(text.size());
    char32_t code;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t end = AsciiRunEnd(text, i); end > i) {
            if constexpr (sizeof(Char) == 1) {
                out.append(text.data() + i, end - i);
            } else {
                for (std::size_t k = i; k < end; ++k) out.push_back(static_cast<char>(text[k]));
            }
            i = end;
            continue;
        }
        const std::size_t used = DecodeAt(text, i, code);
        AppendUtf8(out, used == 0 ? kReplacement : code);
        i += used == 0 ? 1 : used;
    }
    return out;
}

void AppendUtf16(std::wstring& out, char32_t code) {
    if (code < 0x10000) {
        out.push_back(static_cast<wchar_t>(code));
        return;
    }
    code -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
}

template <typename Char>
std::string Hex(std::basic_string_view<Char> text) {
    constexpr int kDigits = sizeof(Char) == 1 ? 2 : 4;
    std::string out;
    out.reserve(text.size() * kDigits);
    for (Char c : text) {
        const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Char>>(c));
        for (int shift = 4 * (kDigits - 1); shift >= 0; shift -= 4)
            out.push_back(kHexDigits[(unit >> shift) & 0xF]);
    }
    return out;
}

}  // namespace

char* PutUtf8(char* out, char32_t code) {
    auto put = [&](char32_t value) { *out++ = static_cast<char>(value); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | (code >> 6));
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18));
        put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t code) {
    char bytes[4];
    out.append(bytes, static_cast<std::size_t>(PutUtf8(bytes, code) - bytes));
}

bool IsValidUtf8(std::string_view text) { return IsValid(text); }
bool IsValidUtf16(std::wstring_view text) { return IsValid(text); }

std::string ToUtf8Lossy(std::string_view bytes) { return Utf8Lossy(bytes); }
std::string ToUtf8Lossy(std::wstring_view utf16) { return Utf8Lossy(utf16); }

std::wstring ToUtf16Lossy(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    char32_t code;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t used = DecodeAt(utf8, i, code);
        AppendUtf16(out, used == 0 ? kReplacement : code);
        i += used == 0 ? 1 : used;
    }
    return out;
}

std::string UnitsHex(std::string_view bytes) { return Hex(bytes); }
std::string UnitsHex(std::wstring_view utf16) { return Hex(utf16); }

#if defined(_WIN32)

std::string ToAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    const int count = static_cast<int>(text.size());
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), count, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::wstring FromAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int count = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, nullptr, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, text.data(), length);
    return text;
}

#endif

}  // namespace orvane
