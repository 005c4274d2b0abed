#include "report_folder.h"

#include <optional>
#include <vector>

#include "orvane/atomic_file.h"
#include "orvane/win32_handles.h"
#include "report/assemble_addenda.h"
#include "report/html_report.h"
#include "report/ledger.h"
#include "report/report_index.h"
#include "report/report_json.h"
#include "report/report_names.h"
#include "report/report_snapshot.h"

namespace orvane::engine::com {
namespace {

struct StoredReport {
    std::wstring json_path;
    std::wstring html_path;  // empty when there is no page
    report::IndexEntry entry;
};

std::string ReadWholeFile(const std::wstring& path) {
    const unique_file file(::CreateFileW(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got != 0)
        bytes.append(buffer, got);
    return bytes;
}

std::wstring HtmlPathOf(const std::wstring& json_path) {
    return json_path.substr(0, json_path.size() - 5) + L".html";
}

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

report::IndexEntry EntryOf(const report::ReportSnapshot& snapshot, const std::wstring& json_path,
                           bool has_html) {
    report::IndexEntry entry;
    entry.json_name = ToUtf8Lossy(FileNameOf(json_path));
    if (has_html) entry.html_name = ToUtf8Lossy(FileNameOf(HtmlPathOf(json_path)));
    entry.drive = ToUtf8Lossy(snapshot.root);
    entry.volume_key = report::VolumeKey(snapshot.volume_serial, snapshot.root);
    entry.started_at = snapshot.started_at;
    entry.status = snapshot.status;
    entry.used_bytes = snapshot.used_bytes;
    entry.found_bytes = snapshot.totals.allocated_bytes;
    return entry;
}

// Every report in the folder that reads as one; others are left alone.
std::vector<StoredReport> StoredReports(const std::wstring& folder) {
    std::vector<StoredReport> reports;
    WIN32_FIND_DATAW data;
    const std::wstring pattern = folder + L"\\*.json";
    HANDLE raw = ::FindFirstFileW(pattern.c_str(), &data);
    if (raw == INVALID_HANDLE_VALUE) return reports;
    const unique_find find(raw);
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsReportFileName(data.cFileName))
            continue;
        const std::wstring path = folder + L"\\" + data.cFileName;
        const auto snapshot = report::ReadReportSnapshot(ReadWholeFile(path), true);
        if (!snapshot) continue;
        const std::wstring html = HtmlPathOf(path);
        const bool has_html = ::GetFileAttributesW(html.c_str()) != INVALID_FILE_ATTRIBUTES;
        reports.push_back({path, has_html ? html : L"", EntryOf(*snapshot, path, has_html)});
    } while (::FindNextFileW(find.get(), &data));
    return reports;
}

// The newest completed report of the volume that started before this scan.
const StoredReport* Previous(const std::vector<StoredReport>& stored,
                             const report::IndexEntry& now) {
    const StoredReport* best = nullptr;
    for (const StoredReport& report : stored) {
        const report::IndexEntry& e = report.entry;
        if (e.volume_key != now.volume_key || e.status != "completed" ||
            e.started_at > now.started_at)
            continue;
        if (!best || report::Newer(e, best->entry)) best = &report;
    }
    return best;
}

// Null when there is nothing to compare with; an earlier report that cannot
// be read is named in `options`, so the page does not call this the first.
std::optional<report::ReportSnapshot> ReadPrevious(const StoredReport* previous,
                                                   report::HtmlOptions& options) {
    if (!previous) return std::nullopt;
    std::string why;
    auto snapshot = report::ReadReportSnapshot(ReadWholeFile(previous->json_path), false, &why);
    if (!snapshot) {
        options.unreadable_previous = previous->entry.json_name;
        options.unreadable_reason = why;
    }
    return snapshot;
}

report::IndexEntry EntryOfResult(const ScanResult& result, const ReportAddenda& addenda,
                                 const std::wstring& json_path) {
    report::IndexEntry entry;
    entry.json_name = ToUtf8Lossy(FileNameOf(json_path));
    entry.html_name = ToUtf8Lossy(FileNameOf(HtmlPathOf(json_path)));
    entry.drive = ToUtf8Lossy(result.root);
    entry.volume_key =
        report::VolumeKey(addenda.ledger ? addenda.ledger->volume_serial : "", result.root);
    entry.started_at = Iso8601Utc(result.started_at);
    entry.status = StatusName(result.status);
    if (addenda.ledger) entry.used_bytes = addenda.ledger->used_bytes;
    entry.found_bytes = result.totals.allocated_bytes;
    return entry;
}

void RetireOldReports(std::vector<StoredReport>& reports) {
    std::vector<report::IndexEntry> entries;
    for (const StoredReport& r : reports) entries.push_back(r.entry);
    const std::vector<std::size_t> retire = report::EntriesToRetire(entries);
    for (auto at = retire.rbegin(); at != retire.rend(); ++at) {
        const StoredReport& old = reports[*at];
        ::DeleteFileW(old.json_path.c_str());
        if (!old.html_path.empty()) ::DeleteFileW(old.html_path.c_str());
        reports.erase(reports.begin() + static_cast<std::ptrdiff_t>(*at));
    }
}

orvane::write_result WriteIndex(const std::wstring& folder,
                                const std::vector<StoredReport>& reports) {
    std::vector<report::IndexEntry> entries;
    for (const StoredReport& r : reports) entries.push_back(r.entry);
    return orvane::WriteFileAtomically(folder + L"\\index.html",
                                       report::IndexHtml(std::move(entries)));
}

}  // namespace

bool IsReportFileName(std::wstring_view name) {
    auto digits = [&](std::size_t from, std::size_t count) {
        if (from + count > name.size()) return false;
        for (std::size_t i = from; i < from + count; ++i) {
            if (name[i] < L'0' || name[i] > L'9') return false;
        }
        return true;
    };
    if (name.size() < 22 || name[0] < L'A' || name[0] > L'Z' || name[1] != L'-' || !digits(2, 8) ||
        name[10] != L'-' || !digits(11, 6) || name.substr(name.size() - 5) != L".json")
        return false;
    const std::wstring_view rest = name.substr(17, name.size() - 22);
    return rest.empty() || (rest.size() >= 2 && rest[0] == L'-' && digits(18, rest.size() - 1));
}

HRESULT EnsureReportsIndex(const std::wstring& folder) {
    const std::wstring index = folder + L"\\index.html";
    if (::GetFileAttributesW(index.c_str()) != INVALID_FILE_ATTRIBUTES) return S_OK;
    return orvane::WriteFileAtomically(index, report::IndexHtml({})).hresult();
}

HRESULT PublishReport(const std::wstring& folder, const std::wstring& json_path,
                      const ScanResult& result, const SourceFacts& source,
                      const std::atomic<bool>* abandon, std::string* failure) {
    EnsureReportsIndex(folder);  // the index stays true to the folder even if what follows fails
    std::vector<StoredReport> stored = StoredReports(folder);
    report::IndexEntry entry;
    report::HtmlOptions options;
    options.looked_for_previous = true;
    std::optional<report::ReportSnapshot> earlier;
    const auto previous_of_volume = [&](const ReportAddenda& so_far) {
        entry = EntryOfResult(result, so_far, json_path);
        // A drive that could not be read has nothing to set against its last report.
        if (result.status == ScanStatus::kRootUnreadable) return report::EarlierReport{};
        const StoredReport* previous = Previous(stored, entry);
        earlier = ReadPrevious(previous, options);
        if (!earlier) return report::EarlierReport{};
        return report::EarlierReport{&*earlier, previous->entry.json_name};
    };
    // A drive is its own volume: the platform knows it where its table told nothing.
    const ReportAddenda addenda = report::AssembleAddenda(
        result, source, report::LedgerFallback::kPlatform, previous_of_volume);

    const std::wstring html_path = HtmlPathOf(json_path);
    orvane::write_result written = orvane::WriteFileAtomically(
        html_path, report::ReportHtml(result, addenda, options), abandon);
    // The JSON goes last: once it is there, the report is complete.
    if (written.ok() && !written.abandoned)
        written = orvane::WriteFileAtomically(json_path, ReportJson(result, addenda), abandon);
    const HRESULT hr = written.hresult();
    const bool published = written.ok() && !written.abandoned && !(abandon && abandon->load()) &&
                           ::GetFileAttributesW(json_path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!published) {
        if (failure && !written.ok()) *failure = written.message();
        ::DeleteFileW(html_path.c_str());
        return hr;
    }
    stored.push_back({json_path, html_path, std::move(entry)});
    RetireOldReports(stored);
    const orvane::write_result index = WriteIndex(folder, stored);
    if (failure && !index.ok()) *failure = "its index, " + index.message();
    return index.hresult();
}

}  // namespace orvane::engine::com
