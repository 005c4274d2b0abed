// Why the keeper can work online: a folder is offered after all its
// subfolders, and it is strictly larger than each of them. A kept child can
// only be evicted after everything in the heap grew above it, so by the
// time its parent is offered, either the child is gone or the parent is
// admitted; the kept set therefore never loses a parent of a kept folder.
#include "core/folder_tree.h"

#include <algorithm>
#include <tuple>

#include "core/folder_node.h"

namespace orvane::engine {
namespace {

bool Less(const FolderSums& a, std::uint64_t a_key, const FolderSums& b, std::uint64_t b_key) {
    return std::tie(a.allocated_bytes, a.folders, a_key) <
           std::tie(b.allocated_bytes, b.folders, b_key);
}

void Subtract(FolderSums& from, const FolderSums& part) {
    from.allocated_bytes -= part.allocated_bytes;
    from.apparent_bytes -= part.apparent_bytes;
    from.files -= part.files;
    from.folders -= part.folders;
}

}  // namespace

bool FolderTreeKeeper::Smaller(std::uint32_t a, std::uint32_t b) const {
    return Less(entries_[a].subtree, entries_[a].ids.path_key, entries_[b].subtree,
                entries_[b].ids.path_key);
}

bool FolderTreeKeeper::Admits(const FolderSums& subtree, std::uint64_t path_key) const {
    if (limit_ == 0) return false;
    if (heap_.size() < limit_) return true;
    const HeapItem& smallest = heap_.front();
    return std::tie(smallest.allocated, smallest.folders, smallest.path_key) <
           std::tie(subtree.allocated_bytes, subtree.folders, path_key);
}

void FolderTreeKeeper::Offer(const void* key, const void* parent_key, NativeStringView name,
                             const FolderSums& subtree, Ids ids, FileShortlist* files) {
    // Most folders of a big tree are too small once the heap is full: they
    // are turned away without the lock. Their kept children, if they ever
    // had any, were all evicted already; the sweep forgets their lists.
    if (limit_ == 0 || subtree.allocated_bytes < reject_below_.load(std::memory_order_relaxed))
        return;
    std::lock_guard lock(mutex_);
    if (!Admits(subtree, ids.path_key)) {
        waiting_.erase(key);
        return;
    }
    if (heap_.size() == limit_) EvictSmallest();
    const std::uint32_t slot = Store(name, subtree, ids, files ? files->Take() : OwnFiles());
    heap_.push_back({subtree.allocated_bytes, subtree.folders, ids.path_key, slot});
    std::push_heap(heap_.begin(), heap_.end(), HeapItem::Greater);
    if (heap_.size() == limit_)
        reject_below_.store(heap_.front().allocated, std::memory_order_relaxed);
    AdoptChildren(key, slot);
    if (parent_key) {
        WaitForParent(parent_key, slot);
    } else {
        root_slot_ = slot;
    }
}

std::uint32_t FolderTreeKeeper::Store(NativeStringView name, const FolderSums& subtree, Ids ids,
                                      OwnFiles files) {
    std::uint32_t slot;
    if (!free_slots_.empty()) {
        slot = free_slots_.back();
        free_slots_.pop_back();
    } else {
        slot = static_cast<std::uint32_t>(entries_.size());
        entries_.emplace_back();
    }
    Entry& entry = entries_[slot];
    entry.name.assign(name);
    entry.subtree = subtree;
    entry.ids = ids;
    entry.files = std::move(files);
    entry.serial = next_serial_++;
    entry.parent = TreeFolder::kNoParent;
    return slot;
}

void FolderTreeKeeper::EvictSmallest() {
    std::pop_heap(heap_.begin(), heap_.end(), HeapItem::Greater);
    const std::uint32_t slot = heap_.back().slot;
    heap_.pop_back();
    entries_[slot].serial = 0;
    entries_[slot].name = NativeString();
    entries_[slot].files = OwnFiles();
    free_slots_.push_back(slot);
}

void FolderTreeKeeper::AdoptChildren(const void* key, std::uint32_t slot) {
    auto found = waiting_.find(key);
    if (found == waiting_.end()) return;
    for (auto [child, serial] : found->second.children) {
        if (entries_[child].serial == serial) entries_[child].parent = slot;
    }
    waiting_.erase(found);
}

void FolderTreeKeeper::WaitForParent(const void* parent_key, std::uint32_t slot) {
    if (waiting_.size() >= sweep_at_) SweepWaiting();
    Waiting& waiting = waiting_[parent_key];
    waiting.children.emplace_back(slot, entries_[slot].serial);
    if (waiting.children.size() < waiting.prune_at) return;
    // A folder with a great many subfolders sees many come and go: forget
    // the evicted ones now and then, so the list stays near the kept count.
    std::erase_if(waiting.children,
                  [&](const auto& child) { return entries_[child.first].serial != child.second; });
    waiting.prune_at = 2 * waiting.children.size() + 16;
}

// Lists whose children were all evicted belong to folders turned away (or
// to be turned away): at most one list per kept folder survives.
void FolderTreeKeeper::SweepWaiting() {
    std::erase_if(waiting_, [&](const auto& item) {
        return std::none_of(
            item.second.children.begin(), item.second.children.end(),
            [&](const auto& child) { return entries_[child.first].serial == child.second; });
    });
    sweep_at_ = 2 * waiting_.size() + 1024;
}

void FolderTreeKeeper::TakeOut(const std::function<FolderSums(std::uint32_t)>& excess) {
    std::lock_guard lock(mutex_);
    for (const HeapItem& item : heap_) {
        Entry& entry = entries_[item.slot];
        const FolderSums part = excess(entry.ids.linked);
        entry.subtree.allocated_bytes = Minus(entry.subtree.allocated_bytes, part.allocated_bytes);
        entry.subtree.apparent_bytes = Minus(entry.subtree.apparent_bytes, part.apparent_bytes);
    }
}

void FolderTreeKeeper::SettleOwnFiles(const std::function<FileSums(std::uint32_t)>& own_excess,
                                      const std::function<bool(const TreeFile&)>& carries) {
    std::lock_guard lock(mutex_);
    for (const HeapItem& item : heap_) {
        Entry& entry = entries_[item.slot];
        if (entry.ids.linked == TreeFolderIds{}.linked) continue;
        FileSums excess = own_excess(entry.ids.linked);
        auto& listed = entry.files.largest;
        const auto kept = std::stable_partition(listed.begin(), listed.end(), carries);
        for (auto file = kept; file != listed.end(); ++file) {
            // Counted in the rest now, without the bytes it never carried.
            entry.files.rest.files++;
            excess.allocated_bytes = Minus(excess.allocated_bytes, file->allocated_bytes);
            excess.apparent_bytes = Minus(excess.apparent_bytes, file->apparent_bytes);
        }
        listed.erase(kept, listed.end());
        FileSums& rest = entry.files.rest;
        rest.allocated_bytes = Minus(rest.allocated_bytes, excess.allocated_bytes);
        rest.apparent_bytes = Minus(rest.apparent_bytes, excess.apparent_bytes);
    }
}

FolderTree FolderTreeKeeper::Take() {
    std::lock_guard lock(mutex_);
    FolderTree tree;
    tree.limit = limit_;
    std::vector<std::uint32_t> kept;
    for (const HeapItem& item : heap_) kept.push_back(item.slot);
    std::sort(kept.begin(), kept.end(), [this](std::uint32_t a, std::uint32_t b) {
        if (Smaller(b, a)) return true;
        if (Smaller(a, b)) return false;
        return entries_[a].name < entries_[b].name;  // equal keys: a hash collision
    });
    std::vector<std::uint32_t> index_of(entries_.size(), TreeFolder::kNoParent);
    for (std::uint32_t slot : kept) {
        const Entry& entry = entries_[slot];
        const bool is_root = slot == root_slot_;
        if (tree.folders.empty() != is_root) continue;  // the root, and only it, comes first
        std::uint32_t parent = TreeFolder::kNoParent;
        if (!is_root) {
            // Only a walk that was taken before it ended leaves a folder
            // without its parent; such a folder cannot be placed.
            if (entry.parent == TreeFolder::kNoParent) continue;
            parent = index_of[entry.parent];
            if (parent == TreeFolder::kNoParent) continue;
        }
        index_of[slot] = static_cast<std::uint32_t>(tree.folders.size());
        TreeFolder folder{entry.name,
                          parent,
                          entry.subtree,
                          entry.subtree,
                          std::move(entries_[slot].files.largest),
                          entry.files.rest};
        folder.other.folders -= 1;  // the folder itself
        if (!is_root) Subtract(tree.folders[parent].other, entry.subtree);
        tree.folders.push_back(std::move(folder));
    }
    heap_.clear();
    waiting_.clear();
    entries_.clear();
    free_slots_.clear();
    root_slot_ = TreeFolder::kNoParent;
    reject_below_.store(0, std::memory_order_relaxed);
    return tree;
}

}  // namespace orvane::engine
