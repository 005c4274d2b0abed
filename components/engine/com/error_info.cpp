#include "error_info.h"

#include <oleauto.h>

namespace orvane::engine::com {

void ClearErrorDescription() noexcept { ::SetErrorInfo(0, nullptr); }

std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int count = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), count, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), count, wide.data(), length);
    return wide;
}

}  // namespace orvane::engine::com
