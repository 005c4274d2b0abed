#include "ntfs/file_record.h"

namespace orvane::engine::ntfs {
namespace {

constexpr std::size_t kStride = 512;

bool ParseResident(ByteView at, Attribute& attribute) {
    const std::uint32_t length = at.U32(0x10);
    const std::uint16_t offset = at.U16(0x14);
    if (!at.Holds(offset, length)) return false;
    attribute.value = at.Sub(offset, length);
    attribute.data_size = length;
    return true;
}

bool ParseNonResident(ByteView at, Attribute& attribute) {
    if (!at.Holds(0, 0x40)) return false;
    attribute.resident = false;
    attribute.lowest_vcn = at.U64(0x10);
    attribute.highest_vcn = at.U64(0x18);
    const std::uint16_t pairs = at.U16(0x20);
    if (pairs < 0x40 || pairs >= at.size()) return false;
    attribute.pairs = at.Sub(pairs, at.size() - pairs);
    attribute.allocated_size = at.U64(0x28);
    attribute.data_size = at.U64(0x30);
    // Compressed and sparse attributes say how many clusters they really hold.
    if (attribute.flags & 0x80FF) {
        if (!at.Holds(0, 0x48) || pairs < 0x48) return false;
        attribute.allocated_size = at.U64(0x40);
    }
    return true;
}

// The attribute at `at` (exactly its declared length) into `attribute`.
bool ParseAttribute(ByteView at, Attribute& attribute) {
    attribute.type = at.U32(0);
    const std::uint8_t name_length = at.U8(0x09);
    const std::uint16_t name_offset = at.U16(0x0A);
    attribute.flags = at.U16(0x0C);
    if (name_length != 0) {
        if (!at.Holds(name_offset, 2u * name_length)) return false;
        attribute.name = at.Sub(name_offset, 2u * name_length);
    }
    return at.U8(0x08) == 0 ? ParseResident(at, attribute) : ParseNonResident(at, attribute);
}

}  // namespace

bool ApplyFixups(std::uint8_t* record, std::size_t size, std::uint32_t magic) {
    const ByteView view(record, size);
    if (size < kStride || size % kStride != 0 || view.U32(0) != magic) return false;
    const std::uint16_t offset = view.U16(0x04);
    const std::uint16_t count = view.U16(0x06);
    if (count != size / kStride + 1 || offset % 2 != 0 || !view.Holds(offset, 2u * count) ||
        offset + 2u * count > kStride - 2)
        return false;
    const std::uint16_t check = view.U16(offset);
    for (std::size_t i = 1; i < count; ++i) {
        std::uint8_t* tail = record + i * kStride - 2;
        if ((tail[0] | tail[1] << 8) != check) return false;
        tail[0] = record[offset + 2 * i];
        tail[1] = record[offset + 2 * i + 1];
    }
    return true;
}

bool ParseRecord(ByteView record, RecordHeader& header, std::vector<Attribute>& out) {
    out.clear();
    if (!record.Holds(0, 0x30)) return false;
    header.sequence = record.U16(0x10);
    const std::uint16_t flags = record.U16(0x16);
    header.in_use = (flags & 0x01) != 0;
    header.directory = (flags & 0x02) != 0;
    header.base = SplitReference(record.U64(0x20));
    const std::uint32_t used = record.U32(0x18);
    std::uint64_t offset = record.U16(0x14);
    if (used > record.size() || offset < 0x30 || offset % 8 != 0) return false;
    const ByteView body = record.Sub(0, used);
    while (body.Holds(offset, 4) && body.U32(offset) != kEndOfAttributes) {
        const std::uint32_t length = body.U32(offset + 4);
        if (length < 0x18 || length % 8 != 0 || !body.Holds(offset, length)) return false;
        Attribute attribute;
        if (!ParseAttribute(body.Sub(offset, length), attribute)) return false;
        out.push_back(attribute);
        offset += length;
    }
    return body.Holds(offset, 4);  // the end marker is there
}

}  // namespace orvane::engine::ntfs
