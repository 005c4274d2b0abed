// The reports folder's index page and how many reports it keeps: every
// report newest first, linked, with the change since the one before it of
// the same volume; the newest 20 reports of each volume are kept, and of a
// drive that could not be read the newest failed one, which the index marks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::engine::report {

struct IndexEntry {
    std::string json_name;  // file names in the folder, UTF-8
    std::string html_name;  // empty when the report has no page
    std::string drive;      // the report's root
    std::string volume_key;
    std::string started_at;  // ISO 8601, UTC
    std::string status;
    std::optional<std::uint64_t> used_bytes;
    std::uint64_t found_bytes = 0;
};

constexpr std::size_t kReportsKeptPerVolume = 20;

// A report of a drive whose root could not be opened: it holds nothing.
bool Unreadable(const IndexEntry& entry);

// Whether `a` was started after `b` (reports of one second by their names).
bool Newer(const IndexEntry& a, const IndexEntry& b);

// The page; with no entries it says that no drive has been analysed yet.
std::string IndexHtml(std::vector<IndexEntry> entries);

// Indexes of the entries beyond the newest `keep` of their volume; reports
// of a drive that could not be read count apart, the newest of each drive kept.
std::vector<std::size_t> EntriesToRetire(const std::vector<IndexEntry>& entries,
                                         std::size_t keep = kReportsKeptPerVolume);

}  // namespace orvane::engine::report
