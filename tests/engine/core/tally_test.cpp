// The counting rules driven entry by entry, on one thread and without a
// backend: what a listed entry adds, when a folder's subtree is complete, and
// how the workers' tallies merge.
#include <gtest/gtest.h>

#include "core/tally.h"
#include "failing_allocator.h"

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
    ASSERT_EQ(result.largest_folders.size(), 3u);
    EXPECT_EQ(result.largest_folders[0].path, N("/r"));
    EXPECT_EQ(result.largest_folders[0].allocated_bytes, result.totals.allocated_bytes);
    EXPECT_EQ(result.largest_folders[0].folders, 4u);
    EXPECT_EQ(result.largest_folders[1].path, N("/r/b"));  // ties on allocated: apparent decides
    EXPECT_EQ(result.largest_folders[2].path, N("/r/a"));
    EXPECT_EQ(result.largest_folders[2].files, 1u);
    EXPECT_EQ(result.largest_folders[2].folders, 2u);
    ASSERT_EQ(result.largest_types.size(), 1u);
    EXPECT_EQ(result.largest_types[0].extension, N("log"));
    EXPECT_EQ(result.largest_types[0].files, 2u);
    ASSERT_EQ(result.largest_files.size(), 2u);
    EXPECT_EQ(result.largest_files[0].path, N("/r/x.LOG"));
    EXPECT_EQ(result.largest_files[1].path, N("/r/a/y.log"));
    EXPECT_EQ(result.largest_files[1].allocated_bytes, 0u);
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
    const EntryStats remembered = Entry(N("a"), EntryKind::kFile, 4096, 1, 7, 2).stats;
    const EntryStats forgotten = Entry(N("b"), EntryKind::kFile, 4096, 1, 8, 2).stats;
    EXPECT_TRUE(shared.FirstNameOfData(remembered));
    bool first, again, remembered_again;
    {
        testing::AllocationsFail no_memory;
        first = shared.FirstNameOfData(forgotten);
        again = shared.FirstNameOfData(forgotten);
        remembered_again = shared.FirstNameOfData(remembered);
    }
    EXPECT_TRUE(first);
    EXPECT_TRUE(again);  // not remembered: counted under each name
    EXPECT_FALSE(remembered_again);
    ScanResult result;
    Tally::Merge({}, shared, result);
    EXPECT_FALSE(result.totals.hard_links_exact);
}

}  // namespace
}  // namespace orvane::engine
