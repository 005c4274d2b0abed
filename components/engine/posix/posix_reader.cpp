#include "posix/posix_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "orvane/unique_fd.h"

namespace orvane::engine {
namespace {

// The kernel's record, as getdents64 lays it out (glibc declares no type for it).
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

// Large enough that one system call returns a couple of thousand entries,
// small enough that a batch is read and stat'ed in a few milliseconds, which
// keeps cancellation prompt.
constexpr std::size_t kListingBufferSize = 64 * 1024;

OpenError ErrorFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return OpenError::kAccessDenied;
        case ENOENT:
            return OpenError::kNotFound;
        case ENOTDIR:
        case ELOOP:
            return OpenError::kNotDirectory;  // replaced by a file or a link since it was listed
        case EMFILE:
        case ENFILE:
            return OpenError::kNoDescriptors;
        default:
            return OpenError::kOther;
    }
}

EntryStats StatsOf(const struct stat& st) {
    EntryStats stats;
    stats.allocated_bytes = static_cast<std::uint64_t>(st.st_blocks) * 512u;
    stats.apparent_bytes = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    stats.file_id = static_cast<std::uint64_t>(st.st_ino);
    stats.device = static_cast<std::uint64_t>(st.st_dev);
    stats.link_count = static_cast<std::uint32_t>(st.st_nlink);
    return stats;
}

EntryKind KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return EntryKind::kDirectory;
    if (S_ISREG(mode)) return EntryKind::kFile;
    if (S_ISLNK(mode)) return EntryKind::kLink;
    return EntryKind::kOther;
}

EntryKind KindOfDirentType(unsigned char type) {
    switch (type) {
        case DT_DIR:
            return EntryKind::kDirectory;
        case DT_REG:
            return EntryKind::kFile;
        case DT_LNK:
            return EntryKind::kLink;
        case DT_UNKNOWN:
            return EntryKind::kUnknown;  // until a stat tells
        default:
            return EntryKind::kOther;
    }
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

class PosixDirectory : public DirectoryHandle {
public:
    PosixDirectory(unique_fd fd, dev_t device) : fd_(std::move(fd)), device_(device) {}

    int fd() const { return fd_.get(); }
    dev_t device() const { return device_; }

    ReadStatus ReadBatch(std::vector<DirEntry>& batch) override {
        for (;;) {
            ReadStatus status = ReadNames(batch);
            if (status != ReadStatus::kEntries) return status;
            FillStats(batch.data(), batch.size());
            std::erase_if(batch, [](const DirEntry& entry) { return !entry.present; });
            // Only vanished entries in this buffer: that is not the end.
            if (!batch.empty()) return status;
        }
    }

    bool SplitsListing() const override { return true; }

    ReadStatus ReadNames(std::vector<DirEntry>& batch) override {
        batch.clear();
        // One buffer per thread: names in the batch point into it (each one
        // NUL-terminated there), and a worker reads one folder at a time.
        thread_local std::unique_ptr<char[]> buffer(new char[kListingBufferSize]);
        for (;;) {
            long got = ::syscall(SYS_getdents64, fd_.get(), buffer.get(), kListingBufferSize);
            if (got < 0) {
                if (errno == EINTR) continue;
                return ReadStatus::kFailed;
            }
            if (got == 0) return ReadStatus::kEnd;
            for (long offset = 0; offset < got;) {
                auto* record = reinterpret_cast<LinuxDirent64*>(buffer.get() + offset);
                offset += record->d_reclen;
                if (IsDotOrDotDot(record->d_name)) continue;
                DirEntry entry;
                entry.name = NativeStringView(record->d_name);
                entry.kind = KindOfDirentType(record->d_type);
                batch.push_back(entry);
            }
            // A buffer of only "." and ".." is not the end of the folder.
            if (!batch.empty()) return ReadStatus::kEntries;
        }
    }

    void FillStats(DirEntry* entries, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) FillStats(entries[i]);
    }

private:
    void FillStats(DirEntry& entry) const {
        struct stat st;
        if (::fstatat(fd_.get(), entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            // Deleted between the listing and the stat: it is no longer there.
            // Otherwise listed but not stat-able (a folder readable without
            // search permission): still an entry, of unknown size, with the
            // kind the listing gave; a folder among them fails to open and is
            // reported unreadable.
            if (errno == ENOENT) entry.present = false;
            return;
        }
        entry.kind = KindOf(st.st_mode);
        entry.stats = StatsOf(st);
        entry.other_file_system = entry.kind == EntryKind::kDirectory && st.st_dev != device_;
    }

    unique_fd fd_;
    dev_t device_;  // of the starting folder: the walk never leaves it
};

class PosixReader : public DirectoryReader {
public:
    PosixReader() { RaiseOpenFileLimit(); }

    OpenResult OpenRoot(const NativeString& path) override {
        OpenResult result;
        unique_fd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd) {
            result.error = ErrorFromErrno(errno);
            result.system_error = errno;
            return result;
        }
        struct stat st;
        if (::fstat(fd.get(), &st) != 0) {
            result.error = ErrorFromErrno(errno);
            result.system_error = errno;
            return result;
        }
        result.self = StatsOf(st);
        result.handle = std::make_unique<PosixDirectory>(std::move(fd), st.st_dev);
        return result;
    }

    // A link put in the folder's place fails to open (O_NOFOLLOW); the
    // listed id is not needed for that.
    OpenResult OpenChild(DirectoryHandle& parent, NativeStringView name,
                         std::uint64_t /*listed_id*/) override {
        auto& directory = static_cast<PosixDirectory&>(parent);
        OpenResult result;
        // The name came from a listing, so it holds no NUL; it needs one to
        // become a C string.
        char stack_name[256];
        std::string long_name;
        const char* c_name;
        if (name.size() < sizeof stack_name) {
            std::memcpy(stack_name, name.data(), name.size());
            stack_name[name.size()] = 0;
            c_name = stack_name;
        } else {
            long_name.assign(name);
            c_name = long_name.c_str();
        }
        unique_fd fd(
            ::openat(directory.fd(), c_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) {
            result.error = ErrorFromErrno(errno);
            result.system_error = errno;
            return result;
        }
        // Something may have been mounted on it since it was listed.
        struct stat st;
        if (::fstat(fd.get(), &st) != 0 || st.st_dev != directory.device()) {
            result.error = OpenError::kOther;
            return result;
        }
        result.self = StatsOf(st);
        result.handle = std::make_unique<PosixDirectory>(std::move(fd), directory.device());
        return result;
    }

    NativeChar Separator() const override { return '/'; }

private:
    // Every folder with subfolders still to open keeps its descriptor open, so
    // a deep tree can need more than the usual soft limit of 1,024.
    static void RaiseOpenFileLimit() {
        struct rlimit limit;
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    }
};

}  // namespace

std::unique_ptr<DirectoryReader> CreatePosixDirectoryReader() {
    return std::make_unique<PosixReader>();
}

std::unique_ptr<DirectoryReader> CreatePlatformDirectoryReader() {
    return CreatePosixDirectoryReader();
}

}  // namespace orvane::engine
