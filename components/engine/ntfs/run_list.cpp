#include "ntfs/run_list.h"

namespace orvane::engine::ntfs {
namespace {

// A little-endian signed field of `bytes` bytes (1 to 8).
std::int64_t Signed(ByteView view, std::uint64_t offset, unsigned bytes) {
    std::uint64_t value = view.Unsigned(offset, bytes);
    if (bytes < 8 && (value >> (8 * bytes - 1)) & 1) value |= ~std::uint64_t{0} << (8 * bytes);
    return static_cast<std::int64_t>(value);
}

struct Cursor {
    std::uint64_t offset = 0;
    std::uint64_t vcn = 0;
    std::int64_t lcn = 0;
};

// One run at the cursor into `extent`; false when it is malformed.
bool NextRun(ByteView pairs, Cursor& at, std::uint64_t last_vcn, std::uint64_t total_clusters,
             Extent& extent) {
    const std::uint8_t header = pairs.U8(at.offset);
    const unsigned length_bytes = header & 0x0F;
    const unsigned offset_bytes = header >> 4;
    if (length_bytes == 0 || length_bytes > 8 || offset_bytes > 8) return false;
    if (!pairs.Holds(at.offset + 1, length_bytes + offset_bytes)) return false;
    const std::uint64_t length = pairs.Unsigned(at.offset + 1, length_bytes);
    if (length == 0 || length > total_clusters) return false;
    if (at.vcn > last_vcn || length - 1 > last_vcn - at.vcn) return false;
    extent = {at.vcn, 0, length, offset_bytes == 0};
    if (!extent.sparse) {
        const std::int64_t delta = Signed(pairs, at.offset + 1 + length_bytes, offset_bytes);
        const std::int64_t lcn = at.lcn + delta;  // both within +-2^52: no overflow
        if (lcn < 0 || static_cast<std::uint64_t>(lcn) >= total_clusters ||
            length > total_clusters - static_cast<std::uint64_t>(lcn))
            return false;
        at.lcn = lcn;
        extent.lcn = static_cast<std::uint64_t>(lcn);
    }
    at.offset += 1 + length_bytes + offset_bytes;
    at.vcn += length;
    return true;
}

}  // namespace

bool DecodeRunList(ByteView pairs, std::uint64_t first_vcn, std::uint64_t last_vcn,
                   std::uint64_t total_clusters, std::vector<Extent>& out) {
    const std::size_t kept = out.size();
    // An empty attribute says its last cluster is -1; nothing so large is a
    // real cluster number, so such a list must hold no run.
    if (first_vcn > last_vcn || last_vcn >= (std::uint64_t{1} << 62))
        return pairs.Holds(0, 1) && pairs.U8(0) == 0;
    Cursor at{0, first_vcn, 0};
    while (pairs.Holds(at.offset, 1) && pairs.U8(at.offset) != 0) {
        Extent extent;
        if (!NextRun(pairs, at, last_vcn, total_clusters, extent)) {
            out.resize(kept);
            return false;
        }
        out.push_back(extent);
    }
    if (!pairs.Holds(at.offset, 1)) {  // no terminating zero
        out.resize(kept);
        return false;
    }
    return true;
}

}  // namespace orvane::engine::ntfs
