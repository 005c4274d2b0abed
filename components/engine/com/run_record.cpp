#include "run_record.h"

#include "orvane/com_guard.h"
#include "orvane/com_server.h"

namespace orvane::engine::com {

namespace {

using orvane::com::Guarded;

// A path, or an empty text and S_FALSE when there is none.
HRESULT ReturnPath(const std::wstring& path, BSTR* out) {
    const HRESULT hr = orvane::com::ReturnBstr(path.c_str(), static_cast<UINT>(path.size()), out);
    return SUCCEEDED(hr) && path.empty() ? S_FALSE : hr;
}

}  // namespace

void RunRecord::StartDrive() {
    std::lock_guard lock(mutex_);
    report_page_.clear();
}

void RunRecord::ReportSaved(std::wstring page, std::wstring index) {
    std::lock_guard lock(mutex_);
    report_page_ = std::move(page);
    index_page_ = std::move(index);
}

void RunRecord::IndexAvailable(std::wstring index) {
    std::lock_guard lock(mutex_);
    index_page_ = std::move(index);
}

void RunRecord::AddProblem(DriveProblem problem) {
    std::lock_guard lock(mutex_);
    problems_.push_back(std::move(problem));
}

HRESULT RunRecord::GetReportPage(BSTR* path) const noexcept {
    return Guarded([&] {
        std::lock_guard lock(mutex_);
        return ReturnPath(report_page_, path);
    });
}

HRESULT RunRecord::GetIndexPage(BSTR* path) const noexcept {
    return Guarded([&] {
        std::lock_guard lock(mutex_);
        return ReturnPath(index_page_, path);
    });
}

HRESULT RunRecord::GetProblemCount(long* count) const noexcept {
    if (!count) return E_POINTER;
    std::lock_guard lock(mutex_);
    *count = static_cast<long>(problems_.size());
    return S_OK;
}

HRESULT RunRecord::GetProblem(long index, BSTR* drive, long* kind,
                              BSTR* description) const noexcept {
    return Guarded([&] {
        if (!drive || !kind || !description) return E_POINTER;
        *drive = nullptr;
        *description = nullptr;
        std::lock_guard lock(mutex_);
        if (index < 0 || static_cast<std::size_t>(index) >= problems_.size()) return E_INVALIDARG;
        const DriveProblem& problem = problems_[static_cast<std::size_t>(index)];
        const HRESULT hr = orvane::com::ReturnBstr(problem.drive.c_str(),
                                                   static_cast<UINT>(problem.drive.size()), drive);
        if (FAILED(hr)) return hr;
        const HRESULT words =
            orvane::com::ReturnBstr(problem.description.c_str(),
                                    static_cast<UINT>(problem.description.size()), description);
        if (FAILED(words)) {
            ::SysFreeString(*drive);
            *drive = nullptr;
            return words;
        }
        *kind = problem.kind;
        return S_OK;
    });
}

}  // namespace orvane::engine::com
