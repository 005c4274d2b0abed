#include "report/assemble_addenda.h"

#include <optional>
#include <string>
#include <utility>

#include "report/changes.h"
#include "report/ledger.h"

namespace orvane::engine::report {
namespace {

std::optional<Ledger> LedgerOf(const ScanResult& result, const SourceFacts& source,
                               LedgerFallback fallback) {
    if (result.status != ScanStatus::kCompleted) return std::nullopt;
    if (const auto& table = source.table_volume) {
        const VolumeInfo volume{table->volume_bytes, table->free_bytes, table->serial};
        return MakeLedger(volume, result.totals, table->explained);
    }
    if (source.method.file_table && fallback == LedgerFallback::kNone) return std::nullopt;
    if (const auto volume = QueryVolume(result.root)) return MakeLedger(*volume, result.totals);
    return std::nullopt;
}

}  // namespace

ReportAddenda AssembleAddenda(const ScanResult& result, const SourceFacts& source,
                              LedgerFallback fallback, const FindEarlierReport& find_earlier) {
    ReportAddenda addenda;
    addenda.method = source.method;
    addenda.ledger = LedgerOf(result, source, fallback);
    if (!find_earlier) return addenda;
    EarlierReport earlier = find_earlier(addenda);
    if (earlier.snapshot)
        addenda.changes = ComputeChanges(*earlier.snapshot, result, std::move(earlier.name));
    return addenda;
}

}  // namespace orvane::engine::report
