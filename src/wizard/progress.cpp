// The progress tick: every 100 ms during a run, the engine's status text and
// byte count move the folder line, the count and both bars.
#include "analysis/engine_client.h"
#include "analysis/run_state.h"
#include "analysis/status_text.h"
#include "support/path_compact.h"
#include "wizard/frmWizard.h"

namespace orvane {

void frmWizard::tmrProgress_Timer() {
    ShowProgress(Engine().ReadProgress());
    if (bCancelled) {
        StopProgressTimer();
        Unload();
    }
}

void frmWizard::ShowProgress(const EngineProgress& progress) {
    sStatusParts = progress.fields;

    // Measured in the window's own font; a wizard unloaded by a handler that
    // ran inside the engine call has no window left to measure with.
    if (IsLoaded()) {
        const long width = TwipsToPixelsX(lblFolderName.Width(), Scale());
        FormDC dc(*this);
        lblFolderName.SetCaption(CompactPath(progress.folder, width, dc.get()));
    }
    lblFileFldCount.SetCaption(progress.count_text);
    cyDriveScanned = progress.bytes;

    iDiskPercent = ProgressPercent(cyDriveScanned, cyDriveUsedBytes);
    pbDiskProgress.SetValue(CappedBarValue(iDiskPercent));
    iOverallPercent = ProgressPercent(cyBytesDone.SaturatingAdd(cyDriveScanned), cyTotalUsedBytes);
    pbOverallProgress.SetValue(CappedBarValue(iOverallPercent));
    ShowRunOnTaskbar();
}

}  // namespace orvane
