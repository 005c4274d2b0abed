#include "report/report_index.h"

#include <algorithm>
#include <map>

#include "report/html_text.h"

namespace orvane::engine::report {
namespace {

// Two reports of one second are told apart by the "-2", "-3"... that the
// later ones get before their extension.
unsigned long SameSecondNumber(const std::string& name) {
    constexpr std::size_t kStem = 17;  // "C-20261207-201530"
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot <= kStem + 1 || name[kStem] != '-') return 1;
    unsigned long number = 0;
    for (std::size_t i = kStem + 1; i < dot; ++i) {
        if (name[i] < '0' || name[i] > '9' || number > 100000) return 1;
        number = number * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    return number;
}

}  // namespace

bool Unreadable(const IndexEntry& entry) { return entry.status == "root_unreadable"; }

bool Newer(const IndexEntry& a, const IndexEntry& b) {
    if (a.started_at != b.started_at) return a.started_at > b.started_at;
    const unsigned long x = SameSecondNumber(a.json_name), y = SameSecondNumber(b.json_name);
    if (x != y) return x > y;
    return a.json_name > b.json_name;
}

namespace {

std::string Row(const IndexEntry& entry, const IndexEntry* previous) {
    const std::string& target = entry.html_name.empty() ? entry.json_name : entry.html_name;
    std::string out = "<tr><td>" + HtmlEscape(entry.drive) + "</td><td><a href=\"" +
                      UrlEscape(target) + "\">" + HtmlEscape(ReadableTime(entry.started_at)) +
                      "</a>";
    if (Unreadable(entry)) {
        // Nothing was found on it: no size and no change would be true.
        return out + " <small class=\"unread\">(the drive could not be read)</small>" +
               "</td><td class=\"n\">\u2014</td><td class=\"n\">\u2014</td><td "
               "class=\"n\">not read</td></tr>\n";
    }
    if (entry.status != "completed") out += " <small>(" + HtmlEscape(entry.status) + ")</small>";
    out += "</td><td class=\"n\">" +
           (entry.used_bytes ? SizeSpan(*entry.used_bytes) : std::string("\u2014")) +
           "</td><td class=\"n\">" + SizeSpan(entry.found_bytes) + "</td><td class=\"n\">";
    if (previous) {
        out += ChangeSpan(previous->found_bytes, entry.found_bytes);
    } else {
        out += "first report";
    }
    return out + "</td></tr>\n";
}

}  // namespace

std::string IndexHtml(std::vector<IndexEntry> entries) {
    std::sort(entries.begin(), entries.end(), Newer);
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
        "'unsafe-inline'\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Orvane Analyzer reports</title>\n<style>" +
        std::string(PageStyle()) + "</style>\n</head>\n<body>\n<h1>Orvane Analyzer reports</h1>\n";
    if (entries.empty()) {
        return out +
               "<p id=\"empty\">No drive has been analysed yet. Run Orvane Analyzer, choose the "
               "drives "
               "and click Next: each drive's report will be listed here.</p>\n</body>\n</html>\n";
    }
    out += "<p class=\"note\">Newest first; the newest " + std::to_string(kReportsKeptPerVolume) +
           " reports of each drive are kept. Sizes in KB, MB and GB of 1,024 bytes. Change: found "
           "by the "
           "scan, against the drive's report before.</p>\n<table "
           "id=\"reports\">\n<tr><th>drive</th><th>analysed</th>"
           "<th class=\"n\">used</th><th class=\"n\">found</th><th class=\"n\">change</th></tr>\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IndexEntry* previous = nullptr;
        for (std::size_t k = i + 1; k < entries.size() && !previous; ++k) {
            if (entries[k].volume_key == entries[i].volume_key && entries[k].status == "completed")
                previous = &entries[k];
        }
        out += Row(entries[i], previous);
    }
    return out + "</table>\n</body>\n</html>\n";
}

std::vector<std::size_t> EntriesToRetire(const std::vector<IndexEntry>& entries, std::size_t keep) {
    // A drive that could not be read has a report with nothing in it: those
    // take none of the places of the volume's reports, and of them only the
    // newest of each drive stays, to say that its last analysis failed.
    std::map<std::string, std::vector<std::size_t>> by_volume, unread_by_drive;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (Unreadable(entries[i])) {
            unread_by_drive[entries[i].drive].push_back(i);
        } else {
            by_volume[entries[i].volume_key].push_back(i);
        }
    }
    std::vector<std::size_t> retire;
    auto retire_beyond = [&](std::vector<std::size_t>& indexes, std::size_t kept) {
        std::sort(indexes.begin(), indexes.end(),
                  [&](std::size_t a, std::size_t b) { return Newer(entries[a], entries[b]); });
        for (std::size_t k = kept; k < indexes.size(); ++k) retire.push_back(indexes[k]);
    };
    for (auto& [key, indexes] : by_volume) retire_beyond(indexes, keep);
    for (auto& [drive, indexes] : unread_by_drive) retire_beyond(indexes, 1);
    std::sort(retire.begin(), retire.end());
    return retire;
}

}  // namespace orvane::engine::report
