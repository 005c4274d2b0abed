// Whole volumes made by ntfs-3g, read through their file table and set
// against the file system's own library; then the same volumes damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "core/scanner.h"
#include "ntfs/table_directory_reader.h"
#include "ntfs/table_reader.h"
#include "test_volumes.h"

namespace orvane::engine::ntfs {
namespace {

using testing::Image;
using testing::Reference;
using testing::StrictVolume;

std::string MixedImage() { return Image("mixed", "256M", "populate"); }
std::string ChurnedImage() { return Image("churned", "24M", "churn"); }
std::string BigSectorImage() { return Image("sector4096", "64M", "many", "-s 4096", "3000"); }

struct TableScan {
    TableReadResult read;
    ScanResult scan;
};

TableScan ScanVolume(VolumeReader& volume) {
    TableScan out;
    std::atomic<bool> cancel{false};
    TableProgress progress;
    out.read = ReadFileTable(volume, cancel, progress);
    if (!out.read.table) return out;
    auto reader = CreateTableDirectoryReader(*out.read.table);
    ScanOptions options;
    options.threads = 2;
    Scanner scanner(*reader, options);
    out.scan = scanner.Run(ORVANE_NATIVE("X:"));
    return out;
}

// Every test volume: the table's figures equal the library's, and every
// used cluster is found or explained.
void ExpectMatchesReference(const std::string& image, std::uint32_t sector = 512) {
    SCOPED_TRACE(image);
    const auto reference = Reference(image);
    StrictVolume volume(image, sector);
    const TableScan result = ScanVolume(volume);
    ASSERT_TRUE(result.read.table) << result.read.problem;
    const TableFacts& facts = result.read.table->facts();
    const ScanTotals& totals = result.scan.totals;
    EXPECT_EQ(volume.refused(), 0u);
    EXPECT_EQ(result.scan.status, ScanStatus::kCompleted);
    EXPECT_EQ(totals.files, reference.at("files"));
    EXPECT_EQ(totals.folders, reference.at("folders"));
    EXPECT_EQ(totals.apparent_bytes, reference.at("logical"));
    EXPECT_EQ(totals.allocated_bytes, reference.at("allocated"));
    EXPECT_EQ(facts.damaged_records, 0u);
    EXPECT_EQ(facts.orphaned_records, 0u);
    ASSERT_TRUE(facts.used_known);
    EXPECT_EQ(facts.used_clusters, reference.at("used_clusters"));
    const std::uint64_t used = facts.used_clusters * reference.at("cluster_size");
    EXPECT_EQ(used, reference.at("attribute_bytes"));  // the reference agrees with itself
    EXPECT_EQ(totals.allocated_bytes + facts.explained.Sum(), used);
}

TEST(FileTableVolume, EveryVolumeMatchesTheLibraryAndLeavesNoRemainder) {
    ExpectMatchesReference(Image("empty", "16M", ""));
    ExpectMatchesReference(MixedImage());
    ExpectMatchesReference(ChurnedImage());
    ExpectMatchesReference(BigSectorImage(), 4096);
}

TEST(FileTableVolume, AFragmentedTableIsReadThroughAllItsPieces) {
    EXPECT_GT(Reference(ChurnedImage()).at("table_runs"), 1u);
}

}  // namespace
}  // namespace orvane::engine::ntfs
