// The program's one client of the analysis engine: the calls a run makes, and
// the engine's text contract (status text, byte count) turned into a typed
// value in one place. The tick and the run driver read EngineProgress; they
// never split or parse the engine's texts themselves.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "orvane/components.h"
#include "support/currency.h"

namespace orvane {

struct EngineProgress {
    // The status text's fields, the folder's extra last character dropped.
    std::vector<std::wstring> fields;
    // The folder being scanned (fields[0]).
    std::wstring folder;
    // The running count (fields[1]) with every "scanned" removed, any case.
    std::wstring count_text;
    // Bytes scanned so far on the current drive.
    Currency bytes;
};

// Reads the two texts as the engine's contract gives them. A status text
// without "|" raises the subscript error (9), an empty folder field the
// invalid-call error (5), a bytes text that is not a number the type-mismatch
// error (13); the separators are those of the user's locale.
EngineProgress ParseEngineProgress(std::wstring_view status, std::wstring_view bytes,
                                   wchar_t decimal_separator, wchar_t group_separator);

class EngineClient {
public:
    explicit EngineClient(IAnalysisEngine& engine) noexcept : engine_(engine) {}

    // Each raises the engine's failure as the program's error.
    void AnalyzeDrive(const std::wstring& drive_text);
    void FinishDrive();
    void Cancel();
    // GetStatusText and GetBytesScanned, parsed with the user's locale.
    EngineProgress ReadProgress();

private:
    // A failure as the program's error, with the engine's own description
    // where it left one.
    void Check(HRESULT hr);
    IAnalysisEngine& engine_;
};

}  // namespace orvane
