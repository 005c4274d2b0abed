// Bounds-checked little-endian fields of on-disk structures. Every field of
// the volume is read through these: a structure that claims to run past its
// buffer yields "absent", never a read outside it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace orvane::engine::ntfs {

class ByteView {
public:
    ByteView() = default;
    ByteView(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return data_; }
    bool Holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    // The part [offset, offset + length), or an empty view when it does not fit.
    ByteView Sub(std::uint64_t offset, std::uint64_t length) const {
        if (!Holds(offset, length)) return {};
        return ByteView(data_ + offset, static_cast<std::size_t>(length));
    }
    // Unsigned fields of 1 to 8 bytes; 0 when the field does not fit (callers
    // that must tell check Holds first).
    std::uint64_t Unsigned(std::uint64_t offset, unsigned bytes) const {
        if (!Holds(offset, bytes)) return 0;
        std::uint64_t value = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // One load once inlined: the table's millions of fields go through here.
            std::memcpy(&value, data_ + offset, bytes);
        } else {
            for (unsigned i = 0; i < bytes; ++i)
                value |= std::uint64_t{data_[offset + i]} << (8 * i);
        }
        return value;
    }
    std::uint8_t U8(std::uint64_t offset) const {
        return static_cast<std::uint8_t>(Unsigned(offset, 1));
    }
    std::uint16_t U16(std::uint64_t offset) const {
        return static_cast<std::uint16_t>(Unsigned(offset, 2));
    }
    std::uint32_t U32(std::uint64_t offset) const {
        return static_cast<std::uint32_t>(Unsigned(offset, 4));
    }
    std::uint64_t U64(std::uint64_t offset) const { return Unsigned(offset, 8); }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// A file reference: the record number in the low 48 bits, the record's
// sequence number (bumped each time the record is reused) in the high 16.
struct FileReference {
    std::uint64_t record = 0;
    std::uint16_t sequence = 0;
};

inline FileReference SplitReference(std::uint64_t value) {
    return {value & 0xFFFF'FFFF'FFFFull, static_cast<std::uint16_t>(value >> 48)};
}

}  // namespace orvane::engine::ntfs
