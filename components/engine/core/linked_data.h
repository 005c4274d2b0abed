// Data with several names (hard links): counted once in the totals, and
// carried by one of its names, chosen by a rule that does not depend on the
// walk: the name with the smallest path key (PathKeyOf), so the same tree
// gives the same folder sizes at any thread count and in any order.
//
// Which name that is can only be known once the walk is over, yet the kept
// tree and the top lists choose their folders while it runs. So during the
// walk every name adds its data's sizes to its folder (sizes that do not
// depend on the order either); the names that turn out not to carry their
// data are remembered, and what they added is taken out at the end
// (LinkedDataFix). The memory is one record per remembered data (the
// identities were remembered before), one per further name met, and one
// index per folder holding or above such a name.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "core/folder_node.h"

namespace orvane::engine {

struct ByteCounts {
    std::uint64_t allocated = 0;
    std::uint64_t apparent = 0;
};

// One name of remembered data: where it is and what it added there.
struct NameOfData {
    std::uint64_t key = 0;              // PathKeyOf the name: the rule's order
    ByteCounts bytes;                   // the name's own listing's sizes
    std::uint64_t type = 0;             // TypeKeyOf its extension
    std::uint32_t folder = kNotLinked;  // the folder's index in LinkedFolders
    bool counted = false;               // the first name met: its sizes are in the totals
};

// A key for a file type (a lowered extension), to find its entry at the end.
std::uint64_t TypeKeyOf(NativeStringView extension);

// Indices for the folders that hold a name of remembered data and for their
// ancestors. A parent always gets a smaller index than its children, so
// sums flow up the table in one pass from the end.
class LinkedFolders {
public:
    // The folder's index, giving one to it and to its ancestors that have
    // none yet. Throws std::bad_alloc.
    std::uint32_t IndexOf(FolderNode& folder);
    // Once the walk is over: the parent index of each (kNotLinked: the top).
    const std::vector<std::uint32_t>& parents() const { return parents_; }

private:
    std::mutex mutex_;
    std::vector<std::uint32_t> parents_;
};

// What the names that do not carry their data added during the walk.
struct LinkedDataFix {
    // By LinkedFolders index: added in that folder's subtree.
    std::vector<ByteCounts> below;
    // By type key.
    std::unordered_map<std::uint64_t, ByteCounts> by_type;
    // The totals counted the first name met; the carrier's sizes replace its.
    ByteCounts first_counted;
    ByteCounts carrier_counted;

    // By LinkedFolders index: added by names directly in that folder.
    std::vector<ByteCounts> own;

    ByteCounts Below(std::uint32_t folder) const {
        return folder < below.size() ? below[folder] : ByteCounts{};
    }
    ByteCounts Own(std::uint32_t folder) const {
        return folder < own.size() ? own[folder] : ByteCounts{};
    }
};

// The names met of each remembered data, spread over shards so workers
// rarely meet on one lock.
class DataNames {
public:
    // Remembers one name of `identity`. True when it is the first name met
    // (its sizes go into the totals), and when there is no memory left to
    // remember it (the data is then counted again, and Complete() says so).
    bool Meet(const FileIdentity& identity, const NameOfData& name);
    bool Complete() const { return !dropped_.load(std::memory_order_relaxed); }
    void NoteDropped() { dropped_.store(true, std::memory_order_relaxed); }
    // Once the walk is over: whether the name with `key` carries the data
    // (always, for data not remembered).
    bool Carries(const FileIdentity& identity, std::uint64_t key) const;
    // Once the walk is over. Throws std::bad_alloc.
    LinkedDataFix Fix(const std::vector<std::uint32_t>& folder_parents) const;

private:
    struct OtherName {
        FileIdentity identity;
        NameOfData name;
    };
    struct Shard {
        mutable std::mutex mutex;
        std::unordered_map<FileIdentity, NameOfData, FileIdentityHash> carriers;
        // Every name met that does not carry its data; a deque, so that
        // growing never holds two copies.
        std::deque<OtherName> others;
    };
    const Shard& ShardOf(const FileIdentity& identity) const {
        return shards_[FileIdentityHash{}(identity) >> 58];
    }
    Shard& ShardOf(const FileIdentity& identity) {
        return shards_[FileIdentityHash{}(identity) >> 58];
    }
    void AddOthers(const Shard& shard, LinkedDataFix& fix) const;

    std::atomic<bool> dropped_{false};
    std::array<Shard, 64> shards_;
};

}  // namespace orvane::engine
