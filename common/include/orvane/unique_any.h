// One owner for every kind of handle, Win32 or POSIX: a move-only value that
// closes what it holds. A kind of handle is described by a storage policy
// (its type, which values mean "none", how to close one), so an alias per
// kind is one line and every owner behaves the same. This header is
// portable: the Win32 aliases live in win32_handles.h, descriptors in
// unique_fd.h.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace orvane {

// Which values of a handle mean "nothing is held". Some Win32 functions
// fail with a null handle, others with INVALID_HANDLE_VALUE (-1), and a few
// handle kinds can hold either as "none".
enum class none_value {
    null,              // 0 / nullptr
    minus_one,         // INVALID_HANDLE_VALUE, a POSIX descriptor's -1
    null_or_minus_one  // both: the owner never closes either
};

// The storage policy for a handle of type `Handle` closed by `Close`.
template <class Handle, auto Close, none_value None = none_value::null>
struct handle_policy {
    using pointer = Handle;

    static pointer invalid() noexcept {
        if constexpr (None == none_value::minus_one) {
            if constexpr (std::is_pointer_v<Handle>) {
                return reinterpret_cast<Handle>(static_cast<std::intptr_t>(-1));
            } else {
                return static_cast<Handle>(-1);
            }
        } else {
            return Handle{};
        }
    }
    static bool is_valid(pointer value) noexcept {
        if constexpr (None == none_value::null_or_minus_one) {
            return value != Handle{} &&
                   value != handle_policy<Handle, Close, none_value::minus_one>::invalid();
        } else {
            return value != invalid();
        }
    }
    static void close(pointer value) noexcept { Close(value); }
};

// Owns one handle described by `Policy`.
template <class Policy>
class unique_storage {
public:
    using pointer = typename Policy::pointer;

    unique_storage() noexcept = default;
    explicit unique_storage(pointer value) noexcept : value_(value) {}
    unique_storage(const unique_storage&) = delete;
    unique_storage& operator=(const unique_storage&) = delete;
    unique_storage(unique_storage&& other) noexcept : value_(other.release()) {}
    unique_storage& operator=(unique_storage&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_storage() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return Policy::is_valid(value_); }
    pointer release() noexcept { return std::exchange(value_, Policy::invalid()); }
    void reset(pointer value = Policy::invalid()) noexcept {
        const pointer old = std::exchange(value_, value);
        if (Policy::is_valid(old)) Policy::close(old);
    }
    // For functions that hand the handle back through an out pointer: what
    // was held is closed first.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

private:
    pointer value_ = Policy::invalid();
};

template <class Handle, auto Close, none_value None = none_value::null>
using unique_any = unique_storage<handle_policy<Handle, Close, None>>;

}  // namespace orvane
