// Whole volumes made by ntfs-3g, read through their file table and set
// against the file system's own library; then the same volumes damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "core/scanner.h"
#include "ntfs/file_record.h"
#include "ntfs/table_reader.h"
#include "ntfs/table_walk.h"
#include "../core/json_value.h"
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
    ScanOptions options;
    options.threads = 2;
    Scanner scanner(TableWalk::Maker(*out.read.table), options);
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

// The record of the file at `path` (names from the root), from a clean read.
std::uint32_t RecordOf(const FileTable& table, const std::vector<std::string>& path) {
    std::uint32_t at = kRootRecord;
    for (const std::string& name : path) {
        const auto names = table.NamesIn(at);
        auto found = std::find_if(names.begin(), names.end(),
                                  [&](const TableName& n) { return table.Text(n) == name; });
        if (found == names.end()) throw std::runtime_error("no " + name);
        at = found->record;
    }
    return at;
}

bool Lists(const FileTable& table, std::uint32_t folder, const std::string& name) {
    const auto names = table.NamesIn(folder);
    return std::any_of(names.begin(), names.end(),
                       [&](const TableName& n) { return table.Text(n) == name; });
}

// Damage laid over the mixed volume, whose table is in one piece.
class DamagedVolume : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = MixedImage();
        reference_ = Reference(image_);
        ASSERT_EQ(reference_.at("table_runs"), 1u);
        StrictVolume clean(image_);
        clean_ = ScanVolume(clean);
        ASSERT_TRUE(clean_.read.table);
        volume_ = std::make_unique<StrictVolume>(image_);
    }
    std::uint64_t RecordOffset(std::uint32_t record) const {
        const VolumeGeometry& g = clean_.read.table->geometry();
        return g.mft_cluster * g.cluster_size + std::uint64_t{record} * g.record_size;
    }
    std::uint32_t Record(const std::vector<std::string>& path) const {
        return RecordOf(*clean_.read.table, path);
    }
    // Where the first attribute of `type` starts in `record`.
    std::uint64_t AttributeOffset(std::uint32_t record, std::uint32_t type) {
        const std::uint64_t start = RecordOffset(record);
        const auto bytes = volume_->Bytes(start, clean_.read.table->geometry().record_size);
        const ByteView view(bytes.data(), bytes.size());
        for (std::uint64_t at = view.U16(0x14); view.Holds(at, 8); at += view.U32(at + 4)) {
            if (view.U32(at) == type) return start + at;
            if (view.U32(at + 4) == 0) break;
        }
        throw std::runtime_error("no such attribute");
    }
    std::uint64_t Used(const TableScan& scan) const {
        return scan.read.table->facts().used_clusters * reference_.at("cluster_size");
    }

    std::string image_;
    std::map<std::string, std::uint64_t> reference_;
    TableScan clean_;
    std::unique_ptr<StrictVolume> volume_;
};

TEST_F(DamagedVolume, ARecordWithATornUpdateSequenceIsSkippedAndCounted) {
    const std::uint32_t record = Record({"links", "a", "one.dat"});
    volume_->PatchLe(RecordOffset(record) + 1022, 0xBEEF, 2);
    const TableScan scan = ScanVolume(*volume_);
    ASSERT_TRUE(scan.read.table);
    EXPECT_EQ(scan.read.table->facts().damaged_records, 1u);
    EXPECT_EQ(scan.scan.totals.files, reference_.at("files") - 3);  // its three names
    // Its clusters are still in use, and nothing can say whose they are.
    EXPECT_EQ(
        Used(scan) - scan.scan.totals.allocated_bytes - scan.read.table->facts().explained.Sum(),
        102400u);
    EXPECT_EQ(volume_->refused(), 0u);
}

TEST_F(DamagedVolume, AnAttributeRunningPastItsRecordDamagesOnlyThatRecord) {
    const std::uint32_t record = Record({"streams", "big.txt"});
    volume_->PatchLe(AttributeOffset(record, kData) + 4, 0xFFFF'FFF0u, 4);
    const TableScan scan = ScanVolume(*volume_);
    ASSERT_TRUE(scan.read.table);
    EXPECT_EQ(scan.read.table->facts().damaged_records, 1u);
    EXPECT_EQ(scan.scan.totals.files, reference_.at("files") - 1);
    EXPECT_EQ(scan.scan.totals.folders, reference_.at("folders"));
}

TEST_F(DamagedVolume, FoldersThatNameEachOtherAsParentAreOrphansNotALoop) {
    const std::uint32_t a = Record({"links", "a"});
    const std::uint32_t b = Record({"links", "b"});
    const FileTable& table = *clean_.read.table;
    volume_->PatchLe(AttributeOffset(a, kFileName) + 0x18, table.FileId(b), 8);
    volume_->PatchLe(AttributeOffset(b, kFileName) + 0x18, table.FileId(a), 8);
    const TableScan scan = ScanVolume(*volume_);
    ASSERT_TRUE(scan.read.table);
    const TableFacts& facts = scan.read.table->facts();
    EXPECT_EQ(facts.orphaned_records, 2u);
    EXPECT_EQ(facts.damaged_records, 0u);
    // one.dat keeps its third name under c; the loop's folders and names go.
    EXPECT_EQ(scan.scan.totals.folders, reference_.at("folders") - 2);
    EXPECT_EQ(scan.scan.totals.files, reference_.at("files") - 2);
    EXPECT_EQ(scan.scan.totals.allocated_bytes, reference_.at("allocated"));
    EXPECT_EQ(scan.scan.totals.allocated_bytes + facts.explained.Sum(), Used(scan));
}

TEST_F(DamagedVolume, ATableWhoseRunsLeaveTheVolumeIsNotReadAtAll) {
    const std::uint64_t data = AttributeOffset(0, kData);
    const auto header = volume_->Bytes(data, 0x48);
    const std::uint64_t pairs = data + (header[0x20] | header[0x21] << 8);
    const auto run = volume_->Bytes(pairs, 3);
    ASSERT_EQ(run[0] & 0x0F, 2);  // mkntfs: a two-byte length
    // The same length, starting 2^23 clusters in: far past the end.
    volume_->Patch(pairs, {0x32, run[1], run[2], 0xFF, 0xFF, 0x7F, 0x00});
    const TableScan scan = ScanVolume(*volume_);
    EXPECT_FALSE(scan.read.table);
    EXPECT_EQ(scan.read.problem, "the file table's run list is damaged");
    EXPECT_EQ(volume_->refused(), 0u);
}

TEST_F(DamagedVolume, ABootSectorOfAnotherFileSystemIsNoTable) {
    volume_->Patch(3, {'M', 'S', 'D', 'O', 'S', '5', '.', '0'});
    const TableScan scan = ScanVolume(*volume_);
    EXPECT_FALSE(scan.read.table);
    EXPECT_EQ(scan.read.problem, "not an NTFS volume");
}

TEST_F(DamagedVolume, GarbageOverHundredsOfRecordsIsSkippedWithoutHarm) {
    std::vector<std::uint8_t> noise(512 * 1024);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (auto& byte : noise) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<std::uint8_t>(state);
    }
    volume_->Patch(RecordOffset(100), noise);
    const TableScan scan = ScanVolume(*volume_);
    ASSERT_TRUE(scan.read.table);
    EXPECT_EQ(scan.read.table->facts().damaged_records, 512u);
    EXPECT_EQ(scan.scan.status, ScanStatus::kCompleted);
    EXPECT_EQ(volume_->refused(), 0u);
}

TEST(FileTableVolume, NamesComeAsTheFileSystemHoldsThem) {
    StrictVolume volume(MixedImage());
    const TableScan scan = ScanVolume(volume);
    ASSERT_TRUE(scan.read.table);
    const FileTable& table = *scan.read.table;
    EXPECT_FALSE(Lists(table, kRootRecord, "$MFT"));
    EXPECT_FALSE(Lists(table, kRootRecord, "$Extend"));
    const std::uint32_t names = RecordOf(table, {"names"});
    for (const char* name : {"\xF0\x9F\x98\x80 emoji.txt", "Case.txt", "CASE.txt", "case.TXT",
                             "a:b", "what?", "trailing. ", "con"})
        EXPECT_TRUE(Lists(table, names, name)) << name;
    // Junctions and symbolic links are listed, never followed.
    const std::uint32_t reparse = RecordOf(table, {"reparse"});
    EXPECT_TRUE(table.record(RecordOf(table, {"reparse", "junction"})).Has(kLinkReparse));
    EXPECT_TRUE(table.record(RecordOf(table, {"reparse", "symlink"})).Has(kLinkReparse));
    EXPECT_EQ(table.NamesIn(reparse).size(), 2u);
    // Forty-one names of one file, its data counted once; names of 207
    // characters come back whole.
    EXPECT_EQ(table.record(RecordOf(table, {"links", "target.bin"})).names, 41u);
    EXPECT_TRUE(
        Lists(table, RecordOf(table, {"links", "c"}), "39-" + std::string(200, '0') + ".lnk"));
}

std::string ScanOutput(const std::string& arguments, int& exit_code) {
    return engine::testing::CommandOutput(std::string(ORVANE_SCAN_EXE) + " " + arguments + " 2>&1",
                                          &exit_code);
}

// orvane-scan on an image: the table is read and the report says so, to the
// byte; asked for a table where there is none, it says why and fails.
TEST(ScanCliFileTable, ReadsAnImageAndRefusesWhatHoldsNone) {
    const char* sink = std::getenv("ORVANE_REPORT_SINK");
    const std::string json =
        std::string(sink ? sink : ORVANE_NTFS_IMAGES) + "/ntfs-file-table.json";
    int code = -1;
    const std::string out =
        ScanOutput("--method file-table --json '" + json + "' '" + ChurnedImage() + "'", code);
    ASSERT_EQ(code, 0) << out;
    const auto report = engine::testing::JsonReader::Parse(testing::Output("cat '" + json + "'"));
    EXPECT_EQ(report["method"].text, "file_table");
    EXPECT_EQ(report["ledger"]["remainder_bytes"].U64(), 0u);
    EXPECT_GT(report["ledger"]["explained"]["metadata"].U64(), 0u);

    EXPECT_NE(ScanOutput("--method file-table /tmp", code).find("not a file or block device"),
              std::string::npos);
    EXPECT_EQ(code, 1);
    const std::string walked = ScanOutput("--method walk '" + ChurnedImage() + "'", code);
    EXPECT_EQ(code, 1);  // a file has no folders to walk
    EXPECT_EQ(walked.find("as a volume"), std::string::npos) << walked;
}

// Stands for a user who cancels while the table is read: the cancel comes
// with read number `at` (0: before the first), and the reads after it are
// counted.
class CancellingVolume : public VolumeReader {
public:
    CancellingVolume(VolumeReader& volume, std::atomic<bool>& cancel, std::uint64_t at)
        : volume_(volume), cancel_(cancel), at_(at) {
        if (at == 0) cancel.store(true);
    }
    bool Read(std::uint64_t offset, void* buffer, std::size_t length) override {
        const std::uint64_t read = ++reads_;
        if (read == at_) cancel_.store(true);
        if (read > at_) later_++;
        return volume_.Read(offset, buffer, length);
    }
    std::uint64_t Size() const override { return volume_.Size(); }
    std::uint64_t reads() const { return reads_; }
    std::uint64_t later() const { return later_; }

private:
    VolumeReader& volume_;
    std::atomic<bool>& cancel_;
    std::uint64_t at_;
    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> later_{0};
};

// Before the first read, in the middle of the records, and with the last
// read (the volume's bitmap, just before the table is settled): no table,
// and not one read more.
TEST(FileTableVolume, ACancelEndsTheReadingWhereverItComes) {
    StrictVolume image(MixedImage());
    std::uint64_t all_reads = 0;
    {
        std::atomic<bool> cancel{false};
        CancellingVolume volume(image, cancel, UINT64_MAX);
        TableProgress progress;
        ASSERT_TRUE(ReadFileTable(volume, cancel, progress).table);
        all_reads = volume.reads();
        ASSERT_GE(all_reads, 8u);  // boot, record 0, bitmaps and several chunks of records
    }
    for (std::uint64_t at : {std::uint64_t{0}, all_reads / 2, all_reads}) {
        SCOPED_TRACE(at);
        std::atomic<bool> cancel{false};
        CancellingVolume volume(image, cancel, at);
        TableProgress progress;
        const TableReadResult read = ReadFileTable(volume, cancel, progress);
        EXPECT_TRUE(read.cancelled);
        EXPECT_FALSE(read.table);
        EXPECT_EQ(volume.later(), 0u);
        EXPECT_EQ(image.refused(), 0u);
    }
}

}  // namespace
}  // namespace orvane::engine::ntfs
