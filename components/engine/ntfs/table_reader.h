// Reads a volume's file table into memory: the boot sector, then record 0
// for where the table itself lies ($MFT's run list, through its attribute
// list when the table is badly fragmented) and which records are in use
// ($MFT:$BITMAP), then every in-use record in large sequential reads, and
// last the volume's cluster bitmap for the used space.
//
// Everything read is checked before use; what fails before the table is
// read makes the whole attempt fail with a reason (the caller then walks the
// folders), what fails inside it is skipped and counted. No read goes
// outside the volume, and every read is sector-aligned.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "ntfs/file_table.h"
#include "ntfs/volume_reader.h"

namespace orvane::engine::ntfs {

// Read from any thread while the table is read.
struct TableProgress {
    std::atomic<std::uint64_t> records_read{0};
    std::atomic<std::uint64_t> records_total{0};
    std::atomic<std::uint64_t> bytes_read{0};
};

struct TableReadResult {
    std::unique_ptr<FileTable> table;  // null when there is none
    bool cancelled = false;
    std::string problem;  // why there is no table, in words ("not an NTFS volume")
};

// The size of each sequential read of the table, and how many buffers the
// reading thread fills ahead of the parsing. Four of 1 MiB rather than two
// of 2 MiB: the same memory, but the reading runs up to three chunks ahead
// instead of one, so a pause of the parser (another program taking its
// core) does not stop the device at once.
inline constexpr std::size_t kTableChunkBytes = 1u << 20;
inline constexpr std::size_t kTableChunksAhead = 4;

TableReadResult ReadFileTable(VolumeReader& volume, const std::atomic<bool>& cancel,
                              TableProgress& progress);

}  // namespace orvane::engine::ntfs
