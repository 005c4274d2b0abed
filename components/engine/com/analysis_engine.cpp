#include "analysis_engine.h"

#include <chrono>
#include <string>

#include "core/scan_names.h"
#include "orvane/com_guard.h"
#include "orvane/system_error.h"
#include "orvane/text.h"

#include "error_info.h"
#include "message_pump.h"
#include "report_folder.h"
#include "report_store.h"
#include "status_text.h"

namespace orvane::engine::com {

namespace {

using orvane::com::Guarded;

// Thrown from the constructor: the class factory answers it as an HRESULT.
unique_event ManualResetEvent() {
    unique_event event;
    if (!event.try_create_manual_reset()) orvane::com::ThrowLastError();
    return event;
}

// "C:" as the wizard passes it; "c:" and "C:\" are taken too. 0 otherwise.
wchar_t DriveLetterOf(BSTR drive) {
    if (!drive) return 0;
    const std::wstring_view text(drive, ::SysStringLen(drive));
    if (text.size() < 2 || text.size() > 3 || text[1] != L':') return 0;
    if (text.size() == 3 && text[2] != L'\\') return 0;
    wchar_t letter = text[0];
    if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
    return letter >= L'A' && letter <= L'Z' ? letter : 0;
}

// Makes the object outlive a call during which a nested window handler
// releases the last outside reference.
class KeepAlive {
public:
    explicit KeepAlive(IUnknown* object) : object_(object) { object_->AddRef(); }
    KeepAlive(const KeepAlive&) = delete;
    KeepAlive& operator=(const KeepAlive&) = delete;
    ~KeepAlive() { object_->Release(); }

private:
    IUnknown* object_;
};

class CallScope {
public:
    explicit CallScope(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    ~CallScope() { flag_ = false; }

private:
    std::atomic<bool>& flag_;
};

constexpr HRESULT kBusy = HRESULT_FROM_WIN32(ERROR_BUSY);

// When the scan started, in local time: the report's file name says it so.
SYSTEMTIME UtcStartTime(const ScanResult& result) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(result.started_at.time_since_epoch());
    // Unix seconds to FILETIME (100 ns since 1601). The name says the time in
    // UTC, as the page and the JSON do.
    const ULONGLONG ticks =
        (static_cast<ULONGLONG>(seconds.count()) + 11644473600ULL) * 10000000ULL;
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME started{};
    if (!::FileTimeToSystemTime(&utc, &started)) ::GetSystemTime(&started);
    return started;
}

std::wstring SystemReason(HRESULT hr) {
    return ToUtf16Lossy(SystemErrorText(static_cast<int>(HRESULT_CODE(hr))));
}

// Why the drive's root could not be opened, in the system's words where
// the system gave a number.
std::wstring RootReason(const ScanResult& result) {
    if (result.root_system_error != 0) {
        std::wstring text = ToUtf16Lossy(SystemErrorText(result.root_system_error));
        while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
        if (!text.empty()) return text;
    }
    return ToUtf16Lossy(OpenErrorWords(result.root_error));
}

}  // namespace

AnalysisEngine::AnalysisEngine()
    : reader_(CreatePlatformDirectoryReader()),
      scan_done_(ManualResetEvent()),
      report_done_(ManualResetEvent()),
      cancel_(ManualResetEvent()) {}

AnalysisEngine::~AnalysisEngine() {
    abandon_report_ = true;
    JoinReportWriter();
    std::lock_guard lock(mutex_);
    scanner_.reset();  // cancels and waits for the workers
}

HRESULT AnalysisEngine::AnalyzeDrive(BSTR bstrDrive) {
    return Guarded([&] { return Analyze(bstrDrive); });
}

HRESULT AnalysisEngine::QueryInterface(REFIID riid, void** ppv) {
    if (ppv && IsEqualIID(riid, IID_ISupportErrorInfo)) {
        *ppv = static_cast<ISupportErrorInfo*>(this);
        AddRef();
        return S_OK;
    }
    if (ppv && IsEqualIID(riid, IID_IAnalysisReports)) {
        *ppv = static_cast<IAnalysisReports*>(this);
        AddRef();
        return S_OK;
    }
    return Base::QueryInterface(riid, ppv);
}

HRESULT AnalysisEngine::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID_IAnalysisEngine) ? S_OK : S_FALSE;
}

HRESULT AnalysisEngine::FinishDrive() {
    // No failure leaves a description: none may linger from an earlier call.
    ClearErrorDescription();
    return Guarded([&] { return Finish(); });
}

HRESULT AnalysisEngine::Analyze(BSTR drive) {
    const wchar_t letter = DriveLetterOf(drive);
    if (!letter) return E_INVALIDARG;
    if (in_call_) return kBusy;
    KeepAlive keep_alive(static_cast<IAnalysisEngine*>(this));
    CallScope call(in_call_);
    cancel_.ResetEvent();
    JoinReportWriter();
    DropScanner();
    {
        std::lock_guard lock(mutex_);
        drive_letter_ = letter;
        drive_root_ = std::wstring{letter, L':', L'\\'};
        result_taken_ = false;
    }
    // Reading the file table takes administrator rights and an NTFS drive;
    // without either the drive is walked, and its report says why.
    if (!table_.Read(drive_root_, cancel_.get())) return S_OK;
    StartScanner();
    switch (PumpMessagesUntil(scan_done_.get(), cancel_.get())) {
        case PumpOutcome::kDone:
            break;
        case PumpOutcome::kCancelled:
        case PumpOutcome::kQuit: {
            // The workers stop after their current batch; nobody waits for
            // them here, so the call returns at once.
            std::lock_guard lock(mutex_);
            scanner_->Cancel();
            break;
        }
    }
    return S_OK;
}

// A cancelled walk may still be winding down, and it signals its end when
// it gets there: it must finish before the event is armed again, and before
// the file table it may be listing is replaced.
void AnalysisEngine::DropScanner() {
    std::unique_ptr<Scanner> previous;
    {
        std::lock_guard lock(mutex_);
        previous = std::move(scanner_);
    }
    previous.reset();
}

void AnalysisEngine::StartScanner() {
    scan_done_.ResetEvent();

    ScanOptions options;
    // Listings do not give link counts; remembering file ids counts hard
    // links once, which is what the drive's used space does.
    options.unknown_link_count = UnknownLinkCount::kRememberFileId;
    options.on_finished = [done = scan_done_.get()] { ::SetEvent(done); };
    auto scanner = table_.walks() ? std::make_unique<Scanner>(table_.walks(), std::move(options))
                                  : std::make_unique<Scanner>(*reader_, std::move(options));
    {
        std::lock_guard lock(mutex_);
        scanner_ = std::move(scanner);
    }
    // A root that cannot be opened ends the walk at once (and signals it);
    // FinishDrive then reports the drive as unreadable.
    scanner_->Start(drive_root_);
}

HRESULT AnalysisEngine::Finish() {
    if (in_call_) return kBusy;
    if (!scanner_ || result_taken_) return S_OK;  // nothing analysed since the last report
    KeepAlive keep_alive(static_cast<IAnalysisEngine*>(this));
    CallScope call(in_call_);
    cancel_.ResetEvent();
    JoinReportWriter();
    record_.StartDrive();
    result_taken_ = true;
    abandon_report_ = false;
    report_failure_.clear();
    report_done_.ResetEvent();
    report_writer_ = std::thread([this] { WriteReport(); });
    if (PumpMessagesUntil(report_done_.get(), cancel_.get()) != PumpOutcome::kDone) {
        // A cancelled drive gets no report; the writer drops its temporary
        // file and is joined by the next call or the destructor.
        abandon_report_ = true;
        return S_OK;
    }
    JoinReportWriter();
    RecordOutcome();
    return S_OK;
}

void AnalysisEngine::RecordOutcome() {
    const std::wstring drive{drive_letter_, L':'};
    const std::wstring index = outcome_.folder.empty() ? L"" : outcome_.folder + L"\\index.html";
    if (!index.empty() && ::GetFileAttributesW(index.c_str()) != INVALID_FILE_ATTRIBUTES)
        record_.IndexAvailable(index);
    if (!outcome_.unreadable_reason.empty()) {
        record_.AddProblem(
            {drive, kDriveNotRead,
             L"Drive " + drive + L" could not be read (" + outcome_.unreadable_reason + L")."});
    } else if (FAILED(report_result_)) {
        const std::wstring why =
            report_failure_.empty() ? L"(" + SystemReason(report_result_) + L")." : report_failure_;
        record_.AddProblem({drive, kReportNotSaved,
                            L"The analysis of drive " + drive + L" could not be saved: " + why});
    } else {
        record_.ReportSaved(outcome_.page, index);
    }
}

void AnalysisEngine::WriteReport() {
    outcome_ = DriveOutcome{};
    report_result_ = Guarded([&] {
        const ScanResult result = scanner_->TakeResult();
        if (result.status == ScanStatus::kRootUnreadable)
            outcome_.unreadable_reason = RootReason(result);
        std::wstring folder;
        const HRESULT hr = EnsureReportsFolder(folder);
        if (FAILED(hr)) {
            report_failure_ =
                L"the reports folder could not be created (" + SystemReason(hr) + L").";
            return hr;
        }
        outcome_.folder = folder;
        return SaveReport(folder, result);
    });
    report_done_.SetEvent();
}

HRESULT AnalysisEngine::SaveReport(const std::wstring& folder, const ScanResult& result) {
    const std::wstring path =
        UnusedReportPath(folder, ReportFileName(drive_letter_, UtcStartTime(result)));
    std::string failure;
    const HRESULT hr =
        PublishReport(folder, path, result, table_.facts(), &abandon_report_, &failure);
    if (FAILED(hr)) {
        if (failure.empty()) failure = SystemErrorText(static_cast<int>(HRESULT_CODE(hr)));
        report_failure_ =
            L"the report " + path + L" could not be written (" + ToUtf16Lossy(failure) + L").";
    } else {
        outcome_.page = path.substr(0, path.size() - 5) + L".html";
    }
    return hr;
}

void AnalysisEngine::JoinReportWriter() {
    if (report_writer_.joinable()) report_writer_.join();
}

HRESULT AnalysisEngine::GetStatusText(BSTR* pbstrStatus) {
    return Guarded([&] {
        if (!pbstrStatus) return E_POINTER;
        std::wstring text;
        {
            std::lock_guard lock(mutex_);
            if (table_.reading()) {
                // The table is named by its own path, the count is of records.
                text = FormatStatusText(drive_root_ + L"$MFT", table_.records_read());
            } else if (!scanner_) {
                // Nothing scanned yet: a root-less folder field that still
                // has the one character the wizard drops.
                text = FormatStatusText(L"", 0);
            } else {
                const ScanProgress progress = scanner_->Progress();
                const bool has_folder = progress.running && !progress.current_folder.empty();
                text = FormatStatusText(has_folder ? std::wstring_view(progress.current_folder)
                                                   : std::wstring_view(drive_root_),
                                        progress.entries);
            }
        }
        return orvane::com::ReturnBstr(text.c_str(), static_cast<UINT>(text.size()), pbstrStatus);
    });
}

HRESULT AnalysisEngine::GetBytesScanned(BSTR* pbstrBytes) {
    return Guarded([&] {
        if (!pbstrBytes) return E_POINTER;
        std::uint64_t bytes = 0;
        {
            std::lock_guard lock(mutex_);
            if (scanner_) bytes = scanner_->AllocatedBytesScanned();
        }
        const std::wstring text = FormatByteCount(bytes);
        return orvane::com::ReturnBstr(text.c_str(), static_cast<UINT>(text.size()), pbstrBytes);
    });
}

HRESULT AnalysisEngine::Cancel() {
    return Guarded([&] {
        // Only a waiting call is cancelled: a Cancel while nothing runs must
        // not spoil the next drive.
        if (in_call_) {
            // Set here, not when the pump wakes: the report writer looks at
            // it just before it publishes the file.
            abandon_report_ = true;
            cancel_.SetEvent();
        }
        return S_OK;
    });
}

HRESULT AnalysisEngine::GetReportPage(BSTR* pbstrPath) { return record_.GetReportPage(pbstrPath); }

HRESULT AnalysisEngine::GetIndexPage(BSTR* pbstrPath) { return record_.GetIndexPage(pbstrPath); }

HRESULT AnalysisEngine::GetProblemCount(long* plCount) { return record_.GetProblemCount(plCount); }

HRESULT AnalysisEngine::GetProblem(long lIndex, BSTR* pbstrDrive, long* plKind,
                                   BSTR* pbstrDescription) {
    return record_.GetProblem(lIndex, pbstrDrive, plKind, pbstrDescription);
}

}  // namespace orvane::engine::com
