// One writer for both platforms' reports: the steps are the same (write a
// temporary file, flush it, rename it over the target), only the calls
// differ.
#include "orvane/atomic_file.h"

#include <algorithm>

#include "orvane/system_error.h"

#if defined(_WIN32)
#include "orvane/win32_handles.h"
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "orvane/unique_fd.h"
#endif

namespace orvane {

std::string write_result::message() const {
    if (ok()) return {};
    return std::string(step) + ": " + SystemErrorText(error);
}

namespace {

#if defined(_WIN32)

int LastError() { return static_cast<int>(::GetLastError()); }

// The failing step with the error it met, taken before any clean-up can
// change it.
write_result Failed(const char* step, int error = LastError()) {
    write_result result;
    result.step = step;
    result.error = error;
    return result;
}

file_path TemporaryPathFor(const file_path& path) {
    return path + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(::GetCurrentThreadId()) + L".tmp";
}

// Fills and flushes the temporary file.
write_result WriteAndFlush(const file_path& temporary, std::string_view bytes) {
    unique_file file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Failed("creating the temporary file");
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data(), chunk, &written, nullptr))
            return Failed("writing the temporary file");
        if (written == 0) return Failed("writing the temporary file", ERROR_WRITE_FAULT);
        bytes.remove_prefix(written);
    }
    // The rename must not land before the data: flush first.
    if (!::FlushFileBuffers(file.get())) return Failed("flushing the temporary file");
    return {};
}

bool RenameOver(const file_path& from, const file_path& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Remove(const file_path& path) { ::DeleteFileW(path.c_str()); }

#else

int LastError() { return errno; }

write_result Failed(const char* step, int error = LastError()) {
    write_result result;
    result.step = step;
    result.error = error;
    return result;
}

file_path TemporaryPathFor(const file_path& path) {
    return path + "." + std::to_string(::getpid()) + ".tmp";
}

write_result WriteAndFlush(const file_path& temporary, std::string_view bytes) {
    unique_fd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file) return Failed("creating the temporary file");
    while (!bytes.empty()) {
        const ssize_t written = ::write(file.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return Failed("writing the temporary file");
        if (written == 0) return Failed("writing the temporary file", EIO);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(file.get()) != 0) return Failed("flushing the temporary file");
    if (!close_reporting(file)) return Failed("closing the temporary file");
    return {};
}

bool RenameOver(const file_path& from, const file_path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void Remove(const file_path& path) { ::unlink(path.c_str()); }

#endif

}  // namespace

write_result WriteFileAtomically(const file_path& path, std::string_view bytes,
                                 const std::atomic<bool>* abandon) {
    const file_path temporary = TemporaryPathFor(path);
    write_result result = WriteAndFlush(temporary, bytes);
    result.abandoned = result.ok() && abandon && abandon->load();
    if (result.ok() && !result.abandoned && !RenameOver(temporary, path)) {
        result = Failed("renaming the temporary file over the target");
    }
    if (!result.ok() || result.abandoned) Remove(temporary);
    return result;
}

}  // namespace orvane
