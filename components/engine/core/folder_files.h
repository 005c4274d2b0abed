// The largest files a folder holds directly, kept beside the folder in the
// report's tree so that a reader who opens any kept folder ends at files,
// not at a grey "everything else".
//
// A folder's listing offers every file it lists; only the few largest keep
// their names, the rest are summed. Memory per folder is therefore bounded
// by kLargestFilesPerFolder names (and a few kilobytes of names pushed out,
// let go in batches), whatever the folder holds, and the sums stay exact:
// largest + rest = every file the listing counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/file_identity.h"
#include "core/native_string.h"

namespace orvane::engine {

// Enough to show where a folder's own space went; few enough that the page
// of a tree of 5,000 folders stays a few megabytes.
inline constexpr std::size_t kLargestFilesPerFolder = 16;

struct TreeFile {
    NativeString name;
    std::uint64_t allocated_bytes = 0;
    std::uint64_t apparent_bytes = 0;
    // For data with several names: which data, and this name's path key, so
    // that a name which does not carry the data can be told at the end.
    FileIdentity data;
    std::uint64_t path_key = 0;
};

struct FileSums {
    std::uint64_t allocated_bytes = 0;
    std::uint64_t apparent_bytes = 0;
    std::uint64_t files = 0;
};

struct OwnFiles {
    std::vector<TreeFile> largest;  // largest first; ties by name
    FileSums rest;                  // the folder's other files, summed
};

// Used by the one thread that lists the folder, then handed over once.
//
// Every file of every listed folder passes through Add, and most folders are
// never kept, so a candidate costs no allocation of its own: names go into
// one buffer per folder and the candidates are plain records pointing into
// it. Only Take, for a folder the tree keeps, makes the names strings.
class FileShortlist {
public:
    explicit FileShortlist(std::size_t limit = kLargestFilesPerFolder) : limit_(limit) {}

    // Files that take no space (empty, or data counted under another name)
    // only join the sums: a list of them would tell nothing.
    // `data` is known only for data with several names (with `path_key`).
    void Add(NativeStringView name, std::uint64_t allocated, std::uint64_t apparent,
             FileIdentity data = {}, std::uint64_t path_key = 0);
    // The list, largest first, and the sums of the rest; leaves it empty.
    OwnFiles Take();

private:
    // A kept candidate: its name is names_[name_at, name_at + name_size).
    struct Candidate {
        std::uint64_t allocated_bytes = 0;
        std::uint64_t apparent_bytes = 0;
        std::size_t name_at = 0;
        std::size_t name_size = 0;
        FileIdentity data;
        std::uint64_t path_key = 0;
    };

    NativeStringView NameOf(const Candidate& candidate) const {
        return NativeStringView(names_.data() + candidate.name_at, candidate.name_size);
    }
    bool Larger(const Candidate& a, const Candidate& b) const;
    void Replace(const Candidate& candidate);
    void DropDeadNames();

    std::size_t limit_;
    // Filled in the listing's order until it holds `limit_`, then a heap
    // with the smallest kept file on top.
    std::vector<Candidate> kept_;
    // The kept names, and those of files pushed out since the last clean-up
    // (dead_ units of them): cleaned up once they outweigh the live ones, so
    // a folder listed smallest file first still holds about `limit_` names.
    NativeString names_;
    std::size_t dead_ = 0;
    FileSums all_;
};

}  // namespace orvane::engine
