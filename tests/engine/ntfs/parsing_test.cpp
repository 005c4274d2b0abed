// The file table's parsing rules on crafted bytes: what the boot sector,
// run lists and update sequences must be before anything is believed.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ntfs/boot_sector.h"
#include "ntfs/file_record.h"
#include "ntfs/run_list.h"

namespace orvane::engine::ntfs {
namespace {

std::vector<std::uint8_t> BootSector(std::uint16_t sector, std::uint8_t per_cluster,
                                     std::uint8_t record, std::uint64_t sectors) {
    std::vector<std::uint8_t> bytes(4096);
    std::memcpy(&bytes[3], "NTFS    ", 8);
    bytes[0x0B] = sector & 0xFF;
    bytes[0x0C] = sector >> 8;
    bytes[0x0D] = per_cluster;
    for (int i = 0; i < 8; ++i) bytes[0x28 + i] = static_cast<std::uint8_t>(sectors >> (8 * i));
    bytes[0x30] = 4;  // $MFT at cluster 4
    bytes[0x40] = record;
    bytes[0x1FE] = 0x55;
    bytes[0x1FF] = 0xAA;
    return bytes;
}

BootSectorCheck Check(const std::vector<std::uint8_t>& bytes, std::uint64_t device = 0) {
    return CheckBootSector(ByteView(bytes.data(), bytes.size()), device);
}

TEST(NtfsBootSector, ReadsEveryClusterEncodingAndRefusesWhatCannotBe) {
    auto plain = Check(BootSector(512, 8, 0xF6, 1 << 20));  // 4 KiB clusters, 1 KiB records
    ASSERT_TRUE(plain.valid) << plain.problem;
    EXPECT_EQ(plain.geometry.cluster_size, 4096u);
    EXPECT_EQ(plain.geometry.record_size, 1024u);
    EXPECT_EQ(plain.geometry.total_clusters, (1u << 20) / 8);
    // Above 128 sectors the byte is a negative shift: 2^(256-0xF4) sectors of 512 = 2 MiB.
    auto large = Check(BootSector(512, 0xF4, 0xF6, 1ull << 32));
    ASSERT_TRUE(large.valid) << large.problem;
    EXPECT_EQ(large.geometry.cluster_size, 2u << 20);
    auto positive_record = Check(BootSector(4096, 1, 1, 1 << 20));  // one 4 KiB cluster a record
    ASSERT_TRUE(positive_record.valid) << positive_record.problem;
    EXPECT_EQ(positive_record.geometry.record_size, 4096u);

    EXPECT_FALSE(Check(BootSector(768, 8, 0xF6, 1 << 20)).valid);     // sector size
    EXPECT_FALSE(Check(BootSector(8192, 1, 0xF6, 1 << 20)).valid);    // sector size
    EXPECT_FALSE(Check(BootSector(512, 3, 0xF6, 1 << 20)).valid);     // cluster size
    EXPECT_FALSE(Check(BootSector(512, 0xE0, 0xF6, 1 << 20)).valid);  // 2^32 sectors a cluster
    EXPECT_FALSE(Check(BootSector(512, 8, 0xEF, 1 << 20)).valid);     // 128 KiB records
    EXPECT_FALSE(Check(BootSector(512, 8, 0xF6, 0)).valid);           // no volume
    EXPECT_FALSE(Check(BootSector(512, 8, 0xF6, 1 << 20), 1 << 20).valid);  // more than the device
    auto not_ntfs = BootSector(512, 8, 0xF6, 1 << 20);
    std::memcpy(&not_ntfs[3], "MSDOS5.0", 8);
    EXPECT_FALSE(Check(not_ntfs).valid);
}

bool Decode(std::vector<std::uint8_t> pairs, std::vector<Extent>& out, std::uint64_t last = 1000) {
    return DecodeRunList(ByteView(pairs.data(), pairs.size()), 0, last, 10000, out);
}

TEST(NtfsRunList, DecodesRelativeAndSparseRunsAndRefusesBrokenOnes) {
    std::vector<Extent> runs;
    // 16 clusters at 100, 8 sparse, 4 at 100 - 60 = 40.
    ASSERT_TRUE(Decode({0x11, 16, 100, 0x01, 8, 0x11, 4, 0xC4, 0x00}, runs));
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].lcn, 100u);
    EXPECT_TRUE(runs[1].sparse);
    EXPECT_EQ(runs[1].vcn, 16u);
    EXPECT_EQ(runs[2].lcn, 40u);
    EXPECT_EQ(runs[2].vcn, 24u);

    std::vector<Extent> kept{{0, 1, 1, false}};
    EXPECT_FALSE(Decode({0x11, 16, 0x9C, 0x00}, kept));                       // before cluster 0
    EXPECT_FALSE(Decode({0x21, 16, 0x06, 0x27, 0x00}, kept));                 // past the volume
    EXPECT_FALSE(Decode({0x11, 16, 100}, kept));                              // no end
    EXPECT_FALSE(Decode({0x11, 16, 100, 0x00}, kept, 10));                    // past the last VCN
    EXPECT_FALSE(Decode({0x91, 16, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x00}, kept));  // 9-byte offset
    EXPECT_FALSE(Decode({0x10, 0x00}, kept));                                 // no length
    EXPECT_EQ(kept.size(), 1u);                            // a refused list leaves nothing behind
    EXPECT_TRUE(Decode({0x00}, kept, ~std::uint64_t{0}));  // an empty attribute
    EXPECT_FALSE(Decode({0x11, 1, 1, 0x00}, kept, ~std::uint64_t{0}));
}

TEST(NtfsUpdateSequence, RestoresEveryStrideAndRefusesATornRecord) {
    std::vector<std::uint8_t> record(1024, 0);
    std::memcpy(record.data(), "FILE", 4);
    record[4] = 0x30;  // the array at 0x30: the check value, then two saved pairs
    record[6] = 3;
    record[0x30] = 0x07;
    record[0x32] = 0xAA;
    record[0x34] = 0xBB;
    record[510] = 0x07;
    record[1022] = 0x07;
    auto torn = record;
    ASSERT_TRUE(ApplyFixups(record.data(), record.size(), kFileMagic));
    EXPECT_EQ(record[510], 0xAA);
    EXPECT_EQ(record[1022], 0xBB);
    torn[1022] = 0x08;  // the second stride was not written with the first
    EXPECT_FALSE(ApplyFixups(torn.data(), torn.size(), kFileMagic));
}

}  // namespace
}  // namespace orvane::engine::ntfs
