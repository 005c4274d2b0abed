#include "error_info.h"

#include <oleauto.h>

namespace orvane::engine::com {

void SetErrorDescription(const std::wstring& description, REFIID iid) noexcept {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(::CreateErrorInfo(&create)) || !create) return;
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(L"AnalysisEngine"));
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        ::SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
}

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
