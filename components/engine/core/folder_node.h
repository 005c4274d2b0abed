// A folder of the walk whose subtree is not finished yet, and the paths built
// from the chain of such folders.
//
// Ownership: a folder is owned by the worker that lists it and by each of its
// subfolders still in the walk, through their parent link; the top lists may
// keep a finished folder (and with it its ancestors) to build its path once,
// at the end. So at any time only the folders on the walk's frontier, their
// ancestors and a bounded number of top-list candidates exist.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/directory_reader.h"
#include "core/file_identity.h"
#include "core/folder_files.h"
#include "core/native_string.h"

namespace orvane::engine {

inline FileIdentity IdentityOf(const EntryStats& stats) { return {stats.device, stats.file_id}; }

// A fixed 64-bit hash of a path below the starting folder, built one name at
// a time: the same names give the same key in every walk, whatever its order,
// its thread count or where the starting folder lies. It orders what the walk
// meets in no useful order (equal sizes, the names of hard-linked data).
constexpr std::uint64_t kStartingFolderKey = 0x6f7276616e650001ull;
std::uint64_t PathKeyOf(std::uint64_t folder_key, NativeStringView name);

// No index in LinkedFolders (core/linked_data.h) yet.
constexpr std::uint32_t kNotLinked = ~std::uint32_t{0};

struct FolderNode {
    FolderNode() = default;
    ~FolderNode();
    FolderNode(const FolderNode&) = delete;
    FolderNode& operator=(const FolderNode&) = delete;

    std::shared_ptr<FolderNode> parent;  // null for the starting folder
    NativeString name;                   // the starting folder holds the root path as given
    FileIdentity identity;               // as its parent's listing gave it
    std::uint64_t path_key = kStartingFolderKey;  // PathKeyOf its path
    // Set once a name of remembered data is met in its subtree.
    std::atomic<std::uint32_t> linked{kNotLinked};
    // Listed without a type: whether it is a folder is known once opened.
    bool kind_unknown = false;
    // The parent's open folder, held until this folder has been opened from it.
    std::shared_ptr<DirectoryHandle> parent_handle;
    // 1 for this folder's own listing plus 1 per subfolder not yet done.
    std::atomic<std::uint32_t> pending{1};
    // The subtree so far; subfolders add theirs when they are done.
    std::atomic<std::uint64_t> allocated{0};
    std::atomic<std::uint64_t> apparent{0};
    std::atomic<std::uint64_t> files{0};
    std::atomic<std::uint64_t> folders{1};
    // The files its own listing counted, for the tree; only the listing
    // thread adds to it, and it is taken once the subtree is complete. Made
    // at the first file, so the many folders of a walk's frontier that hold
    // none cost a pointer.
    std::unique_ptr<FileShortlist> own_files;
};

using FolderRef = std::shared_ptr<FolderNode>;

// Byte counts stop at the largest value rather than wrap: a report that says
// "at least 2^64-1" is honest, a wrapped one is not.
constexpr std::uint64_t kSaturated = ~std::uint64_t{0};

inline std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b) {
    return a > kSaturated - b ? kSaturated : a + b;
}

inline void AddSaturating(std::uint64_t& sum, std::uint64_t value) {
    sum = SaturatingSum(sum, value);
}

inline void AddSaturating(std::atomic<std::uint64_t>& sum, std::uint64_t value) {
    std::uint64_t old = sum.load(std::memory_order_relaxed);
    while (!sum.compare_exchange_weak(old, SaturatingSum(old, value), std::memory_order_relaxed)) {
    }
}

// `value` less `part`, never below 0; a saturated sum stays saturated (its
// true value is unknown).
inline std::uint64_t Minus(std::uint64_t value, std::uint64_t part) {
    if (value == kSaturated) return value;
    return value > part ? value - part : 0;
}

// Appends `name` to `path` with one separator between them.
void AppendName(NativeString& path, NativeStringView name, NativeChar separator);

// The folder's full path, from the starting folder's name down; linear in the
// path's length whatever the depth.
void BuildFullPath(const FolderNode& node, NativeChar separator, NativeString& path);

}  // namespace orvane::engine
