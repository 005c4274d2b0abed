#include "ntfs/name_arena.h"

#include <algorithm>
#include <new>

namespace orvane::engine::ntfs {

std::uint32_t NameArena::Append(NativeStringView text) {
    if (text.size() > kLongestText) throw std::bad_alloc();
    const auto length = static_cast<std::uint32_t>(text.size());
    const std::uint32_t units = (length < 0x80 ? 1 : 2) + length;
    std::uint64_t at = end_;
    if ((at & (kBlockUnits - 1)) + units > kBlockUnits)
        at = ((at >> kBlockBits) + 1) << kBlockBits;  // the rest of this block stays empty
    if (at + units > UINT32_MAX) throw std::bad_alloc();
    const std::size_t block = static_cast<std::size_t>(at >> kBlockBits);
    while (blocks_.size() <= block) blocks_.emplace_back(new NativeChar[kBlockUnits]);
    NativeChar* out = blocks_[block].get() + (at & (kBlockUnits - 1));
    if (length < 0x80) {
        *out++ = static_cast<NativeChar>(length);
    } else {
        *out++ = static_cast<NativeChar>(0x80 | length >> 7);
        *out++ = static_cast<NativeChar>(length & 0x7F);
    }
    std::copy(text.begin(), text.end(), out);
    end_ = static_cast<std::uint32_t>(at + units);
    return static_cast<std::uint32_t>(at);
}

}  // namespace orvane::engine::ntfs
