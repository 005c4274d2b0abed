#include <new>
#include <utility>

#include "ntfs/volume_reader.h"

namespace orvane::engine::ntfs {

AlignedBuffer::AlignedBuffer(std::size_t size)
    : data_(static_cast<std::uint8_t*>(
          ::operator new (size == 0 ? kAlignment : size, std::align_val_t{kAlignment}))),
      size_(size) {}

AlignedBuffer::AlignedBuffer(AlignedBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

AlignedBuffer& AlignedBuffer::operator=(AlignedBuffer&& other) noexcept {
    if (this != &other) {
        AlignedBuffer old(std::move(*this));
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

AlignedBuffer::~AlignedBuffer() {
    if (data_) ::operator delete (data_, std::align_val_t{kAlignment});
}

}  // namespace orvane::engine::ntfs
