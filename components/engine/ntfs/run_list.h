// An attribute's run list ("mapping pairs"): where on the volume each piece
// of a non-resident attribute lies.
#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/little_endian.h"

namespace orvane::engine::ntfs {

struct Extent {
    std::uint64_t vcn = 0;     // first cluster within the attribute
    std::uint64_t lcn = 0;     // first cluster on the volume; unused when sparse
    std::uint64_t length = 0;  // clusters
    bool sparse = false;
};

// Decodes the runs at `pairs`, which start at virtual cluster `first_vcn`,
// into `out` (appended). False, with `out` as it was, when a run is
// malformed, lies outside the volume's `total_clusters`, or the runs go
// beyond `last_vcn`: a broken list is never half trusted.
bool DecodeRunList(ByteView pairs, std::uint64_t first_vcn, std::uint64_t last_vcn,
                   std::uint64_t total_clusters, std::vector<Extent>& out);

}  // namespace orvane::engine::ntfs
