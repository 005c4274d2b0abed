// What tells one file system object from another, apart from the folders of
// the walk, so that lists kept beside the tree can name data too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvane::engine {

// (device, inode) on POSIX, the file id on Windows. An id of 0 is unknown and
// never matches.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t id = 0;

    bool known() const { return id != 0; }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& identity) const noexcept {
        return static_cast<std::size_t>(
            (identity.id ^ (identity.device << 40 | identity.device >> 24)) *
            0x9E3779B97F4A7C15ull);
    }
};

}  // namespace orvane::engine
