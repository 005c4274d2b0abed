// The analysis engine component: scans one drive at a time on worker
// threads while the calling user-interface thread keeps dispatching its
// window messages, and writes one report per drive.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/directory_reader.h"
#include "core/scanner.h"
#include "drive_table.h"
#include "orvane/com_server.h"
#include "orvane/components.h"
#include "orvane/win32_handles.h"
#include "run_record.h"

namespace orvane::engine::com {

class AnalysisEngine final
    : public orvane::com::DispatchObject<AnalysisEngineReservedSlots, IID_IAnalysisEngine>,
      public ISupportErrorInfo,
      public IAnalysisReports {
    using Base = orvane::com::DispatchObject<AnalysisEngineReservedSlots, IID_IAnalysisEngine>;

public:
    AnalysisEngine();
    ~AnalysisEngine() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return Base::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Base::Release(); }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    HRESULT STDMETHODCALLTYPE FinishDrive() override;
    HRESULT STDMETHODCALLTYPE AnalyzeDrive(BSTR bstrDrive) override;
    HRESULT STDMETHODCALLTYPE GetStatusText(BSTR* pbstrStatus) override;
    HRESULT STDMETHODCALLTYPE Cancel() override;
    HRESULT STDMETHODCALLTYPE GetBytesScanned(BSTR* pbstrBytes) override;

    // A report that cannot be saved, and a drive that cannot be read, fail
    // no call: FinishDrive succeeds and the problem is told here.
    HRESULT STDMETHODCALLTYPE GetReportPage(BSTR* pbstrPath) override;
    HRESULT STDMETHODCALLTYPE GetIndexPage(BSTR* pbstrPath) override;
    HRESULT STDMETHODCALLTYPE GetProblemCount(long* plCount) override;
    HRESULT STDMETHODCALLTYPE GetProblem(long lIndex, BSTR* pbstrDrive, long* plKind,
                                         BSTR* pbstrDescription) override;

private:
    HRESULT Analyze(BSTR drive);
    HRESULT Finish();
    void DropScanner();
    void StartScanner();
    void WriteReport();
    HRESULT SaveReport(const std::wstring& folder, const ScanResult& result);
    void JoinReportWriter();
    // What the finished drive left: its page, or the reason it has none.
    void RecordOutcome();

    // Declared before the scanner: it refers to them until it is gone.
    std::unique_ptr<DirectoryReader> reader_;
    DriveTable table_;        // the drive's file table, where it can be read
    unique_event scan_done_;  // set by the scanner when its walk has ended
    unique_event report_done_;
    unique_event cancel_;  // set by Cancel while a call waits

    std::mutex mutex_;  // guards scanner_ against a Cancel from another thread
    std::unique_ptr<Scanner> scanner_;
    std::wstring drive_root_;  // "C:\" of the current drive; empty before the first
    wchar_t drive_letter_ = 0;
    bool result_taken_ = false;

    std::atomic<bool> in_call_{false};  // an AnalyzeDrive or FinishDrive is waiting
    std::thread report_writer_;
    std::atomic<bool> abandon_report_{false};
    HRESULT report_result_ = S_OK;
    std::wstring report_failure_;  // what failed and why, when report_result_ did
    // Written by the report writer, read once it has been joined.
    struct DriveOutcome {
        std::wstring unreadable_reason;  // empty when the drive could be read
        std::wstring folder;             // the reports folder, once it exists
        std::wstring page;               // the report's page, once published
    } outcome_;
    RunRecord record_;
};

}  // namespace orvane::engine::com
