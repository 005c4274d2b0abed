// One writer for both platforms' reports. What the target is decides how it
// is written: a regular file (or nothing yet) is replaced atomically through
// a temporary file beside it, which is created exclusively under an
// unpredictable name so that nothing planted there can be followed; a
// symbolic link is followed and what it names is replaced the same way; an
// existing target that is not a regular file (a device, a pipe, the
// terminal) is written in place, never renamed over.
#include "orvane/atomic_file.h"

#include <algorithm>
#include <random>

#include "orvane/system_error.h"

#if defined(_WIN32)
#include "orvane/win32_handles.h"
#else
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
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

// Large enough to cost nothing, small enough that an abandon is noticed soon.
constexpr std::size_t kChunkBytes = 1u << 20;

struct Target {
    file_path path;  // the file to replace, or the object to write in place
    bool in_place = false;
};

std::string RandomSuffix() {
    static const char kHex[] = "0123456789abcdef";
    std::random_device random;
    std::string out;
    for (int i = 0; i < 4; ++i) {
        const unsigned value = random();
        for (int shift = 0; shift < 32; shift += 4) out.push_back(kHex[(value >> shift) & 0xF]);
    }
    return out;
}

bool Abandoned(const std::atomic<bool>* abandon) { return abandon && abandon->load(); }

#if defined(_WIN32)

int LastError() { return static_cast<int>(::GetLastError()); }
constexpr int kErrorExists = ERROR_FILE_EXISTS;

// The failing step with the error it met, taken before any clean-up can
// change it.
write_result Failed(const char* step, int error = LastError()) {
    write_result result;
    result.step = step;
    result.error = error;
    return result;
}

file_path TemporaryName(const file_path& path) {
    const std::string suffix = RandomSuffix();
    return path + L"." + std::wstring(suffix.begin(), suffix.end()) + L".tmp";
}

// CREATE_NEW fails on anything already there, a link included.
file_owner CreateExclusive(const file_path& path) {
    return file_owner(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

file_owner OpenInPlace(const file_path& path) {
    return file_owner(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteChunk(const file_owner& file, std::string_view chunk, std::size_t& written) {
    DWORD done = 0;
    if (!::WriteFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &done, nullptr))
        return false;
    if (done == 0) {
        ::SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    written = done;
    return true;
}

bool Flush(const file_owner& file) { return ::FlushFileBuffers(file.get()) != 0; }
bool Close(file_owner& file) {
    file.reset();
    return true;
}

bool RenameOver(const file_path& from, const file_path& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Remove(const file_path& path) { ::DeleteFileW(path.c_str()); }

// The final path of an existing regular file reached through links.
bool FinalPathOf(HANDLE handle, file_path& path) {
    const DWORD needed = ::GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
    if (needed == 0) return false;
    std::wstring final_path(needed, L'\0');
    const DWORD length =
        ::GetFinalPathNameByHandleW(handle, final_path.data(), needed, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= needed) return false;
    final_path.resize(length);
    path = std::move(final_path);
    return true;
}

write_result FindTarget(const file_path& path, Target& target) {
    target = Target{path, false};
    // A device namespace name (a pipe, a console) is never opened to look at
    // it: opening a pipe would take one of its instances.
    if (path.rfind(L"\\\\.\\", 0) == 0) {
        target.in_place = true;
        return {};
    }
    const unique_file existing(::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!existing) return {};  // nothing there yet, or a failure creating will name
    BY_HANDLE_FILE_INFORMATION info{};
    const bool on_disk = ::GetFileType(existing.get()) == FILE_TYPE_DISK &&
                         ::GetFileInformationByHandle(existing.get(), &info);
    if (!on_disk || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        target.in_place = true;
        return {};
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        !FinalPathOf(existing.get(), target.path)) {
        return Failed("following the target's link");
    }
    return {};
}

#else

int LastError() { return errno; }
constexpr int kErrorExists = EEXIST;

write_result Failed(const char* step, int error = LastError()) {
    write_result result;
    result.step = step;
    result.error = error;
    return result;
}

file_path TemporaryName(const file_path& path) { return path + "." + RandomSuffix() + ".tmp"; }

file_owner CreateExclusive(const file_path& path) {
    return file_owner(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
}

file_owner OpenInPlace(const file_path& path) {
    return file_owner(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
}

bool WriteChunk(const file_owner& file, std::string_view chunk, std::size_t& written) {
    for (;;) {
        const ssize_t done = ::write(file.get(), chunk.data(), chunk.size());
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return false;
        if (done == 0) {
            errno = EIO;
            return false;
        }
        written = static_cast<std::size_t>(done);
        return true;
    }
}

bool Flush(const file_owner& file) { return ::fsync(file.get()) == 0; }
bool Close(file_owner& file) { return close_reporting(file); }

bool RenameOver(const file_path& from, const file_path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void Remove(const file_path& path) { ::unlink(path.c_str()); }

// `path` with its folder made absolute and free of links, so that links to
// the kernel's view of open files (/dev/stdout is /proc/self/fd/1) show.
bool Canonical(const file_path& path, file_path& out) {
    const std::size_t slash = path.rfind('/');
    const file_path folder = slash == file_path::npos ? "."
                             : slash == 0             ? "/"
                                                      : path.substr(0, slash);
    const file_path name = slash == file_path::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved)) return false;
    out = std::string(resolved) + (resolved[1] == 0 ? "" : "/") + name;
    return true;
}

bool IsOpenFileLink(const file_path& path) { return path.rfind("/proc/", 0) == 0; }

write_result FindTarget(const file_path& path, Target& target) {
    file_path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) return Failed("looking at the target");
            target = Target{current, false};  // created: a dangling link gets its file
            return {};
        }
        if (!S_ISLNK(st.st_mode)) {
            target = Target{current, !S_ISREG(st.st_mode)};
            return {};
        }
        file_path canonical;
        if (!Canonical(current, canonical)) return Failed("following the target's link");
        if (IsOpenFileLink(canonical)) {
            target = Target{current, true};
            return {};
        }
        char link[PATH_MAX];
        const ssize_t length = ::readlink(canonical.c_str(), link, sizeof link - 1);
        if (length < 0) return Failed("following the target's link");
        const file_path named(link, static_cast<std::size_t>(length));
        current =
            named.front() == '/' ? named : canonical.substr(0, canonical.rfind('/') + 1) + named;
    }
    return Failed("following the target's link", ELOOP);
}

#endif

// Writes all of `bytes`; the failing step's result, or success.
write_result WriteAll(const file_owner& file, std::string_view bytes, const char* step,
                      const std::atomic<bool>* abandon) {
    while (!bytes.empty()) {
        if (Abandoned(abandon)) {
            write_result dropped;
            dropped.abandoned = true;
            return dropped;
        }
        std::size_t written = 0;
        if (!WriteChunk(file, bytes.substr(0, kChunkBytes), written)) return Failed(step);
        bytes.remove_prefix(written);
    }
    return {};
}

write_result WriteInPlace(const file_path& path, std::string_view bytes,
                          const std::atomic<bool>* abandon) {
    file_owner file = OpenInPlace(path);
    if (!file) return Failed("opening the target");
    write_result result = WriteAll(file, bytes, "writing the target", abandon);
    if (result.ok() && !Close(file)) result = Failed("closing the target");
    return result;
}

// Creates the temporary file beside `path`, trying a new name if one is taken.
write_result CreateTemporary(const file_path& path, file_path& temporary, file_owner& file) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryName(path);
        file = CreateExclusive(temporary);
        if (file) return {};
        if (LastError() != kErrorExists) return Failed("creating the temporary file");
    }
    return Failed("creating the temporary file");
}

write_result WriteAndRename(const file_path& path, std::string_view bytes,
                            const std::atomic<bool>* abandon) {
    file_path temporary;
    file_owner file;
    write_result result = CreateTemporary(path, temporary, file);
    if (!result.ok()) return result;
    result = WriteAll(file, bytes, "writing the temporary file", abandon);
    // The rename must not land before the data: flush first.
    if (result.ok() && !result.abandoned && !Flush(file))
        result = Failed("flushing the temporary file");
    if (result.ok() && !result.abandoned && !Close(file))
        result = Failed("closing the temporary file");
    file.reset();
    if (result.ok() && !result.abandoned) result.abandoned = Abandoned(abandon);
    if (result.ok() && !result.abandoned && !RenameOver(temporary, path))
        result = Failed("renaming the temporary file over the target");
    if (!result.ok() || result.abandoned) Remove(temporary);
    return result;
}

}  // namespace

file_path TemporaryNameBeside(const file_path& path) { return TemporaryName(path); }

file_owner CreateNewFile(const file_path& path) { return CreateExclusive(path); }

write_result WriteFileAtomically(const file_path& path, std::string_view bytes,
                                 const std::atomic<bool>* abandon) {
    Target target;
    const write_result found = FindTarget(path, target);
    if (!found.ok()) return found;
    return target.in_place ? WriteInPlace(target.path, bytes, abandon)
                           : WriteAndRename(target.path, bytes, abandon);
}

}  // namespace orvane
