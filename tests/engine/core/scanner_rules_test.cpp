// The scanner's counting rules on in-memory trees: exact totals, hard links,
// links and other file systems, unreadable folders, top lists, deep trees,
// cancellation and progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "core/scanner.h"
#include "failing_allocator.h"
#include "fake_reader.h"

namespace orvane::engine {
namespace {

using testing::FakeNode;
using testing::FakeReader;
using namespace std::chrono_literals;

#define N(text) ORVANE_NATIVE(text)

NativeString Num(int value) {
    std::string digits = std::to_string(value);
    return NativeString(digits.begin(), digits.end());
}

ScanResult Scan(FakeReader& reader, ScanOptions options = {}) {
    Scanner scanner(reader, std::move(options));
    return scanner.Run(N("/root"));
}

const FolderSize* FindFolder(const ScanResult& result, NativeStringView path) {
    for (const auto& folder : result.largest_folders) {
        if (folder.path == path) return &folder;
    }
    return nullptr;
}

// A small tree with every kind of entry, used by several tests.
void BuildMixedTree(FakeReader& reader) {
    FakeNode& docs = reader.root.AddFolder(N("docs"), 4096, 100);
    docs.AddFile(N("a.TXT"), 8192, 5000);
    docs.AddFile(N("b.txt"), 4096, 10);
    FakeNode& empty = docs.AddFolder(N("empty"), 0, 0);
    (void)empty;
    reader.root.AddFile(N("big.iso"), 1 << 20, 1000000);
    reader.root.Add(N("loop"), EntryKind::kLink, 0, 1);
    reader.root.Add(N("fifo"), EntryKind::kOther, 0, 0);
    reader.root.AddFile(N(".profile"), 4096, 300);
}

TEST(ScannerRules, TotalsCountEveryEntryAndEveryFoldersOwnSize) {
    for (unsigned threads : {1u, 2u, 4u}) {
        FakeReader reader;
        BuildMixedTree(reader);
        ScanOptions options;
        options.threads = threads;
        ScanResult result = Scan(reader, options);
        EXPECT_EQ(result.status, ScanStatus::kCompleted);
        EXPECT_EQ(result.totals.files, 6u);    // 3 files, link, fifo, .profile
        EXPECT_EQ(result.totals.folders, 3u);  // root, docs, empty
        EXPECT_EQ(result.totals.allocated_bytes, 4096u + 4096 + 8192 + 4096 + 0 + (1 << 20) + 4096);
        EXPECT_EQ(result.totals.apparent_bytes, 4096u + 100 + 5000 + 10 + 1000000 + 1 + 300);
        EXPECT_EQ(result.totals.unreadable_folders, 0u);
        EXPECT_EQ(result.threads, threads);

        const FolderSize* docs = FindFolder(result, N("/root/docs"));
        ASSERT_NE(docs, nullptr);
        EXPECT_EQ(docs->allocated_bytes, 4096u + 8192 + 4096);
        EXPECT_EQ(docs->files, 2u);
        EXPECT_EQ(docs->folders, 2u);
        const FolderSize* root = FindFolder(result, N("/root"));
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->allocated_bytes, result.totals.allocated_bytes);
        EXPECT_EQ(root->files + root->folders, result.totals.files + result.totals.folders);
    }
}

TEST(ScannerRules, HardLinkedDataIsCountedOnceButEveryNameIsAnEntry) {
    FakeReader reader;
    FakeNode& a = reader.root.AddFolder(N("a"));
    FakeNode& b = reader.root.AddFolder(N("b"));
    a.AddFile(N("one"), 8192, 8000, /*id=*/77, /*links=*/3);
    b.AddFile(N("two"), 8192, 8000, 77, 3);
    b.AddFile(N("three"), 8192, 8000, 77, 3);
    // Same id but a single name: another device's numbering never matters.
    b.AddFile(N("single"), 4096, 4000, 77, 1);
    // Folders always have several links; they are never merged.
    FakeNode& c = reader.root.AddFolder(N("c"));
    c.stats.file_id = 5;
    a.AddFolder(N("c2")).stats.file_id = 5;

    ScanResult result = Scan(reader);
    EXPECT_EQ(result.totals.files, 4u);
    EXPECT_EQ(result.totals.folders, 5u);
    EXPECT_EQ(result.totals.allocated_bytes, 5 * 4096u + 8192 + 4096);
    EXPECT_EQ(result.totals.apparent_bytes, 5 * 4096u + 8000 + 4000);
    std::uint64_t type_files = 0;
    for (const auto& type : result.largest_types) type_files += type.files;
    EXPECT_EQ(type_files, 4u);
}

// Each kept folder's own files agree with its size: the name that carries
// hard-linked data lists it with its bytes, the other names hold none, at
// any thread count.
TEST(ScannerRules, AFoldersOwnFilesAgreeWithItsSizeWhenDataHasSeveralNames) {
    for (unsigned threads : {1u, 3u}) {
        FakeReader reader;
        FakeNode& a = reader.root.AddFolder(N("a"));
        FakeNode& b = reader.root.AddFolder(N("b"));
        a.AddFile(N("shared"), 8192, 8000, /*id=*/41, /*links=*/2);
        b.AddFile(N("shared"), 8192, 8000, 41, 2);
        for (int i = 0; i < 20; ++i) b.AddFile(N("f") + Num(i), 4096, 10, 100 + i, 2);
        for (int i = 0; i < 20; ++i) a.AddFile(N("g") + Num(i), 4096, 10, 100 + i, 2);
        ScanOptions options;
        options.threads = threads;
        const ScanResult result = Scan(reader, options);
        std::uint64_t listed_total = 0;
        for (const TreeFolder& folder : result.tree.folders) {
            std::uint64_t listed = 0;
            for (const TreeFile& file : folder.largest_files) listed += file.allocated_bytes;
            listed_total += listed + folder.other_files.allocated_bytes;
            if (folder.parent == TreeFolder::kNoParent) continue;
            // Each folder's bytes: its own size and the files it carries.
            EXPECT_EQ(folder.subtree.allocated_bytes,
                      4096 + listed + folder.other_files.allocated_bytes)
                << threads;
            EXPECT_EQ(folder.largest_files.size() + folder.other_files.files, 21u) << threads;
        }
        EXPECT_EQ(listed_total, 8192 + 20 * 4096u) << threads;
    }
}

TEST(ScannerRules, HardLinksAreToldApartByDeviceAndFileId) {
    // An overlay lists files of several devices whose inode numbers repeat.
    FakeReader reader;
    reader.root.AddFile(N("upper"), 8192, 8000, /*id=*/42, /*links=*/2).stats.device = 1;
    reader.root.AddFile(N("lower"), 8192, 8000, 42, 2).stats.device = 2;
    reader.root.AddFolder(N("d")).AddFile(N("upper-again"), 8192, 8000, 42, 2).stats.device = 1;
    ScanResult result = Scan(reader);
    EXPECT_EQ(result.totals.files, 3u);
    EXPECT_EQ(result.totals.allocated_bytes, 2 * 4096u + 2 * 8192);
}

TEST(ScannerRules, AFolderThatIsItsOwnAncestorIsCountedButNotEntered) {
    // A folder bound onto its own descendant: "a/b/loop" is the root again,
    // and "a/again" is "a". A folder mounted twice side by side is no cycle.
    FakeReader reader;
    reader.root.stats.file_id = 100;
    FakeNode& a = reader.root.AddFolder(N("a"));
    a.stats.file_id = 101;
    FakeNode& b = a.AddFolder(N("b"));
    b.stats.file_id = 102;
    FakeNode& loop = b.AddFolder(N("loop"));
    loop.stats.file_id = 100;
    loop.AddFile(N("would-be-counted-again"), 4096, 4096);
    a.AddFolder(N("again")).stats.file_id = 101;
    reader.root.AddFolder(N("twin-1")).stats.file_id = 200;
    reader.root.AddFolder(N("twin-2")).stats.file_id = 200;
    for (unsigned threads : {1u, 3u}) {
        ScanOptions options;
        options.threads = threads;
        ScanResult result = Scan(reader, options);
        EXPECT_EQ(result.totals.folders, 7u);
        EXPECT_EQ(result.totals.files, 0u);
        EXPECT_EQ(result.totals.allocated_bytes, 5 * 4096u);  // the loops add no bytes
        EXPECT_EQ(result.totals.unreadable_folders, 0u);
    }
    EXPECT_EQ(reader.Opened().count(N("loop")), 0u);
    EXPECT_EQ(reader.Opened().count(N("again")), 0u);
    EXPECT_EQ(reader.Opened().count(N("twin-2")), 2u);
}

TEST(ScannerRules, ByteTotalsSaturateInsteadOfWrapping) {
    FakeReader reader;
    constexpr std::uint64_t kHuge = std::uint64_t{1} << 63;  // sparse files on tmpfs
    FakeNode& sparse = reader.root.AddFolder(N("sparse"));
    for (int i = 0; i < 3; ++i) sparse.AddFile(Num(i), 4096, kHuge);
    ScanResult result = Scan(reader);
    EXPECT_EQ(result.totals.apparent_bytes, ~std::uint64_t{0});
    EXPECT_TRUE(result.totals.bytes_saturated);
    EXPECT_EQ(result.totals.allocated_bytes, 2 * 4096u + 3 * 4096);
    EXPECT_EQ(FindFolder(result, N("/root/sparse"))->apparent_bytes, ~std::uint64_t{0});
    EXPECT_EQ(result.largest_types[0].apparent_bytes, ~std::uint64_t{0});
    EXPECT_FALSE(Scan(*std::make_unique<FakeReader>()).totals.bytes_saturated);
}

TEST(ScannerRules, UnknownLinkCountsFollowTheChosenPolicy) {
    auto build = [](FakeReader& reader) {
        reader.root.AddFile(N("x"), 4096, 10, 9, /*links=*/0);
        reader.root.AddFolder(N("d")).AddFile(N("y"), 4096, 10, 9, 0);
        reader.root.AddFile(N("no-id"), 4096, 10, 0, 0);
    };
    FakeReader each;
    build(each);
    EXPECT_EQ(Scan(each).totals.allocated_bytes, 4096u * 2 + 3 * 4096);

    FakeReader remember;
    build(remember);
    ScanOptions options;
    options.unknown_link_count = UnknownLinkCount::kRememberFileId;
    ScanResult result = Scan(remember, options);
    EXPECT_EQ(result.totals.allocated_bytes, 4096u * 2 + 2 * 4096);
    EXPECT_EQ(result.totals.files, 3u);
}

TEST(ScannerRules, LinksAndOtherFileSystemsAreCountedButNeverEntered) {
    FakeReader reader;
    reader.root.Add(N("link-to-dir"), EntryKind::kLink, 0, 4);
    FakeNode& mount = reader.root.AddFolder(N("mnt"), 4096, 4096);
    mount.other_file_system = true;
    mount.AddFile(N("hidden"), 1 << 20, 1 << 20);

    ScanResult result = Scan(reader);
    EXPECT_EQ(result.totals.files, 1u);
    EXPECT_EQ(result.totals.folders, 2u);
    EXPECT_EQ(result.totals.allocated_bytes, 4096u);
    EXPECT_EQ(result.totals.apparent_bytes, 4096u + 4);
    auto opened = reader.Opened();
    EXPECT_EQ(opened.count(N("mnt")), 0u);
    EXPECT_EQ(opened.count(N("link-to-dir")), 0u);
}

TEST(ScannerRules, UnreadableFoldersAreCountedListedAndSkipped) {
    FakeReader reader;
    FakeNode& locked = reader.root.AddFolder(N("locked"), 4096, 4096);
    locked.open_error = OpenError::kAccessDenied;
    locked.AddFile(N("secret"), 1 << 20, 1 << 20);
    FakeNode& broken = reader.root.AddFolder(N("broken"));
    broken.listing_breaks = true;
    for (int i = 0; i < 5; ++i) broken.AddFile(NativeString(N("f")) + NativeChar('0' + i), 512, 1);
    reader.root.AddFolder(N("fine")).AddFile(N("ok"), 512, 1);

    ScanResult result = Scan(reader);
    EXPECT_EQ(result.status, ScanStatus::kCompleted);
    EXPECT_EQ(result.totals.unreadable_folders, 2u);
    EXPECT_EQ(result.totals.folders, 4u);
    // The broken listing keeps its first batch (batch_size 3).
    EXPECT_EQ(result.totals.files, 3u + 1);
    EXPECT_EQ(result.totals.allocated_bytes, 4 * 4096u + 3 * 512 + 512);
    ASSERT_EQ(result.unreadable.size(), 2u);
    std::sort(result.unreadable.begin(), result.unreadable.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    EXPECT_EQ(result.unreadable[0].path, N("/root/broken"));
    EXPECT_EQ(result.unreadable[0].reason, OpenError::kOther);
    EXPECT_EQ(result.unreadable[1].path, N("/root/locked"));
    EXPECT_EQ(result.unreadable[1].reason, OpenError::kAccessDenied);
}

TEST(ScannerRules, EntriesListedWithoutATypeAreToldApartByOpeningThem) {
    // A file system without entry types, and a folder that can be listed but
    // not searched, so that no stat tells what its entries are.
    FakeReader reader;
    FakeNode& dark = reader.root.AddFolder(N("listed-not-searched"));
    FakeNode& locked = dark.AddFolder(N("sub"));
    locked.open_error = OpenError::kAccessDenied;
    locked.listed_without_type = true;
    dark.AddFile(N("file.txt"), 4096, 10).listed_without_type = true;
    dark.Add(N("fifo"), EntryKind::kOther, 0, 0).listed_without_type = true;
    FakeNode& open = dark.AddFolder(N("open"));
    open.listed_without_type = true;
    open.AddFile(N("x"), 512, 1);

    ScanResult result = Scan(reader);
    EXPECT_EQ(result.totals.files, 3u);
    EXPECT_EQ(result.totals.folders, 4u);  // root, listed-not-searched, sub, open
    EXPECT_EQ(result.totals.allocated_bytes, 2 * 4096u + 512);  // no sizes for untyped ones
    ASSERT_EQ(result.unreadable.size(), 1u);
    EXPECT_EQ(result.unreadable[0].path, N("/root/listed-not-searched/sub"));
    EXPECT_EQ(result.unreadable[0].reason, OpenError::kAccessDenied);
    EXPECT_EQ(FindFolder(result, N("/root/listed-not-searched/file.txt")), nullptr);
    ASSERT_NE(FindFolder(result, N("/root/listed-not-searched/open")), nullptr);
}

TEST(ScannerRules, UnreadableListStopsAtItsLimitButTheCountDoesNot) {
    FakeReader reader;
    for (int i = 0; i < 130; ++i) {
        NativeString name = N("d");
        name += Num(i);
        reader.root.AddFolder(name).open_error = OpenError::kNotFound;
    }
    ScanResult result = Scan(reader);
    EXPECT_EQ(result.totals.unreadable_folders, 130u);
    EXPECT_EQ(result.unreadable.size(), 100u);
}

TEST(ScannerRules, AFolderReplacedSinceItWasListedIsCountedButNotEntered) {
    FakeReader reader;
    FakeNode& swapped = reader.root.AddFolder(N("swapped"), 4096, 4096);
    swapped.replaced = true;
    swapped.AddFile(N("elsewhere"), 1 << 20, 1 << 20);
    ScanResult result = Scan(reader);
    EXPECT_EQ(result.status, ScanStatus::kCompleted);
    EXPECT_EQ(result.totals.folders, 2u);
    EXPECT_EQ(result.totals.files, 0u);
    EXPECT_EQ(result.totals.allocated_bytes, 2 * 4096u);
    EXPECT_EQ(result.totals.unreadable_folders, 0u);
}

TEST(ScannerRules, UnreadableRootEndsTheScanAtOnce) {
    FakeReader reader;
    reader.root.open_error = OpenError::kAccessDenied;
    int finished_calls = 0;
    ScanOptions options;
    options.on_finished = [&] { finished_calls++; };
    Scanner scanner(reader, options);
    EXPECT_FALSE(scanner.Start(N("/root")));
    EXPECT_TRUE(scanner.Finished());
    ScanResult result = scanner.TakeResult();
    EXPECT_EQ(result.status, ScanStatus::kRootUnreadable);
    EXPECT_EQ(result.root_error, OpenError::kAccessDenied);
    EXPECT_EQ(result.totals.folders, 0u);
    EXPECT_EQ(finished_calls, 1);
}

TEST(ScannerRules, LargestListsAreOrderedBoundedAndGroupTypesByFoldedExtension) {
    FakeReader reader;
    FakeNode& media = reader.root.AddFolder(N("media"));
    for (int i = 1; i <= 30; ++i) {
        media.AddFile(N("clip") + Num(i) + (i % 2 ? N(".MP4") : N(".mp4")), 4096u * i, 4000u * i);
    }
    reader.root.AddFile(N("archive.tar.gz"), 4096, 1);
    reader.root.AddFile(N("README"), 4096, 1);
    reader.root.AddFile(N(".hidden"), 4096, 1);
    reader.root.AddFile(N("trailing."), 4096, 1);
    ScanOptions options;
    options.top_count = 5;
    ScanResult result = Scan(reader, options);

    ASSERT_EQ(result.largest_files.size(), 5u);
    EXPECT_EQ(result.largest_files[0].path, N("/root/media/clip30.mp4"));
    EXPECT_EQ(result.largest_files[0].allocated_bytes, 4096u * 30);
    EXPECT_EQ(result.largest_files[4].allocated_bytes, 4096u * 26);

    ASSERT_EQ(result.largest_types.size(), 3u);  // mp4, no extension, gz
    EXPECT_EQ(result.largest_types[0].extension, N("mp4"));
    EXPECT_EQ(result.largest_types[0].files, 30u);
    EXPECT_EQ(result.largest_types[0].allocated_bytes, 4096u * 465);
    EXPECT_EQ(result.largest_types[1].extension, N(""));
    EXPECT_EQ(result.largest_types[1].files, 3u);
    EXPECT_EQ(result.largest_types[2].extension, N("gz"));

    ASSERT_EQ(result.largest_folders.size(), 2u);
    EXPECT_EQ(result.largest_folders[0].path, N("/root"));
    EXPECT_EQ(result.largest_folders[1].path, N("/root/media"));
    EXPECT_EQ(result.largest_folders[1].allocated_bytes, 4096u * 466);
}

TEST(ScannerRules, DeepChainNeedsNoStackAndFewOpenFolders) {
    FakeReader reader;
    FakeNode* level = &reader.root;
    constexpr int kDepth = 5000;
    for (int i = 0; i < kDepth; ++i) {
        level->AddFile(N("f"), 512, 1);
        level = &level->AddFolder(N("d"));
    }
    reader.batch_size = 100;
    ScanResult result = Scan(reader);
    EXPECT_EQ(result.totals.folders, kDepth + 1u);
    EXPECT_EQ(result.totals.files, std::uint64_t(kDepth));
    // Open folders depend on the workers (each holds the one it reads, and
    // a folder waiting to be opened holds its parent), never on the depth.
    EXPECT_LE(reader.MaxOpenHandles(), int(result.threads) + 2);
    ASSERT_FALSE(result.largest_folders.empty());
    ASSERT_EQ(result.largest_folders.size(), 20u);
    EXPECT_EQ(result.largest_folders[0].path, N("/root"));
    EXPECT_EQ(result.largest_folders[19].path.size(), std::size_t(5 + 2 * 19));
}

TEST(ScannerRules, AChainAHundredThousandLevelsDeepCostsItsLengthNotItsSquare) {
    // Every level of a chain enters the largest folders; a path rebuilt from
    // the root for each would take minutes here, a node released recursively
    // would overflow the stack.
    FakeReader reader;
    FakeNode* level = &reader.root;
    constexpr int kDepth = 100000;
    for (int i = 0; i < kDepth; ++i) level = &level->AddFolder(N("d"));
    ScanResult result = Scan(reader);
    EXPECT_EQ(result.totals.folders, kDepth + 1u);
    ASSERT_EQ(result.largest_folders.size(), 20u);
    EXPECT_EQ(result.largest_folders[19].path.size(), std::size_t(5 + 2 * 19));
    // The fake tree is as deep: taken apart level by level for the same reason.
    for (auto next = std::move(reader.root.children); !next.empty();) {
        auto below = std::move(next.front()->children);
        next = std::move(below);
    }
}

// A folder of 20,000 files listed names-first, 20 of which vanish before
// their stat.
void BuildSplitListedFolder(FakeReader& reader) {
    reader.split_listing = true;
    reader.batch_size = 1000;
    FakeNode& huge = reader.root.AddFolder(N("huge"));
    for (int i = 0; i < 20000; ++i) {
        NativeString name = N("f");
        name += Num(i);
        huge.AddFile(name, 512, 100).vanishes = i % 1000 == 7;
    }
    huge.AddFolder(N("sub")).AddFile(N("deep"), 4096, 1);
}

void ExpectSplitListedTotals(const ScanResult& result) {
    EXPECT_EQ(result.totals.files, 20000u - 20 + 1);
    EXPECT_EQ(result.totals.folders, 3u);
    EXPECT_EQ(result.totals.allocated_bytes, 3 * 4096u + (20000 - 20) * 512u + 4096);
    EXPECT_EQ(result.totals.apparent_bytes, 3 * 4096u + (20000 - 20) * 100u + 1);
}

TEST(ScannerRules, AHugeFolderSharesItsStatCallsAndSkipsEntriesThatVanished) {
    FakeReader alone;
    BuildSplitListedFolder(alone);
    ScanOptions one_thread;
    one_thread.threads = 1;
    ExpectSplitListedTotals(Scan(alone, one_thread));

    FakeReader shared;
    BuildSplitListedFolder(shared);
    shared.fill_rendezvous = 2;
    ScanOptions two_threads;
    two_threads.threads = 2;
    ExpectSplitListedTotals(Scan(shared, two_threads));
    // The idle worker took part in the stat calls of the huge folder.
    EXPECT_EQ(shared.FillThreads(), 2u);
}

TEST(ScannerRules, CancelStopsInsideAHugeFolderAndIsHarmlessWhenIdle) {
    FakeReader reader;
    FakeNode& huge = reader.root.AddFolder(N("huge"));
    for (int i = 0; i < 100000; ++i) huge.AddFile(N("x"), 512, 1);
    reader.batch_size = 1000;
    reader.before_batch = [] { std::this_thread::sleep_for(5ms); };  // a slow disk
    Scanner scanner(reader);
    scanner.Cancel();  // nothing runs yet
    ASSERT_TRUE(scanner.Start(N("/root")));
    while (scanner.EntriesScanned() < 3000) std::this_thread::sleep_for(1ms);
    scanner.Cancel();
    EXPECT_TRUE(scanner.Wait(2s));
    ScanResult result = scanner.TakeResult();
    EXPECT_EQ(result.status, ScanStatus::kCancelled);
    EXPECT_LT(result.totals.files, 100000u);
    EXPECT_EQ(result.totals.files + result.totals.folders, scanner.EntriesScanned());
    scanner.Cancel();  // after the end
}

// On a cold device one batch's stats can take a second; a cancel is seen
// between its chunks, and what was listed but not stat'ed is not counted.
TEST(ScannerRules, CancelStopsBetweenTheStatsOfOneBatch) {
    FakeReader reader;
    reader.split_listing = true;
    FakeNode& huge = reader.root.AddFolder(N("huge"));
    huge.stats.allocated_bytes = 8192;
    for (int i = 0; i < 20000; ++i) huge.AddFile(N("x"), 512, 100);
    reader.batch_size = 20000;  // one batch
    Scanner scanner(reader);
    std::atomic<int> chunks{0};
    reader.before_fill = [&] {
        if (++chunks == 10) scanner.Cancel();
    };
    ScanResult result = scanner.Run(N("/root"));
    EXPECT_EQ(result.status, ScanStatus::kCancelled);
    EXPECT_GT(result.totals.files, 0u);
    EXPECT_LT(result.totals.files, 20000u / 2);
    EXPECT_EQ(result.totals.allocated_bytes, 4096 + 8192 + 512 * result.totals.files);
    EXPECT_EQ(result.totals.files + result.totals.folders, scanner.EntriesScanned());
}

// 8 folders of 8 folders of 8 folders, two files in each.
void BuildWideTree(FakeNode& folder, int levels) {
    folder.AddFile(N("a"), 512, 1);
    folder.AddFile(N("b"), 512, 1);
    if (levels == 0) return;
    for (int i = 0; i < 8; ++i) BuildWideTree(folder.AddFolder(Num(i)), levels - 1);
}

TEST(ScannerRules, ASlowDeviceGetsAllWorkersWaitingButNoMoreAndCancelStillEndsTheScan) {
    FakeReader reader;
    BuildWideTree(reader.root, 3);
    reader.latency = 2ms;
    Scanner whole(reader);
    ScanResult result = whole.Run(N("/root"));
    EXPECT_EQ(result.totals.folders, 1u + 8 + 64 + 512);
    EXPECT_EQ(result.threads, MostWorkerCount());
    // The workers wait on the device together (that is what keeps a cold
    // device busy), and a slow device adds no requests beyond them.
    EXPECT_GE(reader.MaxRequestsInFlight(), int(result.threads) / 2);
    EXPECT_LE(reader.MaxRequestsInFlight(), int(result.threads));

    // Every worker is in the middle of a slow request when the cancel comes;
    // each ends after that one.
    FakeReader slower;
    BuildWideTree(slower.root, 3);
    slower.latency = 20ms;
    Scanner cancelled(slower);
    ASSERT_TRUE(cancelled.Start(N("/root")));
    while (cancelled.EntriesScanned() < 100) std::this_thread::sleep_for(1ms);
    cancelled.Cancel();
    EXPECT_TRUE(cancelled.Wait(2s));
    EXPECT_EQ(cancelled.TakeResult().status, ScanStatus::kCancelled);
}

TEST(ScannerRules, ProgressShowsAFullPathAndMatchingCountsWithoutWaiting) {
    FakeReader reader;
    FakeNode& inner = reader.root.AddFolder(N("outer")).AddFolder(N("inner"));
    for (int i = 0; i < 50; ++i) inner.AddFile(N("f.bin"), 4096, 4096);
    reader.batch_size = 5;
    std::atomic<bool> release{false};
    std::atomic<bool> waiting{false};
    reader.before_batch = [&] {
        waiting = true;
        while (!release) std::this_thread::sleep_for(1ms);
    };
    std::atomic<int> finished_calls{0};
    ScanOptions options;
    options.threads = 1;
    options.on_finished = [&] { finished_calls++; };
    Scanner scanner(reader, options);
    EXPECT_FALSE(scanner.Progress().running);
    ASSERT_TRUE(scanner.Start(N("/root")));
    // The worker is stuck inside the root's listing: progress must not wait.
    while (!waiting) std::this_thread::sleep_for(1ms);
    ScanProgress during = scanner.Progress();
    EXPECT_TRUE(during.running);
    EXPECT_EQ(during.current_folder, N("/root"));
    EXPECT_EQ(during.entries, 1u);
    release = true;
    ScanResult result = scanner.TakeResult();
    ScanProgress after = scanner.Progress();
    EXPECT_FALSE(after.running);
    EXPECT_EQ(after.entries, 53u);
    EXPECT_EQ(after.allocated_bytes, result.totals.allocated_bytes);
    EXPECT_EQ(finished_calls.load(), 1);
}

TEST(ScannerRules, ProgressNamesAFolderWhoseLongListingStartedRightAfterAnother) {
    FakeReader reader;
    FakeNode& inner = reader.root.AddFolder(N("outer")).AddFolder(N("inner"));
    for (int i = 0; i < 10; ++i) inner.AddFile(N("f"), 1, 1);
    reader.batch_size = 1;
    Scanner* running = nullptr;
    NativeString seen;
    reader.before_batch = [&] {
        // Once root and outer are listed, only inner's slow listing is left.
        if (running && running->EntriesScanned() >= 4) {
            std::this_thread::sleep_for(15ms);
            seen = running->Progress().current_folder;
        }
    };
    ScanOptions options;
    options.threads = 1;
    Scanner scanner(reader, options);
    running = &scanner;
    scanner.Run(N("/root/"));
    EXPECT_EQ(seen, N("/root/outer/inner"));
}

TEST(ScannerRules, MemoryRunningOutAnywhereEndsTheScanCleanlyAndSaysSo) {
    FakeReader reader;
    BuildMixedTree(reader);
    FakeNode& links = reader.root.AddFolder(N("links"));
    for (int i = 0; i < 40; ++i)
        links.AddFolder(Num(i)).AddFile(N("l.dat"), 4096, 10, 1 + i % 8, 5);
    ScanOptions options;
    options.threads = 2;
    const ScanResult exact = Scan(reader, options);
    int completed_in_a_row = 0;
    for (std::size_t allowed = 0; completed_in_a_row < 5; ++allowed) {
        ASSERT_LT(allowed, 20000u) << "never completes";
        Scanner scanner(reader, options);
        ScanResult result;
        {
            testing::AllocationsFail shortage(allowed);
            result = scanner.Run(N("/root"));
        }
        SCOPED_TRACE(allowed);
        if (result.status == ScanStatus::kCompleted) {
            completed_in_a_row++;
            EXPECT_EQ(result.totals.allocated_bytes, exact.totals.allocated_bytes);
            EXPECT_EQ(result.totals.files, exact.totals.files);
            continue;
        }
        completed_in_a_row = 0;
        EXPECT_TRUE(result.status == ScanStatus::kOutOfMemory ||
                    result.status == ScanStatus::kNoWorkerThread)
            << static_cast<int>(result.status);
        EXPECT_LE(result.totals.files, exact.totals.files);
        EXPECT_LE(result.totals.folders, exact.totals.folders);
    }
}

TEST(ScannerRules, AScannerRunsAgainWithFreshCounts) {
    FakeReader reader;
    BuildMixedTree(reader);
    Scanner scanner(reader);
    ScanResult first = scanner.Run(N("/root"));
    ScanResult second = scanner.Run(N("/root"));
    EXPECT_EQ(first.totals.allocated_bytes, second.totals.allocated_bytes);
    EXPECT_EQ(scanner.EntriesScanned(), second.totals.files + second.totals.folders);
}

}  // namespace
}  // namespace orvane::engine
