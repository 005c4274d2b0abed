#include "cli/text_report.h"

#include <cstdio>

#include "core/report_json.h"

namespace orvane::engine::cli {

std::string GroupDigits(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

std::string HumanBytes(std::uint64_t bytes) {
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        unit++;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f %s", value, kUnits[unit]);
    return buffer;
}

namespace {

std::string Line(const char* label, const std::string& value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "  %-20s", label);
    return buffer + value + "\n";
}

std::string BytesValue(std::uint64_t bytes) {
    return GroupDigits(bytes) + " (" + HumanBytes(bytes) + ")";
}

std::string Seconds(std::chrono::nanoseconds duration) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f s", std::chrono::duration<double>(duration).count());
    return buffer;
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

const char* StatusWord(ScanStatus status) {
    switch (status) {
        case ScanStatus::kCompleted:
            return "";
        case ScanStatus::kCancelled:
            return " (cancelled)";
        case ScanStatus::kRootUnreadable:
            return " (cannot be read)";
        case ScanStatus::kOutOfMemory:
            return " (stopped early: out of memory)";
        case ScanStatus::kNoWorkerThread:
            return " (not scanned: no worker thread could be started)";
        case ScanStatus::kOutOfFileDescriptors:
            return " (stopped early: out of file descriptors)";
    }
    return "";
}

}  // namespace

std::string TextSummary(const ScanResult& result, std::size_t folder_lines) {
    const ScanTotals& totals = result.totals;
    std::string out = ToUtf8Lossy(result.root) + StatusWord(result.status) + "\n";
    out += Line("files", GroupDigits(totals.files));
    out += Line("folders", GroupDigits(totals.folders));
    out += Line("allocated bytes", BytesValue(totals.allocated_bytes));
    out += Line("apparent bytes", BytesValue(totals.apparent_bytes));
    out += Line("unreadable folders", GroupDigits(totals.unreadable_folders));
    out += Line("time", Seconds(totals.duration) + ", " + std::to_string(result.threads) +
                            (result.threads == 1 ? " thread" : " threads"));
    if (result.largest_folders.empty() || folder_lines == 0) return out;
    out += "\nLargest folders (allocated)\n";
    std::size_t shown = 0;
    for (const FolderSize& folder : result.largest_folders) {
        if (shown++ == folder_lines) break;
        out += "  " + PadLeft(HumanBytes(folder.allocated_bytes), 10) + "  " +
               ToUtf8Lossy(folder.path) + "\n";
    }
    if (!result.unreadable.empty()) {
        out += "\nUnreadable folders\n";
        for (const UnreadableFolder& folder : result.unreadable) {
            out += "  " + ToUtf8Lossy(folder.path) + " (" + OpenErrorName(folder.reason) + ")\n";
        }
        if (totals.unreadable_folders > result.unreadable.size()) {
            out += "  ... and " +
                   GroupDigits(totals.unreadable_folders - result.unreadable.size()) + " more\n";
        }
    }
    return out;
}

std::string ProgressLine(const ScanProgress& progress, std::size_t width) {
    std::string head =
        GroupDigits(progress.entries) + " scanned, " + HumanBytes(progress.allocated_bytes) + "  ";
    if (head.size() >= width) return head.substr(0, width);
    std::string folder = ToUtf8Lossy(progress.current_folder);
    std::size_t room = width - head.size();
    // Counted in bytes, so a line of wide characters may end up shorter than
    // the terminal; cutting only at character starts keeps it valid UTF-8.
    if (folder.size() > room) {
        std::size_t cut = folder.size() - room + 3;
        while (cut < folder.size() && (static_cast<unsigned char>(folder[cut]) & 0xC0) == 0x80)
            cut++;
        folder = "..." + folder.substr(cut);
    }
    return head + folder;
}

}  // namespace orvane::engine::cli
