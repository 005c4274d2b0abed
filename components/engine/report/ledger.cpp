#include "report/ledger.h"

#include <limits>

#include "core/folder_node.h"
#include "core/native_string.h"

namespace orvane::engine::report {
namespace {

// The difference of two byte counts, saturated to the signed range (a
// volume beyond 8 EiB does not exist, but the arithmetic must not wrap).
std::int64_t Difference(std::uint64_t a, std::uint64_t b) {
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (a >= b)
        return a - b > kMax ? std::numeric_limits<std::int64_t>::max()
                            : static_cast<std::int64_t>(a - b);
    return b - a > kMax ? std::numeric_limits<std::int64_t>::min()
                        : -static_cast<std::int64_t>(b - a);
}

}  // namespace

Ledger MakeLedger(const VolumeInfo& volume, const ScanTotals& totals,
                  const std::optional<ExplainedBytes>& explained) {
    Ledger ledger;
    ledger.volume_bytes = volume.total_bytes;
    ledger.free_bytes = volume.free_bytes;
    ledger.used_bytes =
        volume.total_bytes > volume.free_bytes ? volume.total_bytes - volume.free_bytes : 0;
    ledger.found_bytes = totals.allocated_bytes;
    ledger.explained = explained;
    const std::uint64_t accounted =
        SaturatingSum(ledger.found_bytes, explained ? explained->Sum() : 0);
    ledger.remainder_bytes = Difference(ledger.used_bytes, accounted);
    ledger.unreadable_folders = totals.unreadable_folders;
    ledger.online_only_bytes = totals.online_only_bytes;
    ledger.compression_saved_bytes = totals.compression_saved_bytes;
    ledger.volume_serial = volume.serial;
    return ledger;
}

std::string VolumeKey(const std::string& serial, const NativeString& root) {
    if (!serial.empty()) return "serial:" + serial;
    std::string drive = ToUtf8Lossy(root);
    // "C:\" and "c:" are one drive.
    if (drive.size() >= 2 && drive[1] == ':') {
        char letter = drive[0];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
        return std::string("drive:") + letter;
    }
    return "root:" + drive;
}

}  // namespace orvane::engine::report
