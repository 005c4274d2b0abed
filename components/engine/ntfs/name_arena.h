// The names of a whole volume in fixed blocks, each name behind its length.
//
// One block after another rather than one string that doubles: a string that
// grows copies everything into a new block while holding the old one, and
// keeps up to half its capacity unused for good. A name never spans two
// blocks, so a 32-bit position (block and place in it) finds it, and the
// length in front of it (one unit below 128, two above) is all a name costs
// besides its text.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "core/native_string.h"

namespace orvane::engine::ntfs {

class NameArena {
public:
    static constexpr unsigned kBlockBits = 18;
    static constexpr std::uint32_t kBlockUnits = std::uint32_t{1} << kBlockBits;
    // Longer texts are refused (a name has at most 255 UTF-16 units, three
    // bytes each in UTF-8).
    static constexpr std::size_t kLongestText = 4096;

    // Where `text` now starts. Throws std::bad_alloc when it does not fit.
    std::uint32_t Append(NativeStringView text);
    NativeStringView View(std::uint32_t at) const {
        const NativeChar* unit = blocks_[at >> kBlockBits].get() + (at & (kBlockUnits - 1));
        const auto first = Unit(unit[0]);
        if (first < 0x80) return NativeStringView(unit + 1, first);
        return NativeStringView(unit + 2, ((first & 0x7F) << 7) | (Unit(unit[1]) & 0x7F));
    }
    // The position the next name would take; Truncate(End()) undoes what
    // came after.
    std::uint32_t End() const { return end_; }
    void Truncate(std::uint32_t end) { end_ = end; }

private:
    static std::uint32_t Unit(NativeChar unit) {
        return static_cast<std::make_unsigned_t<NativeChar>>(unit);
    }

    std::vector<std::unique_ptr<NativeChar[]>> blocks_;
    std::uint32_t end_ = 0;
};

}  // namespace orvane::engine::ntfs
