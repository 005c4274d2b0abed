// The POSIX backend with the scanner on real trees: totals must equal what
// du and find report for the same tree, whatever the tree holds.
#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "core/scanner.h"
#include "posix/posix_reader.h"
#include "temp_tree.h"

namespace orvane::engine {
namespace {

using testing::MeasureWithTools;
using testing::TempTree;

ScanResult ScanPath(const std::string& path, unsigned threads = 0) {
    auto reader = CreatePosixDirectoryReader();
    ScanOptions options;
    options.threads = threads;
    Scanner scanner(*reader, options);
    return scanner.Run(path);
}

void ExpectSameAsTools(const std::string& path, const ScanResult& result) {
    auto tools = MeasureWithTools(path);
    EXPECT_EQ(result.totals.allocated_bytes, tools.allocated) << "du -sB1";
    EXPECT_EQ(result.totals.apparent_bytes, tools.apparent) << "du -sB1 --apparent-size";
    EXPECT_EQ(result.totals.files + result.totals.folders, tools.entries) << "find";
}

// Everything a real disk can throw at a scanner, in one small tree.
void BuildAdversarialTree(const TempTree& tree) {
    tree.Folder("links");
    tree.File("links/original", 10000);
    tree.HardLink("links/original", "links/second");
    tree.Folder("elsewhere");
    tree.HardLink("links/original", "elsewhere/third");
    tree.SparseFile("sparse.img", 64 << 20, 64 << 10);
    tree.File("solid.bin", 200 << 10);
    tree.SymLink(".", "loop-to-self");
    tree.SymLink("ping", "pong");
    tree.SymLink("pong", "ping");
    tree.SymLink("/", "to-root");
    tree.SymLink("missing-target", "dangling");
    tree.Folder("empty");
    tree.Folder("empty/nested-empty");
    tree.Folder("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC");
    tree.File("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC/\xF0\x9F\x98\x80.txt", 10);
    tree.Folder("latin1-\xE9\xFF");
    // Larger than the many files of 5000 bytes: always among the largest.
    tree.File("latin1-\xE9\xFF/\x80\x81", 6000);
    tree.File("with\nnewline", 1);
    std::string deep = "long";
    tree.Folder(deep);
    for (int i = 0; i < 4; ++i) {
        deep += "/" + std::string(100, char('a' + i));
        tree.Folder(deep);
    }
    tree.File(deep + "/end-of-a-path-over-300-characters", 3000);
    tree.Folder("many");
    for (int i = 0; i < 3000; ++i)
        tree.File("many/file-" + std::to_string(i) + ".dat", i % 7 == 0 ? 5000 : 0);
    ASSERT_EQ(::mkfifo(tree.Path("fifo").c_str(), 0644), 0);
}

TEST(PosixScan, AdversarialTreeMatchesDuAndFindWithAnyThreadCount) {
    TempTree tree;
    BuildAdversarialTree(tree);
    for (unsigned threads : {1u, 2u, 3u}) {
        SCOPED_TRACE(threads);
        ScanResult result = ScanPath(tree.root(), threads);
        EXPECT_EQ(result.status, ScanStatus::kCompleted);
        EXPECT_EQ(result.totals.unreadable_folders, 0u);
        ExpectSameAsTools(tree.root(), result);
    }
}

TEST(PosixScan, AdversarialTreeDetails) {
    TempTree tree;
    BuildAdversarialTree(tree);
    ScanResult result = ScanPath(tree.root());
    // The sparse file is ranked by what it occupies, not by its length.
    ASSERT_GE(result.largest_files.size(), 2u);
    EXPECT_EQ(result.largest_files[0].path, tree.Path("solid.bin"));
    EXPECT_EQ(result.largest_files[1].path, tree.Path("sparse.img"));
    auto sparse =
        std::find_if(result.largest_files.begin(), result.largest_files.end(),
                     [&](const FileSize& f) { return f.path == tree.Path("sparse.img"); });
    ASSERT_NE(sparse, result.largest_files.end());
    EXPECT_EQ(sparse->apparent_bytes, 64u << 20);
    EXPECT_LT(sparse->allocated_bytes, 1u << 20);
    // The non-UTF-8 file keeps its exact bytes in its path.
    auto latin = std::find_if(
        result.largest_files.begin(), result.largest_files.end(),
        [&](const FileSize& f) { return f.path == tree.Path("latin1-\xE9\xFF/\x80\x81"); });
    EXPECT_NE(latin, result.largest_files.end());
    // Three names, one piece of data.
    std::uint64_t links = 0;
    for (const FileSize& file : result.largest_files) {
        if (file.apparent_bytes == 10000) links++;
    }
    EXPECT_EQ(links, 1u);
}

TEST(PosixScan, ChainOf5000LevelsBeyondPathMax) {
    TempTree tree;
    tree.Folder("chain");
    tree.Chain("chain", 5000, "level");
    ScanResult result = ScanPath(tree.root());
    EXPECT_EQ(result.totals.folders, 5002u);
    EXPECT_EQ(result.totals.files, 5000u);
    EXPECT_EQ(result.totals.unreadable_folders, 0u);
    ExpectSameAsTools(tree.root(), result);
}

// Takes CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH from the calling thread's
// effective set, so that permission bits bind even for root. Threads it
// starts afterwards inherit that.
bool DropPermissionOverrides() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    return ::syscall(SYS_capset, &header, data) == 0;
}

TEST(PosixScan, UnreadableFolderIsCountedListedAndSkipped) {
    TempTree tree;
    tree.Folder("open");
    tree.File("open/visible", 5000);
    tree.Folder("locked");
    tree.File("locked/secret-1", 5000);
    tree.File("locked/secret-2", 5000);
    ASSERT_EQ(::chmod(tree.Path("locked").c_str(), 0), 0);

    ScanResult result;
    std::thread scan([&] {
        ASSERT_TRUE(DropPermissionOverrides());
        result = ScanPath(tree.root());
    });
    scan.join();
    EXPECT_EQ(result.status, ScanStatus::kCompleted);
    EXPECT_EQ(result.totals.unreadable_folders, 1u);
    ASSERT_EQ(result.unreadable.size(), 1u);
    EXPECT_EQ(result.unreadable[0].path, tree.Path("locked"));
    EXPECT_EQ(result.unreadable[0].reason, OpenError::kAccessDenied);
    EXPECT_EQ(result.totals.folders, 3u);  // the locked folder itself counts
    EXPECT_EQ(result.totals.files, 1u);
}

TEST(PosixScan, RootThatIsNotAFolderCannotBeScanned) {
    TempTree tree;
    tree.File("plain", 10);
    EXPECT_EQ(ScanPath(tree.Path("plain")).root_error, OpenError::kNotDirectory);
    ScanResult missing = ScanPath(tree.Path("missing"));
    EXPECT_EQ(missing.status, ScanStatus::kRootUnreadable);
    EXPECT_EQ(missing.root_error, OpenError::kNotFound);
}

TEST(PosixScan, RootGivenAsALinkIsFollowedButNothingBelowIs) {
    TempTree tree;
    tree.Folder("real");
    tree.File("real/data", 8192);
    tree.SymLink("real", "alias");
    tree.SymLink("..", "real/up");
    ScanResult through_link = ScanPath(tree.Path("alias"));
    ScanResult direct = ScanPath(tree.Path("real"));
    EXPECT_EQ(through_link.totals.allocated_bytes, direct.totals.allocated_bytes);
    EXPECT_EQ(through_link.totals.files, 2u);
    ExpectSameAsTools(tree.Path("real"), direct);
}

}  // namespace
}  // namespace orvane::engine
