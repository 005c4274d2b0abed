#include "ntfs/name_text.h"

#include "orvane/text.h"

namespace orvane::engine::ntfs {

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
