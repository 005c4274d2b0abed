#include "ntfs/name_text.h"

namespace orvane::engine::ntfs {
namespace {

#if !defined(_WIN32)
void AppendUtf8(NativeString& out, char32_t code) {
    auto put = [&](unsigned value) { out.push_back(static_cast<char>(value)); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | code >> 6);
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | code >> 12);
        put(0x80 | (code >> 6 & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | code >> 18);
        put(0x80 | (code >> 12 & 0x3F));
        put(0x80 | (code >> 6 & 0x3F));
        put(0x80 | (code & 0x3F));
    }
}
#endif

}  // namespace

void AppendNativeName(ByteView utf16, NativeString& out) {
    const std::size_t units = utf16.size() / 2;
#if defined(_WIN32)
    for (std::size_t i = 0; i < units; ++i) out.push_back(static_cast<wchar_t>(utf16.U16(2 * i)));
#else
    for (std::size_t i = 0; i < units; ++i) {
        char32_t unit = utf16.U16(2 * i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const char32_t low = utf16.U16(2 * i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, unit);
    }
#endif
}

}  // namespace orvane::engine::ntfs
