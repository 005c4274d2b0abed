#include "core/folder_files.h"

#include <algorithm>
#include <tuple>

#include "core/folder_node.h"

namespace orvane::engine {
namespace {

// Below this the dead names are not worth a clean-up.
constexpr std::size_t kDeadNamesSlack = 4096;

}  // namespace

// A total order, so the kept files never depend on the listing's order:
// larger first, then by name.
bool FileShortlist::Larger(const Candidate& a, const Candidate& b) const {
    if (a.allocated_bytes != b.allocated_bytes) return a.allocated_bytes > b.allocated_bytes;
    if (a.apparent_bytes != b.apparent_bytes) return a.apparent_bytes > b.apparent_bytes;
    return NameOf(a) < NameOf(b);
}

void FileShortlist::Add(NativeStringView name, std::uint64_t allocated, std::uint64_t apparent,
                        FileIdentity data, std::uint64_t path_key) {
    all_.files++;
    AddSaturating(all_.allocated_bytes, allocated);
    AddSaturating(all_.apparent_bytes, apparent);
    if (allocated == 0 || limit_ == 0) return;
    Candidate candidate{allocated, apparent, names_.size(), name.size(), data, path_key};
    if (kept_.size() < limit_) {
        names_.append(name);
        kept_.push_back(candidate);
        if (kept_.size() == limit_)
            std::make_heap(kept_.begin(), kept_.end(),
                           [this](const Candidate& a, const Candidate& b) { return Larger(a, b); });
        return;
    }
    // Full: only a file larger than the smallest kept one gets in. The cheap
    // test on the sizes settles nearly every file without touching a name.
    const Candidate& smallest = kept_.front();
    if (allocated < smallest.allocated_bytes) return;
    if (allocated == smallest.allocated_bytes && apparent <= smallest.apparent_bytes &&
        (apparent < smallest.apparent_bytes || !(name < NameOf(smallest))))
        return;
    names_.append(name);
    Replace(candidate);
}

// Puts `candidate`, whose name is already in the buffer, in the place of the
// smallest kept file.
void FileShortlist::Replace(const Candidate& candidate) {
    auto larger = [this](const Candidate& a, const Candidate& b) { return Larger(a, b); };
    std::pop_heap(kept_.begin(), kept_.end(), larger);
    dead_ += kept_.back().name_size;
    kept_.back() = candidate;
    std::push_heap(kept_.begin(), kept_.end(), larger);
    if (dead_ > names_.size() - dead_ + kDeadNamesSlack) DropDeadNames();
}

void FileShortlist::DropDeadNames() {
    NativeString live;
    live.reserve(names_.size() - dead_);
    for (Candidate& kept : kept_) {
        const std::size_t at = live.size();
        live.append(NameOf(kept));
        kept.name_at = at;
    }
    names_ = std::move(live);
    dead_ = 0;
}

OwnFiles FileShortlist::Take() {
    std::sort(kept_.begin(), kept_.end(),
              [this](const Candidate& a, const Candidate& b) { return Larger(a, b); });
    OwnFiles out;
    out.rest = all_;
    out.largest.reserve(kept_.size());
    for (const Candidate& file : kept_) {
        out.rest.files--;
        // A saturated sum stays saturated: the rest is then "at least" too.
        if (out.rest.allocated_bytes != kSaturated)
            out.rest.allocated_bytes -= file.allocated_bytes;
        if (out.rest.apparent_bytes != kSaturated) out.rest.apparent_bytes -= file.apparent_bytes;
        out.largest.push_back(TreeFile{NativeString(NameOf(file)), file.allocated_bytes,
                                       file.apparent_bytes, file.data, file.path_key});
    }
    kept_ = {};
    names_ = {};
    dead_ = 0;
    all_ = {};
    return out;
}

}  // namespace orvane::engine
