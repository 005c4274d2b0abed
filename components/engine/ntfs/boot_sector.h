// The volume's first sector: what it says about the volume's geometry, and
// whether it can be believed. Nothing else of the volume is read before it
// passes every check here.
#pragma once

#include <cstdint>
#include <string>

#include "ntfs/little_endian.h"

namespace orvane::engine::ntfs {

struct VolumeGeometry {
    std::uint32_t bytes_per_sector = 0;
    std::uint32_t cluster_size = 0;  // bytes
    std::uint32_t record_size = 0;   // bytes per file record
    std::uint64_t total_clusters = 0;
    std::uint64_t mft_cluster = 0;  // where record 0 starts
    std::uint64_t serial = 0;

    std::uint64_t volume_bytes() const { return total_clusters * cluster_size; }
};

struct BootSectorCheck {
    bool valid = false;
    std::string problem;  // why not, in words, when not valid
    VolumeGeometry geometry;
};

// How many bytes are read to check the boot sector: a whole sector of any
// size the format allows, so the read is aligned whatever the sector size.
inline constexpr std::uint32_t kBootReadSize = 4096;

// `device_bytes` is the volume's length as the platform tells it, 0 when
// unknown; a boot sector that claims more than that is not believed.
BootSectorCheck CheckBootSector(ByteView sector, std::uint64_t device_bytes);

}  // namespace orvane::engine::ntfs
