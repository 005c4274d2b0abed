// Owners of the kernel handles the engine opens. (The program's shared
// owners cannot be used here yet: see the component's notes.)
#pragma once

#include <windows.h>

#include <utility>

namespace orvane::engine::win {

// A kernel handle closed with CloseHandle. Both null and
// INVALID_HANDLE_VALUE mean "none", since the APIs answer one or the other.
class OwnedHandle {
public:
    OwnedHandle() noexcept = default;
    explicit OwnedHandle(HANDLE handle) noexcept : handle_(Normal(handle)) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~OwnedHandle() { reset(); }

    HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    HANDLE release() noexcept { return std::exchange(handle_, nullptr); }
    void reset(HANDLE handle = nullptr) noexcept {
        const HANDLE old = std::exchange(handle_, Normal(handle));
        if (old) ::CloseHandle(old);
    }

private:
    static HANDLE Normal(HANDLE handle) noexcept {
        return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    HANDLE handle_ = nullptr;
};

}  // namespace orvane::engine::win
