#include "ntfs/boot_sector.h"

#include <cstring>

namespace orvane::engine::ntfs {
namespace {

bool PowerOfTwo(std::uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Sectors per cluster: a plain count up to 128; above that the byte is a
// negative shift, for clusters of 64 KiB and beyond.
std::uint64_t ClusterSize(std::uint8_t encoded, std::uint32_t bytes_per_sector) {
    if (encoded == 0) return 0;
    if (encoded <= 0x80) return std::uint64_t{encoded} * bytes_per_sector;
    const unsigned shift = 256u - encoded;
    return shift > 12 ? 0 : (std::uint64_t{bytes_per_sector} << shift);
}

// Clusters per record (or per index block): positive, a cluster count;
// negative, the size is 2^-n bytes.
std::uint64_t RecordSize(std::uint8_t encoded, std::uint64_t cluster_size) {
    const auto value = static_cast<std::int8_t>(encoded);
    if (value > 0) return static_cast<std::uint64_t>(value) * cluster_size;
    const int shift = -value;
    return shift < 9 || shift > 16 ? 0 : std::uint64_t{1} << shift;
}

BootSectorCheck Fail(const char* problem) {
    BootSectorCheck check;
    check.problem = problem;
    return check;
}

}  // namespace

BootSectorCheck CheckBootSector(ByteView sector, std::uint64_t device_bytes) {
    if (!sector.Holds(0, 512)) return Fail("the boot sector cannot be read");
    if (std::memcmp(sector.data() + 3, "NTFS    ", 8) != 0) return Fail("not an NTFS volume");
    if (sector.U16(0x1FE) != 0xAA55) return Fail("the boot sector has no signature");
    const std::uint32_t bytes_per_sector = sector.U16(0x0B);
    if (!PowerOfTwo(bytes_per_sector) || bytes_per_sector < 512 || bytes_per_sector > 4096)
        return Fail("the boot sector's sector size is invalid");
    const std::uint64_t cluster = ClusterSize(sector.U8(0x0D), bytes_per_sector);
    if (!PowerOfTwo(cluster) || cluster > (2u << 20))
        return Fail("the boot sector's cluster size is invalid");
    const std::uint64_t record = RecordSize(sector.U8(0x40), cluster);
    if (!PowerOfTwo(record) || record < 512 || record > 65536)
        return Fail("the boot sector's file record size is invalid");
    const std::uint64_t sectors = sector.U64(0x28);
    const std::uint64_t clusters = sectors / (cluster / bytes_per_sector);
    if (clusters == 0 || sectors > (std::uint64_t{1} << 52) / bytes_per_sector)
        return Fail("the boot sector's volume size is invalid");
    if (device_bytes != 0 && sectors * bytes_per_sector > device_bytes)
        return Fail("the boot sector claims more than the device holds");
    const std::uint64_t mft = sector.U64(0x30);
    if (mft == 0 || mft >= clusters) return Fail("the boot sector's file table start is invalid");
    BootSectorCheck check;
    check.valid = true;
    check.geometry = {bytes_per_sector,
                      static_cast<std::uint32_t>(cluster),
                      static_cast<std::uint32_t>(record),
                      clusters,
                      mft,
                      sector.U64(0x48)};
    return check;
}

}  // namespace orvane::engine::ntfs
