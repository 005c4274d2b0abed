// Both platforms' error texts behind one function, so a message reads the
// same way on either build.
#include "orvane/system_error.h"

#include "orvane/text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstring>
#endif

namespace orvane {

#if defined(_WIN32)

std::string SystemErrorText(int error) {
    wchar_t buffer[512];
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 512, nullptr);
    while (length > 0 && (buffer[length - 1] == L'\n' || buffer[length - 1] == L'\r' ||
                          buffer[length - 1] == L'.' || buffer[length - 1] == L' ')) {
        --length;
    }
    if (length == 0) return "error " + std::to_string(error);
    return ToUtf8Lossy(std::wstring_view(buffer, length));
}

#else

std::string SystemErrorText(int error) {
    const char* text = std::strerror(error);
    if (!text || !*text) return "error " + std::to_string(error);
    return text;
}

#endif

}  // namespace orvane
