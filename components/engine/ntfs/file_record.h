// One file record of the table, and the attributes in it.
//
// A record is used only after its update sequence checks out (the last two
// bytes of every 512-byte stride carry the same number, proving the record
// was written whole) and after every attribute header lies inside the
// record's used bytes; a record failing either is damaged, and none of it is
// trusted.
#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/little_endian.h"

namespace orvane::engine::ntfs {

enum AttributeType : std::uint32_t {
    kStandardInformation = 0x10,
    kAttributeList = 0x20,
    kFileName = 0x30,
    kData = 0x80,
    kIndexRoot = 0x90,
    kIndexAllocation = 0xA0,
    kBitmap = 0xB0,
    kReparsePoint = 0xC0,
    kEndOfAttributes = 0xFFFF'FFFF,
};

struct Attribute {
    std::uint32_t type = 0;
    bool resident = true;
    std::uint16_t flags = 0;  // compressed (0x00FF), encrypted (0x4000), sparse (0x8000)
    ByteView name;            // UTF-16 units, empty for the unnamed attribute
    ByteView value;           // resident: the value
    ByteView pairs;           // non-resident: the run list
    std::uint64_t lowest_vcn = 0;
    std::uint64_t highest_vcn = 0;
    std::uint64_t allocated_size = 0;  // non-resident; the clusters it holds when compressed/sparse
    std::uint64_t data_size = 0;       // the logical size (resident: the value's length)

    bool named() const { return name.size() != 0; }
};

struct RecordHeader {
    std::uint16_t sequence = 0;
    bool in_use = false;
    bool directory = false;
    FileReference base;  // record 0: this is a base record
};

// Checks and undoes the update sequence of a record or index block of
// `record` bytes in place. False when it fails.
bool ApplyFixups(std::uint8_t* record, std::size_t size, std::uint32_t magic);

inline constexpr std::uint32_t kFileMagic = 0x454C4946;  // "FILE"

// Reads the header and attributes of a record whose fixups were applied.
// False when the record is damaged (headers overlapping or running past the
// used bytes, attribute lengths that overflow); `out` is then incomplete.
bool ParseRecord(ByteView record, RecordHeader& header, std::vector<Attribute>& out);

}  // namespace orvane::engine::ntfs
