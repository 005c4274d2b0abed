// The counting rules of a walk, apart from its scheduling: what each listed
// entry adds, which data was already counted under another name, the top
// lists, the unreadable folders, and the merging of the workers' tallies into
// one result.
//
// A Tally belongs to one worker and is used by one thread; what workers must
// agree on (the names of hard-linked data, the unreadable list) lives in one
// TallyShared. Hard-linked data is counted once in the totals and carried by
// one of its names whatever the walk's order (core/linked_data.h): what the
// others added to their folders and lists is taken out in Merge. Nothing
// here starts a thread, so a test can drive the rules entry by entry.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "core/folder_node.h"
#include "core/folder_tree.h"
#include "core/linked_data.h"
#include "core/scanner.h"

namespace orvane::engine {

struct Sums {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t allocated = 0;
    std::uint64_t apparent = 0;
    std::uint64_t online_only = 0;  // only in the tallies' totals
    std::uint64_t saved = 0;        // only in the tallies' totals
};

// Keeps the `limit` largest items by allocated bytes, then apparent bytes,
// then path key (so the same items whatever order they come in); a min-heap
// so the smallest kept item is the one to beat.
template <typename Item>
class TopList {
public:
    explicit TopList(std::size_t limit) : limit_(limit) {}

    // False when an item of this size cannot be admitted, whatever its key:
    // the key need not be made then.
    bool MayAdmit(std::uint64_t allocated) const {
        return limit_ > 0 &&
               (items_.size() < limit_ || allocated >= items_.front().allocated_bytes);
    }
    // Whether an item of these sizes and key would be kept now: asked before
    // an item is built, since most are turned away (a tree's many files of
    // one small size tie with the smallest kept one).
    bool Admits(std::uint64_t allocated, std::uint64_t apparent, std::uint64_t key) const {
        if (limit_ == 0) return false;
        if (items_.size() < limit_) return true;
        const Item& smallest = items_.front();
        if (allocated != smallest.allocated_bytes) return allocated > smallest.allocated_bytes;
        if (apparent != smallest.apparent_bytes) return apparent > smallest.apparent_bytes;
        return key > smallest.path_key;
    }
    void Add(Item item);
    std::vector<Item>& items() { return items_; }

    static bool Greater(const Item& a, const Item& b) {
        if (a.allocated_bytes != b.allocated_bytes) return a.allocated_bytes > b.allocated_bytes;
        if (a.apparent_bytes != b.apparent_bytes) return a.apparent_bytes > b.apparent_bytes;
        return a.path_key > b.path_key;
    }

private:
    std::size_t limit_;
    std::vector<Item> items_;
};

// A top-list entry keeps its folder rather than its path: the path is built
// once, at the end, so a deep chain whose every level enters the list costs
// time linear in its depth, not quadratic.
struct FolderCandidate {
    std::shared_ptr<const FolderNode> folder;
    std::uint64_t allocated_bytes = 0;
    std::uint64_t apparent_bytes = 0;
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t path_key = 0;
};

struct FileCandidate {
    std::shared_ptr<const FolderNode> folder;  // the folder that lists the file
    NativeString name;
    std::uint64_t allocated_bytes = 0;
    std::uint64_t apparent_bytes = 0;
    std::uint64_t path_key = 0;
    FileIdentity data;  // of remembered data only: whether this name carries it
};

struct ViewHash {
    using is_transparent = void;
    std::size_t operator()(NativeStringView text) const noexcept {
        return std::hash<NativeStringView>{}(text);
    }
};
struct ViewEqual {
    using is_transparent = void;
    bool operator()(NativeStringView a, NativeStringView b) const noexcept { return a == b; }
};

// The identities of the folders being walked (listed, not yet complete), so
// that a folder met again below itself (a bind mount of a folder onto its own
// descendant) is recognised without walking up the path of every folder.
class FoldersInProgress {
public:
    // False when `identity` is `parent` or one of its ancestors: a cycle.
    bool Enter(const FolderNode& parent, const FileIdentity& identity);
    void Enter(const FileIdentity& identity);
    void Leave(const FileIdentity& identity);

private:
    struct Shard {
        std::mutex mutex;
        std::unordered_map<FileIdentity, std::uint32_t, FileIdentityHash> counts;
    };
    Shard& ShardOf(const FileIdentity& identity) {
        return shards_[FileIdentityHash{}(identity) >> 58];
    }
    std::array<Shard, 64> shards_;
};

// What all the tallies of one walk share.
class TallyShared {
public:
    TallyShared(const ScanOptions& options, NativeChar separator)
        : options_(options), separator_(separator), tree_(options.tree_folders) {}

    // Whether data listed so may have further names, and is remembered.
    bool Remembers(const EntryStats& stats) const;
    // Remembers a name of the data listed by `folder` (with its lowered
    // `extension`); false when the data was already counted under another.
    bool MeetName(FolderNode& folder, const DirEntry& entry, NativeStringView extension);
    // Once the walk is over.
    LinkedDataFix FixLinkedData() const { return names_.Fix(linked_.parents()); }
    const DataNames& names() const { return names_; }
    void RecordUnreadable(const FolderNode& folder, OpenError reason);
    FoldersInProgress& folders_in_progress() { return in_progress_; }
    FolderTreeKeeper& tree() { return tree_; }
    // Memory ran out where the walk could not do without it: it stops.
    void NoteOutOfMemory() { out_of_memory_.store(true, std::memory_order_relaxed); }
    bool OutOfMemory() const { return out_of_memory_.load(std::memory_order_relaxed); }
    // Moves the unreadable folders and their count into `result`.
    void MoveUnreadableInto(ScanResult& result);

    const ScanOptions& options() const { return options_; }
    NativeChar separator() const { return separator_; }

private:
    const ScanOptions& options_;
    const NativeChar separator_;
    DataNames names_;
    LinkedFolders linked_;
    FoldersInProgress in_progress_;
    FolderTreeKeeper tree_;
    std::atomic<bool> out_of_memory_{false};
    std::mutex unreadable_mutex_;
    std::uint64_t unreadable_count_ = 0;
    std::vector<UnreadableFolder> unreadable_;
};

class Tally {
public:
    explicit Tally(TallyShared& shared);

    // The starting folder, with its own sizes counted.
    FolderRef StartRoot(const NativeString& root, const EntryStats& self);

    // Counts one entry listed by `folder` into the tally and into `own` (what
    // the folder holds directly, apart from subfolders that are walked); a
    // subfolder to walk is appended to `subfolders`. Returns the allocated
    // bytes the entry added.
    std::uint64_t CountEntry(const FolderRef& folder, const DirEntry& entry, Sums& own,
                             std::vector<FolderRef>& subfolders);

    // An entry listed without a type was tried as a folder, with `error`
    // from opening it: it is counted now, as a file when it is not a folder.
    // False when it turned out a file (nothing to report as unreadable).
    bool SettleKind(FolderNode& entry, OpenError error);

    // The folder's own listing is over: what it holds directly joins its subtree.
    static void FolderListed(FolderNode& folder, const Sums& own);

    // Runs when a folder's own listing or one of its subfolders is done; when
    // that was the last thing the folder waited for, its subtree is complete
    // and handed up, and so on up the chain. True when that completed the
    // starting folder: the whole tree is done.
    bool Complete(FolderRef folder);

    // Adds the tallies of all the workers, in any order, into `result`.
    static void Merge(const std::vector<Tally*>& tallies, TallyShared& shared, ScanResult& result);

private:
    using TypeMap = std::unordered_map<NativeString, FileTypeSize, ViewHash, ViewEqual>;

    // The one place where a folder's whole subtree is known: its node (with
    // its parent link and name) holds the final sums. Offers it to the
    // largest folders and to the tree, and adds its sums to its parent.
    void SubtreeComplete(const FolderRef& folder);
    static void MergeFiles(const std::vector<Tally*>& tallies, const TallyShared& shared,
                           ScanResult& result);
    static void MergeFolders(const std::vector<Tally*>& tallies, const TallyShared& shared,
                             const LinkedDataFix& fix, ScanResult& result);
    static void MergeTypes(const std::vector<Tally*>& tallies, const LinkedDataFix& fix,
                           std::size_t top, ScanResult& result);
    std::uint64_t CountFile(const FolderRef& folder, const DirEntry& entry, Sums& own);
    void CountType(NativeStringView extension, std::uint64_t allocated, std::uint64_t apparent);

    TallyShared& shared_;
    Sums sums_;
    TopList<FileCandidate> largest_files_;
    TopList<FolderCandidate> largest_folders_;
    TypeMap types_;
    FileTypeSize* last_type_ = nullptr;  // in types_
};

}  // namespace orvane::engine
