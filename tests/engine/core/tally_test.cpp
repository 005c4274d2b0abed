// The counting rules driven entry by entry, on one thread and without a
// backend: what a listed entry adds, when a folder's subtree is complete, and
// how the workers' tallies merge.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/tally.h"
#include "failing_allocator.h"
#include "fake_reader.h"

namespace orvane::engine {
namespace {

#define N(text) ORVANE_NATIVE(text)

DirEntry Entry(NativeStringView name, EntryKind kind, std::uint64_t allocated,
               std::uint64_t apparent, std::uint64_t id = 0, std::uint32_t links = 1) {
    DirEntry entry;
    entry.name = name;
    entry.kind = kind;
    entry.stats.allocated_bytes = allocated;
    entry.stats.apparent_bytes = apparent;
    entry.stats.file_id = id;
    entry.stats.link_count = links;
    return entry;
}

// One folder's listing: counts `entries`, hands back the subfolders to walk.
std::vector<FolderRef> List(Tally& tally, const FolderRef& folder,
                            const std::vector<DirEntry>& entries) {
    Sums own;
    std::vector<FolderRef> subfolders;
    for (const DirEntry& entry : entries) tally.CountEntry(folder, entry, own, subfolders);
    Tally::FolderListed(*folder, own);
    folder->pending.fetch_add(static_cast<std::uint32_t>(subfolders.size()));
    return subfolders;
}

TEST(TallyRules, ASubtreeCompletesAfterAllItsFoldersAndTalliesMergeInAnyOrder) {
    ScanOptions options;
    TallyShared shared(options, '/');
    Tally first(shared);
    Tally second(shared);
    FolderRef root =
        first.StartRoot(N("/r"), Entry(N(""), EntryKind::kDirectory, 4096, 4096).stats);
    auto subfolders = List(first, root,
                           {Entry(N("x.LOG"), EntryKind::kFile, 8192, 8000, 9, 2),
                            Entry(N("a"), EntryKind::kDirectory, 4096, 10),
                            Entry(N("b"), EntryKind::kDirectory, 4096, 20)});
    ASSERT_EQ(subfolders.size(), 2u);
    EXPECT_FALSE(first.Complete(root));  // its own listing is done, a and b are not

    // "a", walked by another worker, holds the data's second name and a mount point.
    DirEntry mount = Entry(N("m"), EntryKind::kDirectory, 4096, 4096);
    mount.other_file_system = true;
    EXPECT_TRUE(
        List(second, subfolders[0], {Entry(N("y.log"), EntryKind::kFile, 8192, 8000, 9, 2), mount})
            .empty());
    EXPECT_FALSE(second.Complete(subfolders[0]));
    EXPECT_EQ(root->pending.load(), 1u);
    EXPECT_TRUE(List(first, subfolders[1], {}).empty());
    EXPECT_TRUE(first.Complete(subfolders[1]));  // the last folder ends the tree

    ScanResult result;
    Tally::Merge({&second, &first}, shared, result);
    EXPECT_EQ(result.totals.files, 2u);
    EXPECT_EQ(result.totals.folders, 4u);  // the mount point counts, without bytes
    EXPECT_EQ(result.totals.allocated_bytes, 3 * 4096u + 8192);
    EXPECT_EQ(result.totals.apparent_bytes, 4096u + 10 + 20 + 8000);
    // One of the data's two names carries it, in the list and in its folder.
    ASSERT_EQ(result.largest_files.size(), 2u);
    EXPECT_EQ(result.largest_files[0].allocated_bytes, 8192u);
    EXPECT_EQ(result.largest_files[1].allocated_bytes, 0u);
    const bool a_carries = result.largest_files[0].path == N("/r/a/y.log");
    ASSERT_EQ(result.largest_folders.size(), 3u);
    EXPECT_EQ(result.largest_folders[0].path, N("/r"));
    EXPECT_EQ(result.largest_folders[0].allocated_bytes, result.totals.allocated_bytes);
    EXPECT_EQ(result.largest_folders[0].folders, 4u);
    // Without the data, a ties b on allocated bytes: apparent bytes decide.
    const FolderSize& a = result.largest_folders[a_carries ? 1 : 2];
    EXPECT_EQ(result.largest_folders[a_carries ? 2 : 1].path, N("/r/b"));
    EXPECT_EQ(a.path, N("/r/a"));
    EXPECT_EQ(a.allocated_bytes, 4096u + (a_carries ? 8192 : 0));
    EXPECT_EQ(a.files, 1u);
    EXPECT_EQ(a.folders, 2u);
    ASSERT_EQ(result.largest_types.size(), 1u);
    EXPECT_EQ(result.largest_types[0].extension, N("log"));
    EXPECT_EQ(result.largest_types[0].files, 2u);
}

// Where the data is elsewhere or compressed, a second name of it adds
// nothing, as it adds no bytes; the tree gets each subtree as it completes.
TEST(TallyRules, OnlineOnlyAndSavedBytesCountDataOnceAndTheTreeGetsEveryFolder) {
    ScanOptions options;
    TallyShared shared(options, '/');
    Tally tally(shared);
    FolderRef root = tally.StartRoot(N("/r"), Entry(N(""), EntryKind::kDirectory, 0, 0).stats);
    DirEntry cloud = Entry(N("c.doc"), EntryKind::kFile, 0, 5000, 7, 2);
    cloud.online_only = true;
    DirEntry packed = Entry(N("p.bin"), EntryKind::kFile, 4096, 10000);
    auto subfolders =
        List(tally, root, {cloud, packed, Entry(N("s"), EntryKind::kDirectory, 0, 0)});
    ASSERT_EQ(subfolders.size(), 1u);
    cloud.name = N("second-name.doc");
    EXPECT_TRUE(List(tally, subfolders[0], {cloud}).empty());
    EXPECT_FALSE(tally.Complete(root));
    EXPECT_TRUE(tally.Complete(subfolders[0]));

    ScanResult result;
    Tally::Merge({&tally}, shared, result);
    EXPECT_EQ(result.totals.online_only_bytes, 5000u);
    EXPECT_EQ(result.totals.compression_saved_bytes, 5000u + 10000 - 4096);
    ASSERT_EQ(result.tree.folders.size(), 2u);
    EXPECT_EQ(result.tree.folders[0].name, N("/r"));
    EXPECT_EQ(result.tree.folders[0].subtree.files, 3u);
    EXPECT_EQ(result.tree.folders[0].other.files, 2u);
    EXPECT_EQ(result.tree.folders[1].name, N("s"));
    EXPECT_EQ(result.tree.folders[1].parent, 0u);
}

TEST(TallyRules, DataWhoseIdentityFindsNoMemoryIsCountedAndTheResultSaysSo) {
    ScanOptions options;
    TallyShared shared(options, '/');
    FolderNode folder;
    const DirEntry remembered = Entry(N("a"), EntryKind::kFile, 4096, 1, 7, 2);
    const DirEntry forgotten = Entry(N("b"), EntryKind::kFile, 4096, 1, 8, 2);
    EXPECT_TRUE(shared.MeetName(folder, remembered, {}));
    bool first, again, remembered_again;
    {
        testing::AllocationsFail no_memory;
        first = shared.MeetName(folder, forgotten, {});
        again = shared.MeetName(folder, forgotten, {});
        remembered_again = shared.MeetName(folder, remembered, {});
    }
    EXPECT_TRUE(first);
    EXPECT_TRUE(again);  // not remembered: counted under each name
    EXPECT_FALSE(remembered_again);
    ScanResult result;
    Tally::Merge({}, shared, result);
    EXPECT_FALSE(result.totals.hard_links_exact);
}

// Walks `root` through `tally_count` tallies in an order drawn from `seed`:
// any listed folder may be listed next, its entries in any order, by any
// tally, as workers do. Returns the merged result.
ScanResult WalkInOrder(const testing::FakeNode& root, unsigned seed, std::size_t tally_count) {
    std::mt19937 random(seed);
    ScanOptions options;
    options.top_count = 4;
    TallyShared shared(options, '/');
    std::vector<std::unique_ptr<Tally>> tallies;
    for (std::size_t i = 0; i < tally_count; ++i)
        tallies.push_back(std::make_unique<Tally>(shared));
    std::vector<std::pair<FolderRef, const testing::FakeNode*>> to_list{
        {tallies[0]->StartRoot(N("/r"), root.stats), &root}};
    while (!to_list.empty()) {
        std::swap(to_list[random() % to_list.size()], to_list.back());
        auto [folder, node] = to_list.back();
        to_list.pop_back();
        std::vector<DirEntry> entries;
        for (const auto& child : node->children)
            entries.push_back(Entry(child->name, child->kind, child->stats.allocated_bytes,
                                    child->stats.apparent_bytes, child->stats.file_id,
                                    child->stats.link_count));
        std::shuffle(entries.begin(), entries.end(), random);
        Tally& tally = *tallies[random() % tally_count];
        for (FolderRef& sub : List(tally, folder, entries)) {
            for (const auto& child : node->children)
                if (NativeStringView(child->name) == NativeStringView(sub->name))
                    to_list.emplace_back(sub, child.get());
        }
        tally.Complete(folder);
    }
    std::vector<Tally*> merged;
    for (auto& tally : tallies) merged.push_back(tally.get());
    ScanResult result;
    Tally::Merge(merged, shared, result);
    return result;
}

// Data with names in several folders at several depths, and sizes that tie,
// so the top lists must choose among equals.
void BuildLinkedTree(testing::FakeNode& root) {
    root.kind = EntryKind::kDirectory;
    root.stats.allocated_bytes = root.stats.apparent_bytes = 4096;
    testing::FakeNode& a = root.AddFolder(N("a"));
    testing::FakeNode& deep = a.AddFolder(N("b")).AddFolder(N("c"));
    testing::FakeNode& z = root.AddFolder(N("z"));
    a.AddFile(N("lib.so"), 1 << 20, 1000000, 11, 3);
    deep.AddFile(N("lib.so.1"), 1 << 20, 1000000, 11, 3);
    z.AddFile(N("copy"), 1 << 20, 1000000, 11, 3);
    deep.AddFile(N("x.dat"), 65536, 60000, 12, 2);
    root.AddFile(N("x.dat"), 65536, 60000, 12, 2);
    for (const NativeChar* name : {N("p.txt"), N("q.txt"), N("r.txt"), N("s.txt")})
        z.AddFolder(name).AddFile(N("same.bin"), 8192, 8000);
}

bool SameFolders(const FolderTree& a, const FolderTree& b) {
    if (a.folders.size() != b.folders.size()) return false;
    for (std::size_t i = 0; i < a.folders.size(); ++i) {
        const TreeFolder& x = a.folders[i];
        const TreeFolder& y = b.folders[i];
        if (x.name != y.name || x.parent != y.parent ||
            x.subtree.allocated_bytes != y.subtree.allocated_bytes ||
            x.subtree.apparent_bytes != y.subtree.apparent_bytes ||
            x.other.allocated_bytes != y.other.allocated_bytes)
            return false;
    }
    return true;
}

TEST(TallyRules, HardLinkedDataIsCarriedByOneNameWhateverTheOrderOfTheWalk) {
    testing::FakeNode root;
    BuildLinkedTree(root);
    const ScanResult first = WalkInOrder(root, 1, 1);
    // Counted once, as du does; the folders add up to the same total.
    EXPECT_EQ(first.totals.allocated_bytes, 9 * 4096u + (1 << 20) + 65536 + 4 * 8192);
    ASSERT_FALSE(first.tree.folders.empty());
    EXPECT_EQ(first.tree.folders[0].subtree.allocated_bytes, first.totals.allocated_bytes);
    EXPECT_EQ(first.tree.folders[0].subtree.apparent_bytes, first.totals.apparent_bytes);
    std::uint64_t typed = 0;
    for (const auto& type : first.largest_types) typed += type.allocated_bytes;
    EXPECT_EQ(typed, (1u << 20) + 65536 + 4 * 8192);
    ASSERT_EQ(first.largest_files.size(), 4u);
    EXPECT_EQ(first.largest_files[0].allocated_bytes, 1u << 20);
    EXPECT_EQ(first.largest_files[1].allocated_bytes, 65536u);
    EXPECT_EQ(first.largest_files[2].allocated_bytes, 8192u);  // the rest carry nothing

    for (unsigned seed = 2; seed < 60; ++seed) {
        SCOPED_TRACE(seed);
        const ScanResult again = WalkInOrder(root, seed, 1 + seed % 4);
        EXPECT_EQ(again.totals.allocated_bytes, first.totals.allocated_bytes);
        EXPECT_TRUE(SameFolders(again.tree, first.tree));
        ASSERT_EQ(again.largest_folders.size(), first.largest_folders.size());
        for (std::size_t i = 0; i < first.largest_folders.size(); ++i) {
            EXPECT_EQ(again.largest_folders[i].path, first.largest_folders[i].path);
            EXPECT_EQ(again.largest_folders[i].allocated_bytes,
                      first.largest_folders[i].allocated_bytes);
        }
        ASSERT_EQ(again.largest_files.size(), first.largest_files.size());
        for (std::size_t i = 0; i < first.largest_files.size(); ++i)
            EXPECT_EQ(again.largest_files[i].path, first.largest_files[i].path);
        ASSERT_EQ(again.largest_types.size(), first.largest_types.size());
        for (std::size_t i = 0; i < first.largest_types.size(); ++i)
            EXPECT_EQ(again.largest_types[i].allocated_bytes,
                      first.largest_types[i].allocated_bytes);
    }
}

}  // namespace
}  // namespace orvane::engine
