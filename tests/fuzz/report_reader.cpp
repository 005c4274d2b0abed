// Any bytes as an earlier report: read as the comparison and as the index
// read it, and, when they pass as a report, compared with a scan made of
// that same report and written out by every writer. Nothing read may crash
// the engine, and whatever is written must stay valid where it goes.
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/text_report.h"
#include "report/report_json.h"
#include "fuzz_support.h"
#include "report/changes.h"
#include "report/html_report.h"
#include "report/json_reader.h"
#include "report/report_index.h"
#include "report/report_snapshot.h"

namespace {

using namespace orvane::engine;

ScanResult ScanOf(const report::ReportSnapshot& snapshot) {
    ScanResult scan;
    scan.root = snapshot.root;
    scan.status = ScanStatus::kCompleted;
    scan.totals = snapshot.totals;
    scan.tree = snapshot.tree;
    scan.largest_files = snapshot.largest_files;
    return scan;
}

void WriteEverything(const report::ReportSnapshot& earlier, std::string_view name) {
    const ScanResult now = ScanOf(earlier);
    ReportAddenda addenda;
    addenda.changes = report::ComputeChanges(earlier, now, std::string(name));
    const std::string json = ReportJson(now, addenda);
    orvane::fuzz::Require(IsValidUtf8(json), "the JSON is valid UTF-8");
    std::string why;
    orvane::fuzz::Require(report::ReadReportSnapshot(json, false, &why).has_value(),
                          "what we write reads back as a report");
    const std::string page = report::ReportHtml(now, addenda);
    orvane::fuzz::Require(IsValidUtf8(page), "the page is valid UTF-8");
    const std::string text = cli::ChangesText(*addenda.changes, now.totals.allocated_bytes, 50);
    for (char c : text) {
        orvane::fuzz::Require(static_cast<unsigned char>(c) >= 0x20 || c == '\n',
                              "no control character reaches the terminal");
    }
    report::IndexEntry entry;
    entry.json_name = std::string(name);
    entry.drive = ToUtf8Lossy(earlier.root);
    entry.started_at = earlier.started_at;
    entry.status = earlier.status;
    entry.found_bytes = earlier.totals.allocated_bytes;
    orvane::fuzz::Require(IsValidUtf8(report::IndexHtml({entry})), "the index is valid UTF-8");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    report::ReadReportSnapshot(text, true);
    std::string why;
    const auto earlier = report::ReadReportSnapshot(text, false, &why);
    orvane::fuzz::Require(earlier.has_value() || !why.empty(), "a refusal has a reason");
    if (earlier) WriteEverything(*earlier, "earlier\x1b[2J\xff.json");
    return 0;
}
