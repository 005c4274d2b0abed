// The page of a generated scan with hostile names (markup, quotes, control
// characters, text that is not valid in its encoding) and extreme trees and
// numbers: whatever the names, the page stays well-formed, every element
// one the writer meant, closed where it was opened.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report/report_json.h"
#include "fuzz_support.h"
#include "report/html_report.h"
#include "report/json_reader.h"

namespace {

using namespace orvane::engine;
using orvane::fuzz::Require;

bool IsVoid(std::string_view tag) {
    for (std::string_view v : {"meta", "rect", "br", "img", "input", "link", "!doctype"})
        if (tag == v) return true;
    return false;
}

// Tags nest and close in order; attribute values are quoted and hold no
// '<' or '"'; no text holds a '<' that opens nothing.
void CheckWellFormed(const std::string& page) {
    std::vector<std::string> open;
    std::size_t at = 0;
    while ((at = page.find('<', at)) != std::string::npos) {
        const bool closing = page.compare(at, 2, "</") == 0;
        std::size_t end = at + (closing ? 2 : 1);
        while (end < page.size() &&
               (std::isalnum(static_cast<unsigned char>(page[end])) || page[end] == '!'))
            end++;
        std::string tag = page.substr(at + (closing ? 2 : 1), end - at - (closing ? 2 : 1));
        for (char& c : tag) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        Require(!tag.empty(), "a '<' that opens an element");
        bool quoted = false;
        while (end < page.size() && (quoted || page[end] != '>')) {
            Require(page[end] != '<', "no '<' inside a tag");
            if (page[end] == '"') quoted = !quoted;
            end++;
        }
        Require(end < page.size(), "every tag ends");
        const bool self_closed = page[end - 1] == '/';
        if (closing) {
            Require(!open.empty() && open.back() == tag, "elements close in order");
            open.pop_back();
        } else if (!IsVoid(tag) && !self_closed) {
            open.push_back(tag);
            if (tag == "style" || tag == "script") {
                end = page.find("</" + tag, end);
                Require(end != std::string::npos, "raw text ends");
                end--;
            }
        }
        at = end + 1;
    }
    Require(open.empty(), "every element is closed");
}

ScanResult Scan(FuzzedDataProvider& data) {
    ScanResult scan;
    scan.root = orvane::fuzz::Name(data);
    scan.status = static_cast<ScanStatus>(data.ConsumeIntegralInRange<int>(0, 5));
    scan.totals.allocated_bytes = orvane::fuzz::ExtremeSize(data);
    scan.totals.apparent_bytes = orvane::fuzz::ExtremeSize(data);
    scan.totals.files = orvane::fuzz::ExtremeSize(data);
    scan.totals.unreadable_folders = orvane::fuzz::ExtremeSize(data);
    scan.tree = orvane::fuzz::Tree(data, 200, true, scan.root);
    for (int i = data.ConsumeIntegralInRange<int>(0, 5); i > 0; --i) {
        const std::uint64_t bytes = orvane::fuzz::ExtremeSize(data);
        scan.largest_folders.push_back({orvane::fuzz::Name(data), bytes, bytes, 1, 1});
        scan.largest_files.push_back({orvane::fuzz::Name(data), bytes, bytes});
        scan.largest_types.push_back({orvane::fuzz::Name(data), 1, bytes, bytes});
        scan.unreadable.push_back({orvane::fuzz::Name(data),
                                   static_cast<OpenError>(data.ConsumeIntegralInRange<int>(1, 4))});
    }
    return scan;
}

ReportAddenda Addenda(FuzzedDataProvider& data) {
    ReportAddenda addenda;
    if (data.ConsumeBool()) {
        Ledger ledger;
        ledger.volume_bytes = orvane::fuzz::ExtremeSize(data);
        ledger.used_bytes = orvane::fuzz::ExtremeSize(data);
        ledger.free_bytes = orvane::fuzz::ExtremeSize(data);
        ledger.found_bytes = orvane::fuzz::ExtremeSize(data);
        ledger.remainder_bytes = data.ConsumeIntegral<std::int64_t>();
        addenda.ledger = ledger;
    }
    if (data.ConsumeBool()) {
        ReportChanges changes;
        changes.previous.started_at = data.ConsumeRandomLengthString(30);
        changes.previous.report = data.ConsumeRandomLengthString(30);
        for (int i = data.ConsumeIntegralInRange<int>(0, 4); i > 0; --i) {
            SizeChange c;
            c.path = orvane::fuzz::Name(data);
            c.folder = data.ConsumeBool();
            c.change = static_cast<ChangeKind>(data.ConsumeIntegralInRange<int>(0, 3));
            c.bound = static_cast<SizeBound>(data.ConsumeIntegralInRange<int>(0, 2));
            c.allocated_before = orvane::fuzz::ExtremeSize(data);
            c.allocated_after = orvane::fuzz::ExtremeSize(data);
            changes.largest_changes.push_back(c);
        }
        addenda.changes = changes;
    }
    return addenda;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const ScanResult scan = Scan(data);
    const ReportAddenda addenda = Addenda(data);
    report::HtmlOptions options;
    options.looked_for_previous = data.ConsumeBool();
    const std::string page = report::ReportHtml(scan, addenda, options);
    Require(IsValidUtf8(page), "the page is valid UTF-8");
    CheckWellFormed(page);
    Require(IsValidUtf8(ReportJson(scan, addenda)), "the JSON is valid UTF-8");
    return 0;
}
