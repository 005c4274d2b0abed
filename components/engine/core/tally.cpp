// The counting rules (scanner.h states them; docs/report-format.md compares
// them with du and find).
#include "core/tally.h"

#include <algorithm>
#include <utility>

namespace orvane::engine {
namespace {

// Longer suffixes are names with a dot in them rather than file types; not
// counting them as types keeps the table small on odd trees.
constexpr std::size_t kMaxExtension = 16;

// The extension after the last dot, ASCII folded to lower case, into `out`.
// A leading dot (".profile") starts a name, not an extension.
NativeStringView LowerExtension(NativeStringView name, std::array<NativeChar, kMaxExtension>& out) {
    auto dot = name.rfind(NativeChar('.'));
    if (dot == NativeStringView::npos || dot == 0 || dot + 1 == name.size()) return {};
    auto ext = name.substr(dot + 1);
    if (ext.size() > kMaxExtension) return {};
    for (std::size_t i = 0; i < ext.size(); ++i) {
        NativeChar c = ext[i];
        out[i] = (c >= 'A' && c <= 'Z') ? NativeChar(c - 'A' + 'a') : c;
    }
    return NativeStringView(out.data(), ext.size());
}

template <typename Item, typename Key>
void SortLargestFirst(std::vector<Item>& items, Key key, std::size_t limit) {
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.allocated_bytes != b.allocated_bytes) return a.allocated_bytes > b.allocated_bytes;
        if (a.apparent_bytes != b.apparent_bytes) return a.apparent_bytes > b.apparent_bytes;
        return key(a) < key(b);
    });
    if (items.size() > limit) items.resize(limit);
}

FolderSize FolderSizeOf(const FolderCandidate& candidate, NativeChar separator) {
    FolderSize size{{},
                    candidate.allocated_bytes,
                    candidate.apparent_bytes,
                    candidate.files,
                    candidate.folders};
    BuildFullPath(*candidate.folder, separator, size.path);
    return size;
}

FileSize FileSizeOf(const FileCandidate& candidate, NativeChar separator) {
    FileSize size{{}, candidate.allocated_bytes, candidate.apparent_bytes};
    BuildFullPath(*candidate.folder, separator, size.path);
    AppendName(size.path, candidate.name, separator);
    return size;
}

// The `limit` largest of the workers' candidates by the walk's own order:
// the same items whichever worker met which.
template <typename Item>
std::vector<const Item*> LargestAsCounted(std::vector<const Item*> items, std::size_t limit) {
    const std::size_t kept = std::min(items.size(), limit);
    std::partial_sort(items.begin(), items.begin() + kept, items.end(),
                      [](const Item* a, const Item* b) { return TopList<Item>::Greater(*a, *b); });
    items.resize(kept);
    return items;
}

// Names that do not carry their data take places in the largest files while
// the walk cannot tell them yet; the list keeps room for them.
std::size_t FileCandidates(const ScanOptions& options) { return 2 * options.top_count; }

// The tree's folder at `index` as a list entry, its path built from the names
// up its parent links.
FolderSize TreeFolderSizeOf(const FolderTree& tree, std::size_t index, NativeChar separator) {
    const TreeFolder& folder = tree.folders[index];
    FolderSize size{{},
                    folder.subtree.allocated_bytes,
                    folder.subtree.apparent_bytes,
                    folder.subtree.files,
                    folder.subtree.folders};
    std::vector<const NativeString*> names;
    for (std::uint32_t i = static_cast<std::uint32_t>(index); i != TreeFolder::kNoParent;
         i = tree.folders[i].parent)
        names.push_back(&tree.folders[i].name);
    size.path = *names.back();
    for (std::size_t i = names.size() - 1; i-- > 0;) AppendName(size.path, *names[i], separator);
    return size;
}

// The totals counted the first name met of each data; its carrier's sizes
// (the same, unless the listings disagree) replace them.
void CountCarriers(const LinkedDataFix& fix, ScanTotals& totals) {
    totals.allocated_bytes = SaturatingSum(
        Minus(totals.allocated_bytes, fix.first_counted.allocated), fix.carrier_counted.allocated);
    totals.apparent_bytes = SaturatingSum(Minus(totals.apparent_bytes, fix.first_counted.apparent),
                                          fix.carrier_counted.apparent);
    totals.bytes_saturated =
        totals.allocated_bytes == kSaturated || totals.apparent_bytes == kSaturated;
}

void AddType(FileTypeSize& merged, const FileTypeSize& type) {
    merged.files += type.files;
    AddSaturating(merged.allocated_bytes, type.allocated_bytes);
    AddSaturating(merged.apparent_bytes, type.apparent_bytes);
}

}  // namespace

template <typename Item>
void TopList<Item>::Add(Item item) {
    if (limit_ == 0) return;
    if (items_.size() == limit_) {
        if (!Greater(item, items_.front())) return;
        std::pop_heap(items_.begin(), items_.end(), Greater);
        items_.pop_back();
    }
    items_.push_back(std::move(item));
    std::push_heap(items_.begin(), items_.end(), Greater);
}

void FoldersInProgress::Enter(const FileIdentity& identity) {
    if (!identity.known()) return;
    Shard& shard = ShardOf(identity);
    std::lock_guard lock(shard.mutex);
    shard.counts[identity]++;
}

bool FoldersInProgress::Enter(const FolderNode& parent, const FileIdentity& identity) {
    if (!identity.known()) return true;
    Shard& shard = ShardOf(identity);
    std::lock_guard lock(shard.mutex);
    auto [found, fresh] = shard.counts.try_emplace(identity, 0);
    if (!fresh) {
        // Rare (only a folder mounted twice meets this): only now is the path
        // walked up. Ancestors stay in progress while their subtree is walked.
        for (const FolderNode* up = &parent; up; up = up->parent.get()) {
            if (up->identity == identity) return false;
        }
    }
    found->second++;
    return true;
}

void FoldersInProgress::Leave(const FileIdentity& identity) {
    if (!identity.known()) return;
    Shard& shard = ShardOf(identity);
    std::lock_guard lock(shard.mutex);
    auto found = shard.counts.find(identity);
    if (found != shard.counts.end() && --found->second == 0) shard.counts.erase(found);
}

bool TallyShared::Remembers(const EntryStats& stats) const {
    bool shared =
        stats.link_count > 1 ||
        (stats.link_count == 0 && options_.unknown_link_count == UnknownLinkCount::kRememberFileId);
    return shared && stats.file_id != 0;
}

bool TallyShared::MeetName(FolderNode& folder, const DirEntry& entry, NativeStringView extension) {
    if (!Remembers(entry.stats)) return true;
    NameOfData name;
    name.key = PathKeyOf(folder.path_key, entry.name);
    name.bytes = {entry.stats.allocated_bytes, entry.stats.apparent_bytes};
    name.type = TypeKeyOf(extension);
    try {
        name.folder = linked_.IndexOf(folder);
    } catch (const std::bad_alloc&) {
        names_.NoteDropped();
        return true;
    }
    return names_.Meet(IdentityOf(entry.stats), name);
}

void TallyShared::RecordUnreadable(const FolderNode& folder, OpenError reason) {
    std::lock_guard lock(unreadable_mutex_);
    unreadable_count_++;
    if (unreadable_.size() < options_.unreadable_list_limit) {
        NativeString path;
        BuildFullPath(folder, separator_, path);
        unreadable_.push_back(UnreadableFolder{std::move(path), reason});
    }
}

void TallyShared::MoveUnreadableInto(ScanResult& result) {
    std::lock_guard lock(unreadable_mutex_);
    result.totals.hard_links_exact = names_.Complete();
    result.totals.unreadable_folders = unreadable_count_;
    result.unreadable = std::move(unreadable_);
}

Tally::Tally(TallyShared& shared)
    : shared_(shared),
      largest_files_(FileCandidates(shared.options())),
      largest_folders_(shared.options().top_count) {}

FolderRef Tally::StartRoot(const NativeString& root, const EntryStats& self) {
    auto node = std::make_shared<FolderNode>();
    node->name = root;
    node->identity = IdentityOf(self);
    shared_.folders_in_progress().Enter(node->identity);
    node->allocated.store(self.allocated_bytes, std::memory_order_relaxed);
    node->apparent.store(self.apparent_bytes, std::memory_order_relaxed);
    sums_.folders++;
    AddSaturating(sums_.allocated, self.allocated_bytes);
    AddSaturating(sums_.apparent, self.apparent_bytes);
    return node;
}

std::uint64_t Tally::CountEntry(const FolderRef& folder, const DirEntry& entry, Sums& own,
                                std::vector<FolderRef>& subfolders) {
    if (entry.kind == EntryKind::kUnknown) {
        // Counted once opening it tells what it is (SettleKind).
        auto unknown = std::make_shared<FolderNode>();
        unknown->parent = folder;
        unknown->name.assign(entry.name);
        unknown->path_key = PathKeyOf(folder->path_key, entry.name);
        unknown->kind_unknown = true;
        unknown->folders.store(0, std::memory_order_relaxed);
        subfolders.push_back(std::move(unknown));
        return 0;
    }
    if (entry.kind != EntryKind::kDirectory) return CountFile(folder, entry, own);
    const EntryStats& stats = entry.stats;
    sums_.folders++;
    // What a mount point holds, its own size included, belongs to the other
    // file system's used space (du -x leaves it out the same way). A folder
    // that is its own ancestor is counted once, where it was met first.
    if (entry.other_file_system ||
        !shared_.folders_in_progress().Enter(*folder, IdentityOf(stats))) {
        own.folders++;
        return 0;
    }
    AddSaturating(sums_.allocated, stats.allocated_bytes);
    AddSaturating(sums_.apparent, stats.apparent_bytes);
    // A subfolder to walk starts with its own size, which this listing gave.
    auto child = std::make_shared<FolderNode>();
    child->parent = folder;
    child->name.assign(entry.name);
    child->identity = IdentityOf(stats);
    child->path_key = PathKeyOf(folder->path_key, entry.name);
    child->allocated.store(stats.allocated_bytes, std::memory_order_relaxed);
    child->apparent.store(stats.apparent_bytes, std::memory_order_relaxed);
    subfolders.push_back(std::move(child));
    return stats.allocated_bytes;
}

// Every name adds its data's sizes to its folder, its type and the largest
// files, as if it were the only one: sums that do not depend on which name
// the walk meets first. The totals count the data once.
std::uint64_t Tally::CountFile(const FolderRef& folder, const DirEntry& entry, Sums& own) {
    const std::uint64_t allocated = entry.stats.allocated_bytes;
    const std::uint64_t apparent = entry.stats.apparent_bytes;
    std::array<NativeChar, kMaxExtension> buffer;
    const NativeStringView ext = LowerExtension(entry.name, buffer);
    std::uint64_t counted = 0;
    if (shared_.MeetName(*folder, entry, ext)) {
        counted = allocated;
        AddSaturating(sums_.allocated, allocated);
        AddSaturating(sums_.apparent, apparent);
        if (entry.online_only) AddSaturating(sums_.online_only, apparent);
        if (apparent > allocated) AddSaturating(sums_.saved, apparent - allocated);
    }
    sums_.files++;
    own.files++;
    AddSaturating(own.allocated, allocated);
    AddSaturating(own.apparent, apparent);
    CountType(ext, allocated, apparent);
    const FileIdentity data =
        shared_.Remembers(entry.stats) ? IdentityOf(entry.stats) : FileIdentity{};
    // The path key is hashed only where it is used: for data with several
    // names, and to order the largest files.
    std::uint64_t key = data.known() ? PathKeyOf(folder->path_key, entry.name) : 0;
    if (shared_.options().tree_folders > 0) {
        if (!folder->own_files) folder->own_files = std::make_unique<FileShortlist>();
        folder->own_files->Add(entry.name, allocated, apparent, data, key);
    }
    if (!data.known() && largest_files_.MayAdmit(allocated))
        key = PathKeyOf(folder->path_key, entry.name);
    if (largest_files_.Admits(allocated, apparent, key)) {
        largest_files_.Add(
            FileCandidate{folder, NativeString(entry.name), allocated, apparent, key, data});
    }
    return counted;
}

// The files of a folder mostly share a few types, so the last one met is
// tried before the map (whose elements never move).
void Tally::CountType(NativeStringView ext, std::uint64_t allocated, std::uint64_t apparent) {
    if (!last_type_ || last_type_->extension != ext) {
        auto found = types_.find(ext);
        if (found == types_.end()) {
            found = types_.emplace(NativeString(ext), FileTypeSize{NativeString(ext)}).first;
        }
        last_type_ = &found->second;
    }
    last_type_->files++;
    AddSaturating(last_type_->allocated_bytes, allocated);
    AddSaturating(last_type_->apparent_bytes, apparent);
}

bool Tally::SettleKind(FolderNode& entry, OpenError error) {
    if (error == OpenError::kNotDirectory) {
        sums_.files++;
        entry.files.store(1, std::memory_order_relaxed);
        std::array<NativeChar, kMaxExtension> buffer;
        CountType(LowerExtension(entry.name, buffer), 0, 0);
        return false;
    }
    // A folder, or what cannot be told from one: its contents stay unknown
    // either way, so it is reported as an unreadable folder.
    sums_.folders++;
    entry.folders.store(1, std::memory_order_relaxed);
    return true;
}

void Tally::FolderListed(FolderNode& folder, const Sums& own) {
    AddSaturating(folder.allocated, own.allocated);
    AddSaturating(folder.apparent, own.apparent);
    folder.files.fetch_add(own.files, std::memory_order_relaxed);
    folder.folders.fetch_add(own.folders, std::memory_order_relaxed);
}

bool Tally::Complete(FolderRef folder) {
    while (folder) {
        if (folder->pending.fetch_sub(1, std::memory_order_acq_rel) != 1) return false;
        SubtreeComplete(folder);
        if (!folder->parent) return true;
        folder = folder->parent;
    }
    return false;
}

void Tally::SubtreeComplete(const FolderRef& folder) {
    std::uint64_t allocated = folder->allocated.load(std::memory_order_relaxed);
    std::uint64_t apparent = folder->apparent.load(std::memory_order_relaxed);
    std::uint64_t files = folder->files.load(std::memory_order_relaxed);
    std::uint64_t folders = folder->folders.load(std::memory_order_relaxed);
    shared_.folders_in_progress().Leave(folder->identity);
    // An entry listed without a type that turned out a file is no folder.
    if (folders > 0) {
        try {
            if (largest_folders_.Admits(allocated, apparent, folder->path_key))
                largest_folders_.Add(
                    FolderCandidate{folder, allocated, apparent, files, folders, folder->path_key});
            // Keyed by the node, which lives while any subfolder still
            // waits for it; the tree keeps names, its paths are never built.
            shared_.tree().Offer(folder.get(), folder->parent.get(), folder->name,
                                 {allocated, apparent, files, folders},
                                 {folder->path_key, folder->linked.load(std::memory_order_acquire)},
                                 folder->own_files.get());
        } catch (const std::bad_alloc&) {
            shared_.NoteOutOfMemory();  // the sums still go up the chain
        }
        // A folder the tree turned away may still be held by a top list.
        folder->own_files.reset();
    }
    if (FolderNode* parent = folder->parent.get()) {
        AddSaturating(parent->allocated, allocated);
        AddSaturating(parent->apparent, apparent);
        parent->files.fetch_add(files, std::memory_order_relaxed);
        parent->folders.fetch_add(folders, std::memory_order_relaxed);
    }
}

void Tally::Merge(const std::vector<Tally*>& tallies, TallyShared& shared, ScanResult& result) {
    // The totals first: they need no memory, so they survive a shortage below.
    Sums sums;
    for (const Tally* tally : tallies) {
        sums.files += tally->sums_.files;
        sums.folders += tally->sums_.folders;
        AddSaturating(sums.allocated, tally->sums_.allocated);
        AddSaturating(sums.apparent, tally->sums_.apparent);
        AddSaturating(sums.online_only, tally->sums_.online_only);
        AddSaturating(sums.saved, tally->sums_.saved);
    }
    result.totals.files = sums.files;
    result.totals.folders = sums.folders;
    result.totals.allocated_bytes = sums.allocated;
    result.totals.apparent_bytes = sums.apparent;
    result.totals.online_only_bytes = sums.online_only;
    result.totals.compression_saved_bytes = sums.saved;
    shared.MoveUnreadableInto(result);
    const LinkedDataFix fix = shared.FixLinkedData();
    CountCarriers(fix, result.totals);
    shared.tree().TakeOut([&fix](std::uint32_t linked) {
        const ByteCounts excess = fix.Below(linked);
        return FolderSums{excess.allocated, excess.apparent, 0, 0};
    });
    // A kept folder's own files list a name that does not carry its data
    // without bytes, as the largest files do, and its other files lose
    // what such names added.
    shared.tree().SettleOwnFiles(
        [&fix](std::uint32_t linked) {
            const ByteCounts excess = fix.Own(linked);
            return FileSums{excess.allocated, excess.apparent, 0};
        },
        [&shared](const TreeFile& file) {
            return !file.data.known() || shared.names().Carries(file.data, file.path_key);
        });
    result.tree = shared.tree().Take();
    MergeFiles(tallies, shared, result);
    MergeFolders(tallies, shared, fix, result);
    MergeTypes(tallies, fix, shared.options().top_count, result);
}

// The workers' candidates are first cut to the largest as the walk counted
// them, which are the same whichever worker met which: a name that turns out
// not to carry its data must not let in a file that another split of the
// work would have turned away.
void Tally::MergeFiles(const std::vector<Tally*>& tallies, const TallyShared& shared,
                       ScanResult& result) {
    std::vector<const FileCandidate*> candidates;
    for (Tally* tally : tallies) {
        for (const auto& file : tally->largest_files_.items()) candidates.push_back(&file);
    }
    for (const FileCandidate* file :
         LargestAsCounted(candidates, FileCandidates(shared.options()))) {
        FileSize size = FileSizeOf(*file, shared.separator());
        // A name that does not carry its data lists it as it counts it: without bytes.
        if (file->data.known() && !shared.names().Carries(file->data, file->path_key))
            size.allocated_bytes = size.apparent_bytes = 0;
        result.largest_files.push_back(std::move(size));
    }
    SortLargestFirst(
        result.largest_files, [](const FileSize& f) -> const NativeString& { return f.path; },
        shared.options().top_count);
}

// With a tree, the largest folders are its largest, so the two agree; the
// candidates of the walk serve where no tree is kept.
void Tally::MergeFolders(const std::vector<Tally*>& tallies, const TallyShared& shared,
                         const LinkedDataFix& fix, ScanResult& result) {
    const std::size_t top = shared.options().top_count;
    if (result.tree.limit >= top && !result.tree.folders.empty()) {
        const std::size_t count = std::min(top, result.tree.folders.size());
        for (std::size_t i = 0; i < count; ++i)
            result.largest_folders.push_back(TreeFolderSizeOf(result.tree, i, shared.separator()));
    } else {
        std::vector<const FolderCandidate*> candidates;
        for (Tally* tally : tallies) {
            for (const auto& folder : tally->largest_folders_.items())
                candidates.push_back(&folder);
        }
        for (const FolderCandidate* folder : LargestAsCounted(candidates, top)) {
            FolderSize size = FolderSizeOf(*folder, shared.separator());
            const ByteCounts excess =
                fix.Below(folder->folder->linked.load(std::memory_order_relaxed));
            size.allocated_bytes = Minus(size.allocated_bytes, excess.allocated);
            size.apparent_bytes = Minus(size.apparent_bytes, excess.apparent);
            result.largest_folders.push_back(std::move(size));
        }
    }
    SortLargestFirst(
        result.largest_folders, [](const FolderSize& f) -> const NativeString& { return f.path; },
        top);
}

void Tally::MergeTypes(const std::vector<Tally*>& tallies, const LinkedDataFix& fix,
                       std::size_t top, ScanResult& result) {
    TypeMap types;
    for (Tally* tally : tallies) {
        for (auto& [ext, type] : tally->types_) {
            FileTypeSize& merged = types.try_emplace(ext, FileTypeSize{ext}).first->second;
            AddType(merged, type);
        }
    }
    for (auto& [ext, type] : types) {
        auto excess = fix.by_type.find(TypeKeyOf(ext));
        if (excess != fix.by_type.end()) {
            type.allocated_bytes = Minus(type.allocated_bytes, excess->second.allocated);
            type.apparent_bytes = Minus(type.apparent_bytes, excess->second.apparent);
        }
        result.largest_types.push_back(std::move(type));
    }
    SortLargestFirst(
        result.largest_types,
        [](const FileTypeSize& t) -> const NativeString& { return t.extension; }, top);
}

}  // namespace orvane::engine
