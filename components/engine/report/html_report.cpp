#include "report/html_report.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <cstdio>
#include <future>
#include <system_error>

#include "core/scan_names.h"
#include "report/report_json.h"
#include "orvane/format.h"
#include "report/changes.h"
#include "report/html_method.h"
#include "report/html_text.h"
#include "report/page_data.h"
#include "report/page_script.h"
#include "report/report_names.h"
#include "report/sha256.h"
#include "report/treemap.h"

namespace orvane::engine::report {
namespace {

std::string Text(NativeStringView native) { return HtmlEscape(ToUtf8Lossy(native)); }

const char* StatusText(ScanStatus status) {
    switch (status) {
        case ScanStatus::kCompleted:
            return "completed";
        case ScanStatus::kCancelled:
            return "cancelled: the numbers cover what was scanned until then";
        case ScanStatus::kRootUnreadable:
            return "the folder could not be read";
        case ScanStatus::kOutOfMemory:
        case ScanStatus::kNoWorkerThread:
        case ScanStatus::kOutOfFileDescriptors:
            return StatusWords(status);
    }
    return "";
}

// The one script the page may run, named by its hash.
const std::string& ScriptHash() {
    static const std::string hash = CspHashSource(ExploreScript());
    return hash;
}

std::string Head(const ScanResult& result) {
    const std::string root = Text(result.root);
    const std::string when = ReadableTime(Iso8601Utc(result.started_at));
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; img-src data:; script-src " +
        ScriptHash() +
        "\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
        root + " \u2014 Orvane Analyzer report, " + when + "</title>\n<style>" + PageStyle() +
        "</style>\n</head>\n<body>\n<header>\n<h1 id=\"root\">" + root + "</h1>\n";
    out += "<p class=\"meta\">Analysed " + when + " \u00b7 took " +
           orvane::SecondsText(result.totals.duration) + " s \u00b7 " + StatusText(result.status);
    if (result.status == ScanStatus::kRootUnreadable)
        out += std::string(" (") + OpenErrorName(result.root_error) + ")";
    out +=
        "</p>\n<p class=\"note\">Sizes are space on disk, in KB, MB and GB of 1,024 bytes; "
        "point at a size to see its exact number of bytes.</p>\n</header>\n";
    return out;
}

std::string Card(const char* label, const std::string& value) {
    return std::string("<div><span>") + label + "</span>" + value + "</div>";
}

std::string Percent(std::uint64_t part, std::uint64_t whole) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f%%",
                  whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
    return buffer;
}

std::string Totals(const ScanResult& result) {
    const ScanTotals& t = result.totals;
    return "<div class=\"cards\">" + Card("Found", SizeSpan(t.allocated_bytes, "total-allocated")) +
           Card("Files", "<span id=\"total-files\">" + CommaGroupedDigits(t.files) + "</span>") +
           Card("Folders",
                "<span id=\"total-folders\">" + CommaGroupedDigits(t.folders) + "</span>") +
           Card("Unreadable folders",
                "<span>" + CommaGroupedDigits(t.unreadable_folders) + "</span>") +
           Card("Logical size", SizeSpan(t.apparent_bytes)) + "</div>\n";
}

std::string LedgerRow(const char* key_class, const char* label, const std::string& value,
                      const char* note) {
    std::string out = "<tr><td>";
    if (key_class) out += std::string("<span class=\"key ") + key_class + "\"></span>";
    return out + label + "</td><td class=\"n\">" + value + "</td><td>" + note + "</td></tr>\n";
}

std::string SignedSpan(std::int64_t bytes, const char* id) {
    if (bytes >= 0) return SizeSpan(static_cast<std::uint64_t>(bytes), id);
    const auto magnitude = static_cast<std::uint64_t>(-(bytes + 1)) + 1;
    return std::string("<span id=\"") + id + "\" title=\"\u2212" + CommaGroupedDigits(magnitude) +
           " bytes\">\u2212" + HumanSize(magnitude) + "</span>";
}

std::string LedgerSection(const Ledger& l) {
    const std::uint64_t hidden =
        l.remainder_bytes > 0 ? static_cast<std::uint64_t>(l.remainder_bytes) : 0;
    const std::uint64_t found = std::min(l.found_bytes, l.used_bytes);
    std::string out = "<section id=\"ledger\">\n<h2>Where the space went</h2>\n<div class=\"bar\">";
    out += "<div class=\"found\" style=\"width:" + Percent(found, l.volume_bytes) +
           "\" title=\"Found by the scan: " + CommaGroupedDigits(l.found_bytes) + " bytes\"></div>";
    out += "<div class=\"hidden\" style=\"width:" + Percent(hidden, l.volume_bytes) +
           "\" title=\"Used, not visible to the scan: " + CommaGroupedDigits(hidden) +
           " bytes\"></div>";
    out += "<div class=\"free\" style=\"width:" + Percent(l.free_bytes, l.volume_bytes) +
           "\" title=\"Free: " + CommaGroupedDigits(l.free_bytes) +
           " bytes\"></div></div>\n<table>\n";
    out += LedgerRow(nullptr, "Volume size", SizeSpan(l.volume_bytes, "ledger-volume"), "");
    out += LedgerRow(nullptr, "Used", SizeSpan(l.used_bytes, "ledger-used"),
                     "volume size \u2212 free");
    out += LedgerRow("found", "Found by the scan", SizeSpan(l.found_bytes, "ledger-found"),
                     "files and folders, hard-linked data once");
    out += LedgerRow("hidden", "Not visible to the scan",
                     SignedSpan(l.remainder_bytes, "ledger-remainder"),
                     "used \u2212 found: system areas, file system metadata, other users' or "
                     "protected folders, shadow copies");
    out += LedgerRow("free", "Free", SizeSpan(l.free_bytes, "ledger-free"), "");
    out += LedgerRow(nullptr, "Unreadable folders", CommaGroupedDigits(l.unreadable_folders),
                     "their contents are unknown");
    out += LedgerRow(nullptr, "Online-only files", SizeSpan(l.online_only_bytes),
                     "logical size of files whose data is kept elsewhere (not downloaded)");
    out += LedgerRow(nullptr, "Saved by compression", SizeSpan(l.compression_saved_bytes),
                     "logical size above space on disk, for compressed and sparse files");
    return out + "</table>\n</section>\n";
}

// The path of one drawn folder. Drawn folders are few and never deep (each
// level takes a few pixels), so only they get a path, and none is kept.
void AppendTreePath(std::string& out, const FolderTree& tree, std::uint32_t folder) {
    std::uint32_t chain[64];
    std::vector<std::uint32_t> deeper;  // only a tree deeper than any map draws
    std::size_t levels = 0;
    for (std::uint32_t at = folder; at != TreeFolder::kNoParent; at = tree.folders[at].parent) {
        if (levels < std::size(chain)) {
            chain[levels++] = at;
        } else {
            deeper.push_back(at);
        }
    }
    NativeString path;
    auto add = [&](std::uint32_t at) {
        if (!path.empty() && path.back() != kNativeSeparator) path.push_back(kNativeSeparator);
        path += tree.folders[at].name;
    };
    for (auto at = deeper.rbegin(); at != deeper.rend(); ++at) add(*at);
    for (std::size_t i = levels; i-- > 0;) add(chain[i]);
    out += HtmlEscape(ToUtf8Lossy(path));
}

// Each top-level folder gets its own hue; deeper levels are lighter.
void AppendFill(std::string& out, const FolderTree& tree, std::uint32_t index, unsigned depth,
                std::vector<int>& branch) {
    const TreeFolder& f = tree.folders[index];
    if (f.parent == TreeFolder::kNoParent) {
        branch[index] = -1;
    } else if (tree.folders[f.parent].parent == TreeFolder::kNoParent) {
        branch[index] = static_cast<int>(index);
    } else {
        branch[index] = branch[f.parent];
    }
    if (branch[index] < 0) {
        out += "#7a8a99";
        return;
    }
    out += "hsl(";
    out += std::to_string((branch[index] * 67 + 200) % 360);
    out += ",55%,";
    out += std::to_string(std::min(88, 50 + 7 * static_cast<int>(depth)));
    out += "%)";
}

// One decimal, as "%.1f" writes it but without the cost of formatting a
// double: the map writes several per rectangle, thousands of rectangles.
void AppendTenths(std::string& out, double value) {
    const long long tenths = std::llround(value * 10);
    const unsigned long long magnitude = tenths < 0 ? 0ull - static_cast<unsigned long long>(tenths)
                                                    : static_cast<unsigned long long>(tenths);
    if (tenths < 0) out += '-';
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, magnitude / 10).ptr;
    out.append(digits, end);
    out += '.';
    out += static_cast<char>('0' + magnitude % 10);
}

std::string Number(double value) {
    std::string out;
    AppendTenths(out, value);
    return out;
}

// One attribute with a coordinate: ` name="12.5"`.
void AppendCoordinate(std::string& out, const char* name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    AppendTenths(out, value);
    out += '"';
}

void AppendCellSvg(std::string& out, const FolderTree& tree, const TreemapCell& cell,
                   std::vector<int>& branch) {
    const TreeFolder& f = tree.folders[cell.folder];
    const std::uint64_t bytes = cell.other ? f.other.allocated_bytes : f.subtree.allocated_bytes;
    out += cell.other      ? "<g class=\"other\"><title>"
           : cell.labelled ? "<g class=\"cell l\"><title>"
                           : "<g class=\"cell\"><title>";
    AppendTreePath(out, tree, cell.folder);
    if (cell.other) out += " \u2014 files and smaller folders";
    out += " \u2014 ";
    out += HumanSize(bytes);
    out += " (";
    out += CommaGroupedDigits(bytes);
    out += " bytes)</title><rect";
    AppendCoordinate(out, "x", cell.rect.x);
    AppendCoordinate(out, "y", cell.rect.y);
    AppendCoordinate(out, "width", cell.rect.w);
    AppendCoordinate(out, "height", cell.rect.h);
    if (!cell.other) {
        out += " fill=\"";
        AppendFill(out, tree, cell.folder, cell.depth, branch);
        out += '"';
    }
    out += "/>";
    if (cell.labelled) {
        const auto chars = static_cast<std::size_t>(std::max(1.0, (cell.rect.w - 6) / 7.0));
        out += "<text";
        AppendCoordinate(out, "x", cell.rect.x + 3);
        AppendCoordinate(out, "y", cell.rect.y + 11);
        out += '>';
        out += HtmlEscape(Shortened(ToUtf8Lossy(f.name), chars));
        out += "</text>";
    }
    out += "</g>\n";
}

std::string TreemapSection(const ScanResult& result) {
    std::string out = "<section id=\"map\">\n<h2>Folder map</h2>\n";
    TreemapOptions options;
    const std::vector<TreemapCell> cells = LayoutTreemap(result.tree, options);
    if (cells.empty()) return out + "<p class=\"note\">Nothing to show.</p>\n</section>\n";
    out +=
        "<p class=\"note\">Each rectangle is a folder, its area its size; grey areas are files "
        "and folders too small to show. Point at one for its path and size.</p>\n";
    out += "<svg class=\"map\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
           Number(options.width) + " " + Number(options.height) +
           "\" role=\"img\" aria-label=\"Folder map\">\n";
    std::vector<int> branch(result.tree.folders.size(), -1);
    for (const TreemapCell& cell : cells) AppendCellSvg(out, result.tree, cell, branch);
    return out + "</svg>\n</section>\n";
}

// A size the other report could only bound reads "at most".
std::string SizeOrBound(const SizeChange& c, bool before) {
    const std::uint64_t bytes = before ? c.allocated_before : c.allocated_after;
    const bool bound = c.bound == (before ? SizeBound::kBefore : SizeBound::kAfter);
    return bound ? "at most " + SizeSpan(bytes) : SizeSpan(bytes);
}

std::string PreviousLink(const PreviousTotals& previous) {
    const std::string when = HtmlEscape(ReadableTime(previous.started_at));
    if (previous.report.size() < 5 || previous.report.substr(previous.report.size() - 5) != ".json")
        return when;
    const std::string html = previous.report.substr(0, previous.report.size() - 5) + ".html";
    return "<a href=\"" + UrlEscape(html) + "\">" + when + "</a>";
}

std::string ChangesSection(const ScanResult& result, const ReportAddenda& addenda,
                           const HtmlOptions& options) {
    std::string out = "<section id=\"changes\">\n<h2>What changed</h2>\n";
    if (!addenda.changes && !options.unreadable_previous.empty()) {
        return out + "<p>Nothing to compare with: the earlier report " +
               HtmlEscape(options.unreadable_previous) + " could not be read (" +
               HtmlEscape(options.unreadable_reason) + ").</p>\n</section>\n";
    }
    if (!addenda.changes) {
        return out +
               (result.status == ScanStatus::kRootUnreadable
                    ? "<p>Nothing to compare: the drive could not be read.</p>\n"
                : options.looked_for_previous
                    ? "<p>Nothing to compare with: this is the first report of this drive.</p>\n"
                    : "<p>Nothing to compare with.</p>\n") +
               "</section>\n";
    }
    const ReportChanges& changes = *addenda.changes;
    out += "<p>Since the report of " + PreviousLink(changes.previous) + ":</p>\n<table>\n";
    out +=
        "<tr><th></th><th class=\"n\">then</th><th class=\"n\">now</th><th "
        "class=\"n\">change</th></tr>\n";
    if (changes.previous.used_bytes && addenda.ledger) {
        out += "<tr><td>Used</td><td class=\"n\">" + SizeSpan(*changes.previous.used_bytes) +
               "</td><td class=\"n\">" + SizeSpan(addenda.ledger->used_bytes) +
               "</td><td class=\"n\">" +
               ChangeSpan(*changes.previous.used_bytes, addenda.ledger->used_bytes) +
               "</td></tr>\n";
    }
    const std::uint64_t before = changes.previous.allocated_bytes,
                        after = result.totals.allocated_bytes;
    out += "<tr><td>Found by the scan</td><td class=\"n\">" + SizeSpan(before) +
           "</td><td class=\"n\">" + SizeSpan(after) + "</td><td class=\"n\">" +
           ChangeSpan(before, after) + "</td></tr>\n</table>\n";
    if (changes.largest_changes.empty())
        return out + "<p>No folder or file changed in size.</p>\n</section>\n";
    out +=
        "<h3>Largest changes</h3>\n<table id=\"largest-changes\">\n<tr><th>path</th><th></th><th "
        "class=\"n\">then</th>"
        "<th class=\"n\">now</th><th class=\"n\">change</th></tr>\n";
    for (const SizeChange& c : changes.largest_changes) {
        out += "<tr><td class=\"path\">" + Text(c.path) +
               (c.folder ? "" : " <small>(file)</small>") + "</td><td>" + ChangeKindName(c.change) +
               "</td><td class=\"n\">" + SizeOrBound(c, true) + "</td><td class=\"n\">" +
               SizeOrBound(c, false) + "</td><td class=\"n\">" +
               (c.bound == SizeBound::kNone ? "" : "at least ") +
               ChangeSpan(c.allocated_before, c.allocated_after) + "</td></tr>\n";
    }
    return out + "</table>\n</section>\n";
}

// From the kept tree, distinct places with their own files beside their
// totals; without a tree, the scan's own list.
std::string FoldersSection(const ScanResult& result) {
    std::string out = "<section id=\"folders\">\n<h2>Largest folders</h2>\n";
    if (result.tree.folders.empty()) {
        out +=
            "<table>\n<tr><th>folder</th><th class=\"n\">size</th><th "
            "class=\"n\">files</th></tr>\n";
        for (const FolderSize& f : result.largest_folders) {
            out += "<tr><td class=\"path\">" + Text(f.path) + "</td><td class=\"n\">" +
                   SizeSpan(f.allocated_bytes) + "</td><td class=\"n\">" +
                   CommaGroupedDigits(f.files) + "</td></tr>\n";
        }
        return out + "</table>\n</section>\n";
    }
    out +=
        "<p class=\"note\">A folder that holds nothing but one subfolder is named by that "
        "subfolder; <i>own files</i> is what lies directly in the folder.</p>\n<table>\n"
        "<tr><th>folder</th><th class=\"n\">size</th><th class=\"n\">own files</th><th "
        "class=\"n\">files</th></tr>\n";
    constexpr std::size_t kShown = 20;
    for (const DistinctFolder& f : DistinctLargestFolders(result.tree, kShown, kNativeSeparator)) {
        out += "<tr><td class=\"path\">" + Text(f.path) + "</td><td class=\"n\">" +
               SizeSpan(f.subtree.allocated_bytes) + "</td><td class=\"n\">" +
               SizeSpan(f.own_bytes) + "</td><td class=\"n\">" +
               CommaGroupedDigits(f.subtree.files) + "</td></tr>\n";
    }
    return out + "</table>\n</section>\n";
}

std::string ListsSection(const ScanResult& result) {
    std::string out = FoldersSection(result);
    out +=
        "<section id=\"files\">\n<h2>Largest files</h2>\n<table>\n"
        "<tr><th>file</th><th class=\"n\">size</th></tr>\n";
    for (const FileSize& f : result.largest_files) {
        out += "<tr><td class=\"path\">" + Text(f.path) + "</td><td class=\"n\">" +
               SizeSpan(f.allocated_bytes) + "</td></tr>\n";
    }
    out +=
        "</table>\n</section>\n<section id=\"types\">\n<h2>Largest file types</h2>\n<table>\n"
        "<tr><th>type</th><th class=\"n\">size</th><th class=\"n\">files</th></tr>\n";
    for (const FileTypeSize& t : result.largest_types) {
        std::string name = t.extension.empty() ? "(no extension)" : ".";
        if (!t.extension.empty()) name += Text(t.extension);
        out += "<tr><td>" + name + "</td><td class=\"n\">" + SizeSpan(t.allocated_bytes) +
               "</td><td class=\"n\">" + CommaGroupedDigits(t.files) + "</td></tr>\n";
    }
    return out + "</table>\n</section>\n";
}

// Every reason has its words: a switch without a default, so a new reason
// that is not given any is a compiler warning rather than a read past a table.
const char* ReasonWords(OpenError reason) {
    switch (reason) {
        case OpenError::kNone:
            return "";
        case OpenError::kAccessDenied:
            return "access denied";
        case OpenError::kNotFound:
            return "deleted during the scan";
        case OpenError::kNotDirectory:
            return "replaced by a file or link during the scan";
        case OpenError::kOther:
            return "other error";
        case OpenError::kNoDescriptors:
            return "too many open files";
    }
    return "other error";
}

std::string UnreadableSection(const ScanResult& result) {
    std::string out = "<section id=\"unreadable\">\n<h2>Unreadable folders</h2>\n";
    if (result.totals.unreadable_folders == 0)
        return out + "<p>None: every folder could be read.</p>\n</section>\n";
    out += "<p>" + CommaGroupedDigits(result.totals.unreadable_folders) +
           " folders could not be read; what they hold is not counted.</p>\n<table>\n"
           "<tr><th>folder</th><th>reason</th></tr>\n";
    for (const UnreadableFolder& f : result.unreadable) {
        out += "<tr><td class=\"path\">" + Text(f.path) + "</td><td>" + ReasonWords(f.reason) +
               "</td></tr>\n";
    }
    return out + "</table>\n</section>\n";
}

// The script's data, most of a big page, made on a thread of its own while
// the rest of the page is: both only read the finished scan. A small tree's
// data takes less than starting a thread, and without a thread the data is
// made in its turn.
std::future<std::string> PageDataAlongside(const ScanResult& result) {
    constexpr std::size_t kFoldersWorthAThread = 1000;
    if (result.tree.folders.size() < kFoldersWorthAThread) return {};
    try {
        return std::async(std::launch::async,
                          [&result] { return PageDataJson(result, kNativeSeparator); });
    } catch (const std::system_error&) {
        return {};
    }
}

}  // namespace

std::string ReportHtml(const ScanResult& result, const ReportAddenda& addenda,
                       const HtmlOptions& options) {
    std::future<std::string> data = PageDataAlongside(result);
    std::string out;
    out.reserve(65536 + 300 * result.tree.folders.size());  // map and data: about that per folder
    out += Head(result);
    out += "<section id=\"totals\">\n<h2>Totals</h2>\n" + Totals(result) + "</section>\n";
    out += MethodSection(addenda);
    if (addenda.ledger) out += LedgerSection(*addenda.ledger);
    out += TreemapSection(result);
    out += ChangesSection(result, addenda, options);
    out += ListsSection(result);
    out += UnreadableSection(result);
    if (!result.tree.folders.empty()) {
        // Data, never markup: the script reads it and sets names as text.
        out += "<script type=\"application/json\" id=\"tree-data\">";
        out += data.valid() ? data.get() : PageDataJson(result, kNativeSeparator);
        out += "</script>\n<script>";
        out += ExploreScript();
        out += "</script>\n";
    }
    out += "<footer><p class=\"note\">Written by Orvane Analyzer.</p></footer>\n</body>\n</html>\n";
    return out;
}

}  // namespace orvane::engine::report
