// Writes a file so that readers see either the old content or the whole new
// one: a temporary file beside it, flushed, then renamed over it. The
// command-line scanner's --json report and the component's per-drive
// reports both go through here.
//
// What the target is decides how it is written. Nothing there yet, or a
// regular file: replaced as above. A symbolic link: followed, and the file
// it names replaced as above; the link stays. Anything else that exists (a
// device, a pipe, the terminal, /dev/stdout): written in place, never
// renamed over. Every failure, a full device included, is reported.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#if defined(_WIN32)
#include "orvane/win32_handles.h"
#else
#include "orvane/unique_fd.h"
#endif

namespace orvane {

#if defined(_WIN32)
using file_path = std::wstring;
using file_owner = unique_file;
#else
using file_path = std::string;
using file_owner = unique_fd;
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

// A name for a temporary file beside `path` that nobody can guess ahead,
// so nothing can be planted under it.
file_path TemporaryNameBeside(const file_path& path);
// Creates `path` for writing only if nothing is there, a link included
// (O_EXCL | O_NOFOLLOW, CREATE_NEW); none when that fails (errno /
// GetLastError tells why).
file_owner CreateNewFile(const file_path& path);

// Writes `bytes` to `path`. When `abandon` is set by the time the data is
// down, the file is dropped instead and the old one stays. On every
// outcome but success no temporary file is left behind.
write_result WriteFileAtomically(const file_path& path, std::string_view bytes,
                                 const std::atomic<bool>* abandon = nullptr);

}  // namespace orvane
