#include "support/app_error.h"

#include <oleauto.h>

#include <atomic>
#include <cstdio>

namespace orvane {

AppError::AppError(long number, std::wstring description)
    : number_(number), description_(std::move(description)) {
    what_ = "error " + std::to_string(number_);
}

std::wstring DescribeErrorNumber(long number) {
    switch (number) {
        case kErrInvalidCall:
            return L"Invalid procedure call or argument";
        case kErrOverflow:
            return L"Overflow";
        case kErrOutOfMemory:
            return L"Out of memory";
        case kErrSubscriptOutOfRange:
            return L"Subscript out of range";
        case kErrDivisionByZero:
            return L"Division by zero";
        case kErrTypeMismatch:
            return L"Type mismatch";
        case kErrBadFileNameOrNumber:
            return L"Bad file name or number";
        case kErrObjectNotSet:
            return L"Object variable or With block variable not set";
        case kErrInvalidPropertyValue:
            return L"Invalid property value";
        default:
            return L"Application-defined or object-defined error";
    }
}

std::wstring DescribeHresult(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length && buffer) {
        text.assign(buffer, length);
        while (!text.empty() &&
               (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
            text.pop_back();
    }
    if (buffer) ::LocalFree(buffer);
    if (text.empty()) text = L"Automation error";
    return text;
}

void RaiseError(long number) { throw AppError(number, DescribeErrorNumber(number)); }

void RaiseHresult(HRESULT hr) { throw AppError(static_cast<long>(hr), DescribeHresult(hr)); }

namespace {

// The description the component left for the failed call, if any.
std::wstring ComponentDescription(IUnknown* object, REFIID iid) {
    std::wstring text;
    ISupportErrorInfo* support = nullptr;
    if (!object ||
        FAILED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))))
        return text;
    const bool supported = support->InterfaceSupportsErrorInfo(iid) == S_OK;
    support->Release();
    IErrorInfo* info = nullptr;
    if (!supported || ::GetErrorInfo(0, &info) != S_OK || !info) return text;
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description)) && description)
        text.assign(description, ::SysStringLen(description));
    ::SysFreeString(description);
    info->Release();
    return text;
}

}  // namespace

void ThrowIfFailed(HRESULT hr, IUnknown* object, REFIID iid) {
    if (SUCCEEDED(hr)) return;
    std::wstring description = ComponentDescription(object, iid);
    if (description.empty()) RaiseHresult(hr);
    throw AppError(static_cast<long>(hr), std::move(description));
}

void RaiseLastError() {
    const DWORD code = ::GetLastError();
    RaiseHresult(code ? HRESULT_FROM_WIN32(code) : E_FAIL);
}

std::wstring ErrorReportText(long number, const std::wstring& description) {
    wchar_t head[64];
    if (number < 0) {
        // Failure codes read best with their hexadecimal form beside them.
        std::swprintf(head, 64, L"Run-time error '%ld (%08lX)':", number,
                      static_cast<unsigned long>(number));
    } else {
        std::swprintf(head, 64, L"Run-time error '%ld':", number);
    }
    return std::wstring(head) + L"\r\n\r\n" + description;
}

namespace {
std::atomic<bool> g_ending{false};
}

bool ProgramEnding() noexcept { return g_ending.load(); }

namespace {
std::atomic<ErrorReportListener> g_report_listener{nullptr};
}

void SetErrorReportListener(ErrorReportListener listener) noexcept {
    g_report_listener.store(listener);
}

void AnnounceErrorReport() noexcept {
    if (const ErrorReportListener listener = g_report_listener.load()) listener();
}

void ReportAndEnd(long number, const std::wstring& description) noexcept {
    if (g_ending.exchange(true)) ::ExitProcess(1);  // one report only
    AnnounceErrorReport();
    const std::wstring text = ErrorReportText(number, description);
    ::MessageBoxW(nullptr, text.c_str(), L"Orvane Analyzer", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    const UINT exit_code = number > 0 && number < 0x10000 ? static_cast<UINT>(number) : 1u;
    ::ExitProcess(exit_code);
}

}  // namespace orvane
