#include "ntfs/name_text.h"

#include "orvane/text.h"

namespace orvane::engine::ntfs {

void AppendNativeName(ByteView utf16, NativeString& out) {
    const std::size_t units = utf16.size() / 2;
#if defined(_WIN32)
    for (std::size_t i = 0; i < units; ++i) out.push_back(static_cast<wchar_t>(utf16.U16(2 * i)));
#else
    // Written in place: at most three bytes a unit (a pair of surrogates,
    // two units, makes four).
    const std::size_t start = out.size();
    out.resize(start + 3 * units);
    char* const first = out.data() + start;
    char* at = first;
    const std::uint8_t* const bytes = utf16.data();
    auto unit_at = [&](std::size_t i) -> char32_t { return bytes[2 * i] | bytes[2 * i + 1] << 8; };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t unit = unit_at(i);
        if (unit < 0x80) {
            *at++ = static_cast<char>(unit);
            continue;
        }
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const char32_t low = unit_at(i + 1);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        at = PutUtf8(at, unit);
    }
    out.resize(start + static_cast<std::size_t>(at - first));
#endif
}

}  // namespace orvane::engine::ntfs
