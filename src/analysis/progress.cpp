// The progress tick: every 100 ms during a run, the engine's status text and
// byte count move the folder line, the count and both bars.
#include "analysis/run_state.h"
#include "analysis/status_text.h"
#include "app/mMain.h"
#include "support/app_error.h"
#include "support/path_compact.h"
#include "wizard/frmWizard.h"

namespace orvane {

namespace {

wchar_t LocaleCharacter(LCTYPE type, wchar_t fallback) {
    wchar_t text[8] = {};
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text, 8) < 2) return fallback;
    return text[0];
}

Currency ParseByteCount(const unique_bstr& text) {
    const std::wstring_view digits(text.get() ? text.get() : L"", text.length());
    return ParseCurrency(digits, LocaleCharacter(LOCALE_SDECIMAL, L'.'),
                         LocaleCharacter(LOCALE_STHOUSAND, L','));
}

}  // namespace

void frmWizard::tmrProgress_Timer() {
    unique_bstr status;
    ThrowIfFailed(Engine().GetStatusText(status.put()));
    sStatusParts =
        SplitFields(std::wstring_view(status.get() ? status.get() : L"", status.length()), L'|');
    if (sStatusParts.empty()) RaiseError(kErrSubscriptOutOfRange);
    sStatusParts[0] = DropLastCharacter(sStatusParts[0]);

    // Measured in the window's own font; a wizard unloaded by a handler that
    // ran inside the engine call has no window left to measure with.
    if (IsLoaded()) {
        const long width = TwipsToPixelsX(lblFolderName.Width(), Scale());
        FormDC dc(*this);
        lblFolderName.SetCaption(CompactPath(sStatusParts[0], width, dc.get()));
    }
    if (sStatusParts.size() < 2) RaiseError(kErrSubscriptOutOfRange);
    lblFileFldCount.SetCaption(RemoveWordIgnoringCase(sStatusParts[1], L"scanned"));

    unique_bstr bytes;
    ThrowIfFailed(Engine().GetBytesScanned(bytes.put()));
    cyDriveScanned = ParseByteCount(bytes);

    iDiskPercent = ProgressPercent(cyDriveScanned, cyDriveUsedBytes);
    pbDiskProgress.SetValue(CappedBarValue(iDiskPercent));
    iOverallPercent = ProgressPercent(cyBytesDone.SaturatingAdd(cyDriveScanned), cyTotalUsedBytes);
    pbOverallProgress.SetValue(CappedBarValue(iOverallPercent));

    if (bCancelled) {
        StopProgressTimer();
        Unload();
    }
}

}  // namespace orvane
