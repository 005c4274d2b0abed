// The comparison on two generated reports: extreme sizes, siblings of one
// name, paths that are prefixes of others, file lists cut or whole, and
// parent links that may point anywhere. Whatever it is given, the list it
// makes is short, ordered, and says of each entry what its numbers say.
#include <cmath>
#include <cstdint>

#include "report/report_json.h"
#include "fuzz_support.h"
#include "report/changes.h"
#include "report/json_reader.h"

namespace {

using namespace orvane::engine;
using orvane::fuzz::Require;

std::vector<FileSize> Files(FuzzedDataProvider& data, const NativeString& root) {
    std::vector<FileSize> files;
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 40);
    for (std::size_t i = 0; i < count && data.remaining_bytes() > 0; ++i) {
        NativeString path = data.ConsumeBool() ? root + kNativeSeparator : NativeString();
        const int depth = data.ConsumeIntegralInRange<int>(1, 4);
        for (int d = 0; d < depth; ++d) {
            if (d > 0) path.push_back(kNativeSeparator);
            path += orvane::fuzz::Name(data);
        }
        const std::uint64_t size = orvane::fuzz::ExtremeSize(data);
        files.push_back({path, size, size});
    }
    return files;
}

void CheckEntry(const SizeChange& c) {
    switch (c.change) {
        case ChangeKind::kNew:
            Require(c.allocated_before == 0 && c.bound == SizeBound::kNone, "new is from nothing");
            break;
        case ChangeKind::kGone:
            Require(c.allocated_after == 0 && c.bound == SizeBound::kNone, "gone is to nothing");
            break;
        case ChangeKind::kGrew:
            Require(c.allocated_after > c.allocated_before && c.bound != SizeBound::kAfter,
                    "grew is larger now");
            break;
        case ChangeKind::kShrank:
            Require(c.allocated_after < c.allocated_before && c.bound != SizeBound::kBefore,
                    "shrank is smaller now");
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const bool sound = data.ConsumeBool();
    report::ReportSnapshot before;
    before.root = data.ConsumeBool() ? NativeString(ORVANE_NATIVE("/r")) : orvane::fuzz::Name(data);
    before.started_at = "2026-12-07T20:22:34Z";
    before.tree = orvane::fuzz::Tree(data, 64, sound, before.root);
    before.largest_files = Files(data, before.root);
    before.totals.files = data.ConsumeIntegralInRange<std::uint64_t>(0, 50);
    ScanResult after;
    after.root = before.root;
    after.tree = orvane::fuzz::Tree(data, 64, sound || data.ConsumeBool(), after.root);
    after.largest_files = Files(data, after.root);
    after.totals.files = data.ConsumeIntegralInRange<std::uint64_t>(0, 50);
    const std::size_t limit = data.ConsumeIntegralInRange<std::size_t>(0, 60);

    const ReportChanges changes = report::ComputeChanges(before, after, "x.json", limit);
    Require(changes.largest_changes.size() <= limit, "no more than the limit");
    for (std::size_t i = 0; i < changes.largest_changes.size(); ++i) {
        CheckEntry(changes.largest_changes[i]);
        if (i > 0) {
            Require(std::fabs(report::SignedChange(changes.largest_changes[i - 1])) >=
                        std::fabs(report::SignedChange(changes.largest_changes[i])),
                    "largest change first");
        }
    }
    ReportAddenda addenda;
    addenda.changes = changes;
    Require(IsValidUtf8(ReportJson(after, addenda)), "the JSON is valid UTF-8");
    return 0;
}
