// What the report page's script explores, and the lists the page draws from
// the kept tree. The tree reaches the script only as data: one JSON text,
// escaped so that it can sit inside a <script type="application/json">
// element and no name can end that element or open a comment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/scanner.h"

namespace orvane::engine::report {

// Compact: {"sep": "/", "types": [[ext, bytes], ...], "f": [folder, ...]}, one
// folder an array [name, parent (-1 for the root), bytes, files, other bytes,
// other folders, [file name, bytes, file name, bytes, ...]] in the tree's
// order (other: what the kept subfolders do not cover, as in the tree).
std::string PageDataJson(const ScanResult& result, NativeChar separator);

// JSON string text safe inside a script element: <, > and & (and the two
// line separators JavaScript once took for line ends) as \u escapes.
void AppendScriptSafeJsonString(std::string& out, std::string_view utf8);

struct DistinctFolder {
    std::uint32_t folder = 0;  // index in the tree
    NativeString path;
    FolderSums subtree;
    std::uint64_t own_bytes = 0;  // the files directly inside
};

// The `count` largest kept folders that are distinct places: a folder that
// holds nothing but one kept subfolder (a chain like a, a/b, a/b/c) gives way
// to that subfolder, so one deep chain cannot fill the list with its levels.
std::vector<DistinctFolder> DistinctLargestFolders(const FolderTree& tree, std::size_t count,
                                                   NativeChar separator);

}  // namespace orvane::engine::report
