// The one way a COM entry point fails: C++ code below it may throw, the
// entry point itself never does. Every method a component exposes, and the
// class factory that makes its objects, runs its body through Guarded, which
// turns an escaping exception into the HRESULT that says what happened.
#pragma once

#include <windows.h>

#include <exception>
#include <new>

namespace orvane::com {

// A failure that already has its HRESULT, thrown from code that cannot
// return one (a constructor, for instance).
class hresult_error : public std::exception {
public:
    explicit hresult_error(HRESULT hr) noexcept : hr_(hr) {}
    HRESULT code() const noexcept { return hr_; }
    const char* what() const noexcept override { return "COM operation failed"; }

private:
    HRESULT hr_;
};

// Throws the calling thread's last Win32 error as an HRESULT.
[[noreturn]] inline void ThrowLastError() {
    const DWORD error = ::GetLastError();
    throw hresult_error(HRESULT_FROM_WIN32(error != 0 ? error : ERROR_GEN_FAILURE));
}

template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const hresult_error& error) {
        return error.code();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace orvane::com
