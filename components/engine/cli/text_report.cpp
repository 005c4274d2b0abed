#include "cli/text_report.h"

#include <cstdio>
#include <limits>

#include "core/native_string.h"
#include "core/scan_names.h"
#include "report/report_names.h"
#include "orvane/format.h"

namespace orvane::engine::cli {

std::string HumanBytes(std::uint64_t bytes) {
    static constexpr SizeUnitNames kNames{{"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"}, " B", " B"};
    return BinarySize(bytes, kNames);
}

std::string DisplayText(NativeStringView name) { return DisplayUtf8(ToUtf8Lossy(name)); }

std::string DisplayUtf8(std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    const std::string utf8 = ToUtf8Lossy(bytes);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else if (byte == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            // U+0080..U+009F: the C1 controls, CSI among them.
            const auto code = static_cast<unsigned char>(utf8[++i]);
            out += "\\u00";
            out += kHex[code >> 4];
            out += kHex[code & 0xF];
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

namespace {

// Drops whole characters from the start of `text` until at most `room`
// bytes are left, counting "..." in front; nothing at all when even that
// does not fit.
std::string KeepEnd(const std::string& text, std::size_t room) {
    if (text.size() <= room) return text;
    if (room <= 3) return std::string();
    std::size_t cut = text.size() - (room - 3);
    // Cutting only at character starts keeps it valid UTF-8.
    while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) cut++;
    return "..." + text.substr(cut);
}

std::string Line(const char* label, const std::string& value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "  %-20s", label);
    return buffer + value + "\n";
}

// A count that reached the largest value stopped there: the truth is more.
const char* AtLeast(std::uint64_t bytes) {
    return bytes == std::numeric_limits<std::uint64_t>::max() ? "at least " : "";
}

std::string BytesValue(std::uint64_t bytes) {
    return AtLeast(bytes) + CommaGroupedDigits(bytes) + " (" + HumanBytes(bytes) + ")";
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

}  // namespace

std::string TextSummary(const ScanResult& result, std::size_t folder_lines) {
    const ScanTotals& totals = result.totals;
    std::string out = DisplayText(result.root);
    if (result.status != ScanStatus::kCompleted)
        out += std::string(" (") + StatusWords(result.status) + ")";
    out += "\n";
    out += Line("files", CommaGroupedDigits(totals.files));
    out += Line("folders", CommaGroupedDigits(totals.folders));
    out += Line("allocated bytes", BytesValue(totals.allocated_bytes));
    out += Line("apparent bytes", BytesValue(totals.apparent_bytes));
    out += Line("unreadable folders", CommaGroupedDigits(totals.unreadable_folders));
    out += Line("time", orvane::SecondsText(totals.duration) + " s, " +
                            std::to_string(result.threads) +
                            (result.threads == 1 ? " thread" : " threads"));
    if (result.largest_folders.empty() || folder_lines == 0) return out;
    out += "\nLargest folders (allocated)\n";
    std::size_t shown = 0;
    for (const FolderSize& folder : result.largest_folders) {
        if (shown++ == folder_lines) break;
        out += "  " +
               PadLeft(AtLeast(folder.allocated_bytes) + HumanBytes(folder.allocated_bytes), 10) +
               "  " + DisplayText(folder.path) + "\n";
    }
    if (!result.unreadable.empty()) {
        out += "\nUnreadable folders\n";
        for (const UnreadableFolder& folder : result.unreadable) {
            out += "  " + DisplayText(folder.path) + " (" + OpenErrorName(folder.reason) + ")\n";
        }
        if (totals.unreadable_folders > result.unreadable.size()) {
            out += "  ... and " +
                   CommaGroupedDigits(totals.unreadable_folders - result.unreadable.size()) +
                   " more\n";
        }
    }
    return out;
}

namespace {

// What the file table tells of the used bytes outside the tree.
std::string ExplainedText(const ExplainedBytes& explained) {
    std::string out = Line("metadata", BytesValue(explained.metadata));
    out += Line("folder indexes", BytesValue(explained.folder_indexes));
    out += Line("alternate streams", BytesValue(explained.alternate_streams));
    out += Line("other attributes", BytesValue(explained.other_attributes));
    out += Line("orphaned, damaged", BytesValue(explained.orphaned_damaged));
    return out;
}

}  // namespace

std::string LedgerText(const Ledger& ledger) {
    std::string out = "\nSpace on the volume\n";
    out += Line("volume size", BytesValue(ledger.volume_bytes));
    out += Line("used", BytesValue(ledger.used_bytes));
    out += Line("found by the scan", BytesValue(ledger.found_bytes));
    if (ledger.explained) {
        out += "  of the rest, as the file table tells:\n";
        out += ExplainedText(*ledger.explained);
    }
    const bool negative = ledger.remainder_bytes < 0;
    const std::uint64_t remainder =
        negative ? static_cast<std::uint64_t>(-(ledger.remainder_bytes + 1)) + 1
                 : static_cast<std::uint64_t>(ledger.remainder_bytes);
    std::string value = negative ? "-" : "";
    value += BytesValue(remainder);
    out += Line("not visible",
                value += ledger.explained
                             ? ", used - found - the above: nothing else is known to hold it"
                             : ", used - found: system areas, metadata, protected folders");
    out += Line("free", BytesValue(ledger.free_bytes));
    out += Line("online-only files", BytesValue(ledger.online_only_bytes));
    out += Line("compression saves", BytesValue(ledger.compression_saved_bytes));
    return out;
}

namespace {

std::string SignedHuman(std::uint64_t before, std::uint64_t after) {
    std::string out(1, after >= before ? '+' : '-');
    return out += HumanBytes(after >= before ? after - before : before - after);
}

// What a bounded size says: the report of that time did not list the file.
std::string BoundNote(const SizeChange& change) {
    switch (change.bound) {
        case SizeBound::kBefore:
            return " (not listed before: was at most " + HumanBytes(change.allocated_before) + ")";
        case SizeBound::kAfter:
            return " (not listed now: is at most " + HumanBytes(change.allocated_after) + ")";
        case SizeBound::kNone:
            break;
    }
    return "";
}

}  // namespace

std::string ChangesText(const ReportChanges& changes, std::uint64_t allocated_now,
                        std::size_t lines) {
    std::string out = "\nChanges since " + DisplayUtf8(changes.previous.started_at) + "\n";
    out += Line("found then", BytesValue(changes.previous.allocated_bytes));
    out += Line("found now", BytesValue(allocated_now) + ", " +
                                 SignedHuman(changes.previous.allocated_bytes, allocated_now));
    std::size_t shown = 0;
    for (const SizeChange& change : changes.largest_changes) {
        if (shown++ == lines) break;
        std::string word = ChangeKindName(change.change);
        word.resize(6, ' ');
        out += "  " + PadLeft(SignedHuman(change.allocated_before, change.allocated_after), 11) +
               "  " + word + "  " + DisplayText(change.path) + (change.folder ? "" : " (file)") +
               BoundNote(change) + "\n";
    }
    if (changes.largest_changes.empty()) out += "  no folder or file changed in size\n";
    return out;
}

std::string ProgressLine(const ScanProgress& progress, std::size_t width) {
    const std::string head = CommaGroupedDigits(progress.entries) + " scanned, " +
                             HumanBytes(progress.allocated_bytes) + "  ";
    if (head.size() >= width) return head.substr(0, width);
    // Counted in bytes, so a line of wide characters may end up shorter than
    // the terminal.
    return head + KeepEnd(DisplayText(progress.current_folder), width - head.size());
}

}  // namespace orvane::engine::cli
