// Writes a file so that readers see either the old content or the whole new
// one: a temporary file beside it, flushed, then renamed over it. The
// command-line scanner's --json report and the component's per-drive
// reports both go through here.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace orvane {

#if defined(_WIN32)
using file_path = std::wstring;
#else
using file_path = std::string;
#endif

// What became of a write. On failure `step` names what could not be done
// and `error` holds the system's error number (errno, or a Win32 error).
struct write_result {
    const char* step = nullptr;
    int error = 0;
    bool abandoned = false;  // dropped on request: nothing was written, no error

    bool ok() const noexcept { return step == nullptr; }
    // "creating the temporary file: Permission denied"
    std::string message() const;
#if defined(_WIN32)
    HRESULT hresult() const noexcept {
        if (ok()) return S_OK;
        return HRESULT_FROM_WIN32(error != 0 ? static_cast<DWORD>(error) : ERROR_GEN_FAILURE);
    }
#endif
};

// Writes `bytes` to `path`. When `abandon` is set by the time the data is
// down, the file is dropped instead and the old one stays. On every
// outcome but success no temporary file is left behind.
write_result WriteFileAtomically(const file_path& path, std::string_view bytes,
                                 const std::atomic<bool>* abandon = nullptr);

}  // namespace orvane
