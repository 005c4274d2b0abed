#include "cli/atomic_file.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>

#include "support/unique_any.h"
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace orvane::engine::cli {

#if defined(_WIN32)

namespace {

std::string LastErrorText(const char* step) {
    return std::string(step) + " failed (error " + std::to_string(::GetLastError()) + ")";
}

// Fills and flushes the temporary file; the name of the failing step, or null.
const char* WriteAndFlush(const NativeString& temporary, const std::string& content) {
    unique_file file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "creating the temporary file";
    for (std::size_t done = 0; done < content.size();) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file.get(), content.data() + done, chunk, &written, nullptr) ||
            written == 0) {
            return "writing the report";
        }
        done += written;
    }
    if (!::FlushFileBuffers(file.get())) return "flushing the report";
    return nullptr;
}

}  // namespace

bool WriteFileAtomically(const NativeString& path, const std::string& content, std::string& error) {
    NativeString temporary = path + L".tmp-" + std::to_wstring(::GetCurrentProcessId());
    const char* step = WriteAndFlush(temporary, content);
    if (!step && !::MoveFileExW(temporary.c_str(), path.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        step = "renaming the report into place";
    }
    if (step) {
        error = LastErrorText(step);
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

#else

namespace {

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    // Closing can report a late write error, so it gets its own result.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

const char* WriteAndFlush(const NativeString& temporary, const std::string& content) {
    UniqueFd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (file.get() < 0) return "creating the temporary file";
    for (std::size_t done = 0; done < content.size();) {
        ssize_t written = ::write(file.get(), content.data() + done, content.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return "writing the report";
        done += static_cast<std::size_t>(written);
    }
    if (::fsync(file.get()) != 0) return "flushing the report";
    if (!file.Close()) return "closing the report";
    return nullptr;
}

}  // namespace

bool WriteFileAtomically(const NativeString& path, const std::string& content, std::string& error) {
    NativeString temporary = path + ".tmp-" + std::to_string(::getpid());
    const char* step = WriteAndFlush(temporary, content);
    if (!step && ::rename(temporary.c_str(), path.c_str()) != 0)
        step = "renaming the report into place";
    if (step) {
        error = std::string(step) + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

#endif

}  // namespace orvane::engine::cli
