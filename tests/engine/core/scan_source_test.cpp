// The seam between finding entries and counting them: a source that is not
// the folder walk gets the walk's result from the same feed, and the feed
// tells why a scan ended whichever side stopped it.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "core/scan_source.h"
#include "core/scanner.h"
#include "fake_reader.h"

namespace orvane::engine {
namespace {

using testing::FakeNode;
using testing::FakeReader;

#define N(text) ORVANE_NATIVE(text)

// Feeds a fake tree straight from memory, depth first, on the thread that
// starts the scan: no scheduler, no handles, the end inside Begin.
class TreeSource final : public ScanSource {
public:
    explicit TreeSource(const FakeNode& root) : root_(root) {}

    NativeChar Separator() const override { return '/'; }
    bool Begin(const NativeString& root, ScanFeed& feed) override {
        Tally& tally = feed.AddTally();
        std::vector<std::pair<FolderRef, const FakeNode*>> pending;
        pending.emplace_back(feed.Root(tally, root, root_.stats), &root_);
        while (!pending.empty()) {
            auto [folder, node] = std::move(pending.back());
            pending.pop_back();
            if (!feed.Stopping()) List(tally, folder, *node, pending);
            tally.Complete(folder);
        }
        feed.End(1);
        return true;
    }
    void Wake() override {}
    void Join() override {}

private:
    static void List(Tally& tally, const FolderRef& folder, const FakeNode& node,
                     std::vector<std::pair<FolderRef, const FakeNode*>>& pending) {
        Sums own;
        std::vector<FolderRef> subfolders;
        for (const auto& child : node.children) {
            DirEntry entry;
            entry.name = child->name;
            entry.kind = child->kind;
            entry.stats = child->stats;
            entry.other_file_system = child->other_file_system;
            const std::size_t before = subfolders.size();
            tally.CountEntry(folder, entry, own, subfolders);
            if (subfolders.size() > before) pending.emplace_back(subfolders.back(), child.get());
        }
        folder->pending.fetch_add(static_cast<std::uint32_t>(subfolders.size()));
        Tally::FolderListed(*folder, own);
    }

    const FakeNode& root_;
};

// Folders a few levels deep, files of several types, hard-linked data met
// under two names in two folders, a link and another file system.
void BuildTree(FakeNode& root) {
    FakeNode& docs = root.AddFolder(N("docs"), 4096, 100);
    docs.AddFile(N("a.TXT"), 8192, 5000);
    docs.AddFile(N("shared.bin"), 65536, 60000, 77, 2);
    FakeNode* deep = &docs.AddFolder(N("deep"));
    for (int i = 0; i < 30; ++i) {
        deep = &deep->AddFolder(N("level"));
        deep->AddFile(N("f.dat"), 4096 * (i + 1), 4000 * (i + 1));
    }
    FakeNode& media = root.AddFolder(N("media"));
    media.AddFile(N("movie.mkv"), 1 << 24, (1 << 24) - 10);
    media.AddFile(N("again.bin"), 65536, 60000, 77, 2);
    root.Add(N("loop"), EntryKind::kLink, 0, 1);
    root.AddFolder(N("mnt")).other_file_system = true;
    root.AddFile(N(".profile"), 4096, 300);
}

void ExpectSameFolders(const std::vector<FolderSize>& a, const std::vector<FolderSize>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].path, b[i].path);
        EXPECT_EQ(a[i].allocated_bytes, b[i].allocated_bytes);
        EXPECT_EQ(a[i].apparent_bytes, b[i].apparent_bytes);
        EXPECT_EQ(a[i].files, b[i].files);
        EXPECT_EQ(a[i].folders, b[i].folders);
    }
}

void ExpectSameResult(const ScanResult& a, const ScanResult& b) {
    EXPECT_EQ(a.status, b.status);
    EXPECT_EQ(a.totals.files, b.totals.files);
    EXPECT_EQ(a.totals.folders, b.totals.folders);
    EXPECT_EQ(a.totals.allocated_bytes, b.totals.allocated_bytes);
    EXPECT_EQ(a.totals.apparent_bytes, b.totals.apparent_bytes);
    ExpectSameFolders(a.largest_folders, b.largest_folders);
    ASSERT_EQ(a.largest_files.size(), b.largest_files.size());
    for (std::size_t i = 0; i < a.largest_files.size(); ++i) {
        EXPECT_EQ(a.largest_files[i].path, b.largest_files[i].path);
        EXPECT_EQ(a.largest_files[i].allocated_bytes, b.largest_files[i].allocated_bytes);
    }
    ASSERT_EQ(a.largest_types.size(), b.largest_types.size());
    for (std::size_t i = 0; i < a.largest_types.size(); ++i) {
        EXPECT_EQ(a.largest_types[i].extension, b.largest_types[i].extension);
        EXPECT_EQ(a.largest_types[i].allocated_bytes, b.largest_types[i].allocated_bytes);
    }
    ASSERT_EQ(a.tree.folders.size(), b.tree.folders.size());
    for (std::size_t i = 0; i < a.tree.folders.size(); ++i) {
        EXPECT_EQ(a.tree.folders[i].name, b.tree.folders[i].name);
        EXPECT_EQ(a.tree.folders[i].parent, b.tree.folders[i].parent);
        EXPECT_EQ(a.tree.folders[i].subtree.allocated_bytes,
                  b.tree.folders[i].subtree.allocated_bytes);
        EXPECT_EQ(a.tree.folders[i].largest_files.size(), b.tree.folders[i].largest_files.size());
    }
}

TEST(ScanSource, AnotherSourceOfTheSameTreeGetsTheWalksResult) {
    FakeReader reader;
    BuildTree(reader.root);
    ScanOptions options;
    options.threads = 2;
    options.top_count = 5;
    options.tree_folders = 12;
    const ScanResult walked = Scanner(reader, options).Run(N("/root"));
    Scanner scanner([&reader] { return std::make_unique<TreeSource>(reader.root); }, options);
    const ScanResult fed = scanner.Run(N("/root"));
    ExpectSameResult(fed, walked);
    EXPECT_EQ(fed.threads, 1u);
    EXPECT_FALSE(scanner.Progress().running);
}

TEST(ScanSource, TheWeightierReasonToStopIsTheStatus) {
    FakeReader reader;
    BuildTree(reader.root);
    ScanOptions options;
    ProgressBoard board;
    ScanFeed feed(options, '/', board, N("/root"));
    Tally& tally = feed.AddTally();
    feed.Root(tally, N("/root"), reader.root.stats);
    EXPECT_FALSE(feed.Stopping());
    feed.Cancel();
    feed.Stop(ScanStatus::kOutOfFileDescriptors);
    feed.Stop(ScanStatus::kCancelled);  // weighs less: ignored
    EXPECT_TRUE(feed.Stopping());
    feed.End(3);
    EXPECT_TRUE(feed.Finished());
    const ScanResult result = feed.TakeResult();
    EXPECT_EQ(result.status, ScanStatus::kOutOfFileDescriptors);
    EXPECT_EQ(result.threads, 3u);
    EXPECT_EQ(result.totals.folders, 1u);
}

}  // namespace
}  // namespace orvane::engine
