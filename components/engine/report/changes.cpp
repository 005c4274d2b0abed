#include "report/changes.h"

#include <algorithm>
#include <map>

namespace orvane::engine::report {
namespace {

struct KnownFolder {
    std::uint64_t allocated = 0;
    bool all_subfolders_kept = false;
};

// Folder paths relative to the root ("" is the root itself).
using FolderMap = std::map<NativeString, KnownFolder>;

FolderMap FoldersByPath(const FolderTree& tree) {
    FolderMap map;
    std::vector<NativeString> paths(tree.folders.size());
    for (std::size_t i = 0; i < tree.folders.size(); ++i) {
        const TreeFolder& folder = tree.folders[i];
        if (folder.parent != TreeFolder::kNoParent) {
            const NativeString& parent = paths[folder.parent];
            paths[i] = parent.empty() ? folder.name : parent + kNativeSeparator + folder.name;
        }
        map[paths[i]] = {folder.subtree.allocated_bytes, folder.other.folders == 0};
    }
    return map;
}

NativeString ParentOf(const NativeString& path) {
    const auto cut = path.rfind(kNativeSeparator);
    return cut == NativeString::npos ? NativeString() : path.substr(0, cut);
}

// True when the tree shows for certain that `path` (not in it) did not exist.
bool CertainlyAbsent(const FolderMap& tree, const NativeString& path) {
    if (tree.empty() || path.empty()) return false;
    const NativeString parent = ParentOf(path);
    auto found = tree.find(parent);
    if (found != tree.end()) return found->second.all_subfolders_kept;
    return CertainlyAbsent(tree, parent);
}

NativeString Prefix(const NativeString& root) {
    if (root.empty() || root.back() == kNativeSeparator) return root;
    return root + kNativeSeparator;
}

NativeString Join(const NativeString& root, const NativeString& relative) {
    return relative.empty() ? root : Prefix(root) + relative;
}

using FileMap = std::map<NativeString, std::uint64_t>;

FileMap FilesByPath(const std::vector<FileSize>& files, const NativeString& root) {
    FileMap map;
    const NativeString prefix = Prefix(root);
    for (const FileSize& file : files) {
        if (file.path.compare(0, prefix.size(), prefix) != 0) continue;
        map.emplace(file.path.substr(prefix.size()), file.allocated_bytes);
    }
    return map;
}

struct Candidate {
    NativeString relative;
    bool folder = true;
    std::uint64_t before = 0;
    std::uint64_t after = 0;
    long double Change() const {
        return static_cast<long double>(after) - static_cast<long double>(before);
    }
};

void FolderCandidates(const FolderMap& before, const FolderMap& after,
                      std::vector<Candidate>& out) {
    for (const auto& [path, folder] : after) {
        if (path.empty()) continue;
        auto old = before.find(path);
        if (old != before.end()) {
            if (old->second.allocated != folder.allocated)
                out.push_back({path, true, old->second.allocated, folder.allocated});
        } else if (CertainlyAbsent(before, path)) {
            out.push_back({path, true, 0, folder.allocated});
        }
    }
    for (const auto& [path, folder] : before) {
        if (!path.empty() && !after.count(path) && CertainlyAbsent(after, path))
            out.push_back({path, true, folder.allocated, 0});
    }
}

// A folder's change that one subfolder accounts for (nine tenths of it or
// more, the rest being the folder's own size and files).
void DropExplainedFolders(std::vector<Candidate>& candidates) {
    std::map<NativeString, std::vector<long double>> child_changes;
    for (const Candidate& c : candidates) {
        if (c.folder) child_changes[ParentOf(c.relative)].push_back(c.Change());
    }
    std::erase_if(candidates, [&](const Candidate& c) {
        if (!c.folder) return false;
        auto found = child_changes.find(c.relative);
        if (found == child_changes.end()) return false;
        const long double change = c.Change();
        return std::any_of(found->second.begin(), found->second.end(), [&](long double child) {
            return change > 0 ? child >= change * 0.9L : child <= change * 0.9L;
        });
    });
}

void FileCandidates(const ReportSnapshot& before, const ScanResult& after,
                    std::vector<Candidate>& out) {
    const FileMap old_files = FilesByPath(before.largest_files, before.root);
    const FileMap new_files = FilesByPath(after.largest_files, after.root);
    // A list as long as the file count held every file.
    const bool old_complete = before.largest_files.size() == before.totals.files;
    const bool new_complete = after.largest_files.size() == after.totals.files;
    for (const auto& [path, size] : new_files) {
        auto old = old_files.find(path);
        if (old != old_files.end()) {
            if (old->second != size) out.push_back({path, false, old->second, size});
        } else if (old_complete && size != 0) {
            out.push_back({path, false, 0, size});
        }
    }
    for (const auto& [path, size] : old_files) {
        if (!new_files.count(path) && new_complete && size != 0)
            out.push_back({path, false, size, 0});
    }
}

}  // namespace

long double SignedChange(const SizeChange& change) {
    return static_cast<long double>(change.allocated_after) -
           static_cast<long double>(change.allocated_before);
}

ReportChanges ComputeChanges(const ReportSnapshot& before, const ScanResult& after,
                             std::string before_name, std::size_t limit) {
    ReportChanges changes;
    changes.previous = PreviousTotalsOf(before, std::move(before_name));
    std::vector<Candidate> candidates;
    FolderCandidates(FoldersByPath(before.tree), FoldersByPath(after.tree), candidates);
    DropExplainedFolders(candidates);
    FileCandidates(before, after, candidates);
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        const long double x = a.Change() < 0 ? -a.Change() : a.Change();
        const long double y = b.Change() < 0 ? -b.Change() : b.Change();
        if (x != y) return x > y;
        return a.relative < b.relative;
    });
    if (candidates.size() > limit) candidates.resize(limit);
    for (const Candidate& c : candidates) {
        changes.largest_changes.push_back(
            {Join(after.root, c.relative), c.folder, c.before, c.after});
    }
    return changes;
}

}  // namespace orvane::engine::report
