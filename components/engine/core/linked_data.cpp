// Why the non-carrying names are kept apart rather than subtracted as they
// turn up: a folder's sums are final (offered to the tree, added to its
// parent) as soon as its subtree is done, long before the last name of its
// data may be met elsewhere.
#include "core/linked_data.h"

#include <utility>

namespace orvane::engine {
namespace {

void Add(ByteCounts& sum, const ByteCounts& part) {
    AddSaturating(sum.allocated, part.allocated);
    AddSaturating(sum.apparent, part.apparent);
}

}  // namespace

std::uint64_t TypeKeyOf(NativeStringView extension) {
    return PathKeyOf(0x7479706573000001ull, extension);
}

std::uint32_t LinkedFolders::IndexOf(FolderNode& folder) {
    std::uint32_t index = folder.linked.load(std::memory_order_acquire);
    if (index != kNotLinked) return index;
    std::lock_guard lock(mutex_);
    std::uint32_t length = 0;
    const FolderNode* above = &folder;
    for (; above && above->linked.load(std::memory_order_relaxed) == kNotLinked;
         above = above->parent.get())
        ++length;
    if (length == 0) return folder.linked.load(std::memory_order_relaxed);
    const std::uint32_t above_index =
        above ? above->linked.load(std::memory_order_relaxed) : kNotLinked;
    const auto first = static_cast<std::uint32_t>(parents_.size());
    parents_.resize(parents_.size() + length);  // before any folder takes an index
    index = first + length - 1;
    for (FolderNode* n = &folder; n != above; n = n->parent.get(), --index) {
        parents_[index] = index == first ? above_index : index - 1;
        n->linked.store(index, std::memory_order_release);
    }
    return first + length - 1;
}

bool DataNames::Meet(const FileIdentity& identity, const NameOfData& name) {
    Shard& shard = ShardOf(identity);
    std::lock_guard lock(shard.mutex);
    NameOfData* carrier = nullptr;
    try {
        auto [found, fresh] = shard.carriers.try_emplace(identity, name);
        if (fresh) {
            found->second.counted = true;
            return true;
        }
        carrier = &found->second;
    } catch (const std::bad_alloc&) {
        // Remembering is what grows without bound on a tree of hard links;
        // counting on without it beats stopping the scan.
        NoteDropped();
        return true;
    }
    try {
        shard.others.push_back(OtherName{identity, name});
    } catch (const std::bad_alloc&) {
        NoteDropped();  // the data is counted; this name keeps its sizes
        return false;
    }
    NameOfData& other = shard.others.back().name;
    other.counted = false;
    if (other.key < carrier->key) std::swap(*carrier, other);
    return false;
}

bool DataNames::Carries(const FileIdentity& identity, std::uint64_t key) const {
    const Shard& shard = ShardOf(identity);
    std::lock_guard lock(shard.mutex);
    auto found = shard.carriers.find(identity);
    return found == shard.carriers.end() || found->second.key == key;
}

LinkedDataFix DataNames::Fix(const std::vector<std::uint32_t>& folder_parents) const {
    LinkedDataFix fix;
    fix.below.resize(folder_parents.size());
    fix.own.resize(folder_parents.size());
    for (const Shard& shard : shards_) {
        std::lock_guard lock(shard.mutex);
        AddOthers(shard, fix);
    }
    for (std::size_t i = folder_parents.size(); i-- > 0;) {
        if (folder_parents[i] != kNotLinked) Add(fix.below[folder_parents[i]], fix.below[i]);
    }
    return fix;
}

void DataNames::AddOthers(const Shard& shard, LinkedDataFix& fix) const {
    for (const OtherName& other : shard.others) {
        const NameOfData& name = other.name;
        if (name.folder < fix.below.size()) {
            Add(fix.below[name.folder], name.bytes);
            Add(fix.own[name.folder], name.bytes);
        }
        Add(fix.by_type[name.type], name.bytes);
        if (!name.counted) continue;
        Add(fix.first_counted, name.bytes);
        Add(fix.carrier_counted, shard.carriers.at(other.identity).bytes);
    }
}

}  // namespace orvane::engine
