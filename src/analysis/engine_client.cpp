#include "analysis/engine_client.h"

#include <windows.h>

#include "analysis/status_text.h"
#include "support/app_error.h"
#include "orvane/win32_handles.h"

namespace orvane {

namespace {

wchar_t LocaleCharacter(LCTYPE type, wchar_t fallback) {
    wchar_t text[8] = {};
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text, 8) < 2) return fallback;
    return text[0];
}

std::wstring_view ViewOf(const unique_bstr& text) noexcept {
    return std::wstring_view(text.get() ? text.get() : L"", text.length());
}

}  // namespace

EngineProgress ParseEngineProgress(std::wstring_view status, std::wstring_view bytes,
                                   wchar_t decimal_separator, wchar_t group_separator) {
    EngineProgress progress;
    progress.fields = SplitFields(status, L'|');
    if (progress.fields.empty()) RaiseError(kErrSubscriptOutOfRange);
    progress.fields[0] = DropLastCharacter(progress.fields[0]);
    progress.folder = progress.fields[0];
    if (progress.fields.size() < 2) RaiseError(kErrSubscriptOutOfRange);
    progress.count_text = RemoveWordIgnoringCase(progress.fields[1], L"scanned");
    progress.bytes = ParseCurrency(bytes, decimal_separator, group_separator);
    return progress;
}

void EngineClient::AnalyzeDrive(const std::wstring& drive_text) {
    unique_bstr text(drive_text.c_str(), static_cast<UINT>(drive_text.size()));
    Check(engine_.AnalyzeDrive(text.get()));
}

void EngineClient::FinishDrive() { Check(engine_.FinishDrive()); }

void EngineClient::Cancel() { Check(engine_.Cancel()); }

void EngineClient::Check(HRESULT hr) { ThrowIfFailed(hr, &engine_, IID_IAnalysisEngine); }

EngineProgress EngineClient::ReadProgress() {
    unique_bstr status, bytes;
    Check(engine_.GetStatusText(status.put()));
    Check(engine_.GetBytesScanned(bytes.put()));
    return ParseEngineProgress(ViewOf(status), ViewOf(bytes),
                               LocaleCharacter(LOCALE_SDECIMAL, L'.'),
                               LocaleCharacter(LOCALE_STHOUSAND, L','));
}

}  // namespace orvane
