// The K largest folders of a walk, with their parent links, kept while the
// walk goes on so that a report can draw the tree to any depth that matters.
//
// A folder's subtree is never smaller than one of its subfolders', and ties
// are broken by the number of folders in the subtree (a parent always has
// more), then by the folder's path key, so the K largest form a tree with the
// root at the top and are the same K whatever order the walk offers them in.
// Folders are offered once, when their whole subtree is done (children before
// parents); the keeper holds at most K of them plus, per folder still being
// walked, the few of its kept children that wait for it to learn their parent.
// Memory is bounded by K and by the folders being worked on, never by the
// number of files or folders.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/folder_files.h"
#include "core/native_string.h"

namespace orvane::engine {

struct FolderSums {
    std::uint64_t allocated_bytes = 0;
    std::uint64_t apparent_bytes = 0;
    std::uint64_t files = 0;
    std::uint64_t folders = 0;  // the folder itself included
};

struct TreeFolder {
    static constexpr std::uint32_t kNoParent = std::numeric_limits<std::uint32_t>::max();
    NativeString name;                 // the root: the starting path; others: their own name
    std::uint32_t parent = kNoParent;  // index in FolderTree::folders
    FolderSums subtree;
    // What the kept subfolders do not cover: the files directly inside and
    // the subfolders that were not kept, with everything below them.
    // subtree = other + the kept children's subtrees (folders: + 1 itself).
    FolderSums other;
    // Part of `other`: the files directly inside, the largest by name and the
    // rest summed (largest + other_files = all the folder's own files).
    std::vector<TreeFile> largest_files;
    FileSums other_files;
};

struct FolderTree {
    std::size_t limit = 0;  // K
    // Largest first, so every parent comes before its children; the root,
    // when there is one, is folders[0].
    std::vector<TreeFolder> folders;
};

// How the walk knows a folder beyond its sizes.
struct TreeFolderIds {
    std::uint64_t path_key = 0;  // orders folders of equal sizes
    std::uint32_t linked = std::numeric_limits<std::uint32_t>::max();  // for TakeOut
};

class FolderTreeKeeper {
public:
    using Ids = TreeFolderIds;

    explicit FolderTreeKeeper(std::size_t limit) : limit_(limit) {}
    FolderTreeKeeper(const FolderTreeKeeper&) = delete;
    FolderTreeKeeper& operator=(const FolderTreeKeeper&) = delete;

    // A folder whose subtree is complete. `key` stands for it until it is
    // offered itself; `parent_key` is its parent's (null for the root), which
    // must still be unoffered. Callable from any thread.
    // `files`, when given, is taken only if the folder is kept: most folders
    // are not, and sorting their lists would be wasted.
    void Offer(const void* key, const void* parent_key, NativeStringView name,
               const FolderSums& subtree, Ids ids = {}, FileShortlist* files = nullptr);
    // Once every folder has been offered: takes out of each kept folder's
    // bytes what `excess(ids.linked)` says its subtree counted too much
    // (allocated and apparent bytes only).
    void TakeOut(const std::function<FolderSums(std::uint32_t linked)>& excess);
    // Then: each kept folder's listed files that `carries` turns down keep
    // their name without bytes (they join the rest), and the rest loses what
    // `own_excess(ids.linked)` says the folder's own names counted too much.
    void SettleOwnFiles(const std::function<FileSums(std::uint32_t linked)>& own_excess,
                        const std::function<bool(const TreeFile&)>& carries);
    // The tree, once every folder has been offered.
    FolderTree Take();

private:
    struct Entry {
        NativeString name;
        FolderSums subtree;
        Ids ids;
        OwnFiles files;
        std::uint64_t serial = 0;  // 0: the slot is free
        std::uint32_t parent = TreeFolder::kNoParent;
    };
    struct Waiting {  // kept children of a folder not offered yet
        std::vector<std::pair<std::uint32_t, std::uint64_t>> children;  // slot, serial
        std::size_t prune_at = 16;
    };

    bool Admits(const FolderSums& subtree, std::uint64_t path_key) const;
    bool Smaller(std::uint32_t a, std::uint32_t b) const;
    std::uint32_t Store(NativeStringView name, const FolderSums& subtree, Ids ids, OwnFiles files);
    void EvictSmallest();
    void AdoptChildren(const void* key, std::uint32_t slot);
    void WaitForParent(const void* parent_key, std::uint32_t slot);
    void SweepWaiting();

    const std::size_t limit_;
    std::mutex mutex_;
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> free_slots_;
    struct HeapItem {  // the key beside the slot: sifting touches no entry
        std::uint64_t allocated;
        std::uint64_t folders;
        std::uint64_t path_key;
        std::uint32_t slot;
        static bool Greater(const HeapItem& a, const HeapItem& b) {
            if (a.allocated != b.allocated) return a.allocated > b.allocated;
            if (a.folders != b.folders) return a.folders > b.folders;
            return a.path_key > b.path_key;
        }
    };
    std::vector<HeapItem> heap_;  // the kept folders, smallest on top
    std::unordered_map<const void*, Waiting> waiting_;
    std::uint64_t next_serial_ = 1;
    std::uint32_t root_slot_ = TreeFolder::kNoParent;
    std::size_t sweep_at_ = 1024;
    // The smallest kept size once the heap is full: smaller folders are
    // turned away without the lock.
    std::atomic<std::uint64_t> reject_below_{0};
};

}  // namespace orvane::engine
