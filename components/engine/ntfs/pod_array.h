// A growable array of plain values that grows and shrinks with realloc.
//
// The file table's big arrays hold millions of entries; a std::vector that
// grows copies them into a new block while the old one is still held, so for
// a moment it needs up to three times its size, and shrinking it copies
// again. realloc on a large block remaps its pages instead (glibc's mremap,
// and a shrink is done in place everywhere), so the peak stays at what is
// used, and capacity reserved but never written costs no memory at all.
// Only for types that may be moved with memcpy.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace orvane::engine::ntfs {

template <class T>
class PodArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    PodArray() = default;
    PodArray(PodArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    PodArray& operator=(PodArray&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    ~PodArray() { std::free(data_); }

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    // Throws std::bad_alloc.
    void Reserve(std::size_t capacity) {
        if (capacity > capacity_) Reallocate(capacity);
    }
    void PushBack(const T& value) {
        if (size_ == capacity_) Reallocate(capacity_ + capacity_ / 2 + 64);
        data_[size_++] = value;
    }
    // Drops the entries from `size` on; never grows.
    void Truncate(std::size_t size) {
        if (size < size_) size_ = size;
    }
    // Gives back the capacity beyond the size.
    void ShrinkToFit() {
        if (size_ == 0) {
            std::free(std::exchange(data_, nullptr));
            capacity_ = 0;
        } else if (capacity_ > size_) {
            Reallocate(size_);
        }
    }

    // Turns the entries into smaller ones (`convert` from T to U) in the same
    // block, front to back, and gives back the space left over: no second
    // array is ever held.
    template <class U, class Convert>
    PodArray<U> NarrowInto(Convert convert) && {
        static_assert(sizeof(U) <= sizeof(T) && alignof(U) <= alignof(T));
        auto* bytes = reinterpret_cast<unsigned char*>(data_);
        for (std::size_t i = 0; i < size_; ++i) {
            T from;
            std::memcpy(&from, bytes + i * sizeof(T), sizeof(T));
            const U to = convert(from);
            std::memcpy(bytes + i * sizeof(U), &to, sizeof(U));
        }
        PodArray<U> narrowed;
        narrowed.data_ = reinterpret_cast<U*>(std::exchange(data_, nullptr));
        narrowed.size_ = std::exchange(size_, 0);
        narrowed.capacity_ = std::exchange(capacity_, 0) * sizeof(T) / sizeof(U);
        narrowed.ShrinkToFit();
        return narrowed;
    }

private:
    template <class>
    friend class PodArray;

    void Reallocate(std::size_t capacity) {
        if (capacity > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        void* moved = std::realloc(data_, capacity * sizeof(T));
        if (!moved) throw std::bad_alloc();
        data_ = static_cast<T*>(moved);
        capacity_ = capacity;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace orvane::engine::ntfs
