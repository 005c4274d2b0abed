#include "core/folder_files.h"

#include <algorithm>
#include <tuple>

#include "core/folder_node.h"

namespace orvane::engine {
namespace {

// A total order, so the kept files never depend on the listing's order.
bool Larger(const TreeFile& a, const TreeFile& b) {
    return std::tie(b.allocated_bytes, b.apparent_bytes, a.name) <
           std::tie(a.allocated_bytes, a.apparent_bytes, b.name);
}

bool LargerThan(std::uint64_t allocated, std::uint64_t apparent, NativeStringView name,
                const TreeFile& kept) {
    if (allocated != kept.allocated_bytes) return allocated > kept.allocated_bytes;
    if (apparent != kept.apparent_bytes) return apparent > kept.apparent_bytes;
    return name < NativeStringView(kept.name);
}

}  // namespace

void FileShortlist::Add(NativeStringView name, std::uint64_t allocated, std::uint64_t apparent,
                        FileIdentity data, std::uint64_t path_key) {
    all_.files++;
    AddSaturating(all_.allocated_bytes, allocated);
    AddSaturating(all_.apparent_bytes, apparent);
    if (allocated == 0 || limit_ == 0) return;
    if (heap_.size() == limit_) {
        if (!LargerThan(allocated, apparent, name, heap_.front())) return;
        std::pop_heap(heap_.begin(), heap_.end(), Larger);
        heap_.pop_back();
    }
    heap_.push_back(TreeFile{NativeString(name), allocated, apparent, data, path_key});
    std::push_heap(heap_.begin(), heap_.end(), Larger);
}

OwnFiles FileShortlist::Take() {
    OwnFiles out;
    std::sort(heap_.begin(), heap_.end(), Larger);
    out.rest = all_;
    for (const TreeFile& file : heap_) {
        out.rest.files--;
        // A saturated sum stays saturated: the rest is then "at least" too.
        if (out.rest.allocated_bytes != kSaturated)
            out.rest.allocated_bytes -= file.allocated_bytes;
        if (out.rest.apparent_bytes != kSaturated) out.rest.apparent_bytes -= file.apparent_bytes;
    }
    out.largest = std::move(heap_);
    heap_ = {};
    all_ = {};
    return out;
}

}  // namespace orvane::engine
