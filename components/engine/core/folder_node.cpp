// Releasing a folder's parent link can release the parent in turn, and so on
// up the chain: done recursively, a chain 100,000 folders deep would overflow
// the stack, so the destructor unlinks the chain one folder at a time.
#include "core/folder_node.h"

#include <vector>

namespace orvane::engine {

FolderNode::~FolderNode() {
    std::shared_ptr<FolderNode> up = std::move(parent);
    // Only the sole owner can see a count of 1 and nobody can take a new
    // reference meanwhile, so the unlinking cannot race with another owner.
    while (up && up.use_count() == 1) {
        std::shared_ptr<FolderNode> next = std::move(up->parent);
        up = std::move(next);
    }
}

std::uint64_t PathKeyOf(std::uint64_t folder_key, NativeStringView name) {
    // FNV-1a over the code units, seeded with the folder's key, then mixed
    // (the finaliser of splitmix64) so that sibling names spread apart.
    std::uint64_t hash = folder_key ^ 0xcbf29ce484222325ull;
    for (NativeChar unit : name) {
        hash ^= static_cast<std::uint32_t>(unit);
        hash *= 0x100000001b3ull;
    }
    hash ^= hash >> 30;
    hash *= 0xbf58476d1ce4e5b9ull;
    hash ^= hash >> 27;
    hash *= 0x94d049bb133111ebull;
    return hash ^ (hash >> 31);
}

void AppendName(NativeString& path, NativeStringView name, NativeChar separator) {
    if (path.empty() || path.back() != separator) path.push_back(separator);
    path.append(name);
}

void BuildFullPath(const FolderNode& node, NativeChar separator, NativeString& path) {
    std::vector<const FolderNode*> chain;
    std::size_t length = 0;
    for (const FolderNode* n = &node; n; n = n->parent.get()) {
        chain.push_back(n);
        length += n->name.size() + 1;
    }
    path.clear();
    path.reserve(length);
    path.assign(chain.back()->name);
    for (std::size_t i = chain.size() - 1; i-- > 0;) AppendName(path, chain[i]->name, separator);
}

}  // namespace orvane::engine
