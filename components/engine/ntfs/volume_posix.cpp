// A volume on POSIX: an image file, or a block device holding a partition
// (analysed without mounting it).
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ntfs/file_table_source.h"
#include "ntfs/volume_reader.h"
#include "orvane/system_error.h"
#include "orvane/unique_fd.h"

namespace orvane::engine::ntfs {
namespace {

class FileVolume : public VolumeReader {
public:
    FileVolume(unique_fd fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}

    bool Read(std::uint64_t offset, void* buffer, std::size_t length) override {
        auto* out = static_cast<char*>(buffer);
        while (length > 0) {
            const ssize_t got = ::pread(fd_.get(), out, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            out += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }
    std::uint64_t Size() const override { return size_; }

private:
    unique_fd fd_;
    std::uint64_t size_;
};

}  // namespace

bool IsVolumePath(const NativeString& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
}

OpenedVolume OpenVolume(const NativeString& path) {
    OpenedVolume opened;
    unique_fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        opened.error = SystemErrorText(errno);
        return opened;
    }
    std::uint64_t size = 0;
    if (S_ISREG(st.st_mode)) {
        size = static_cast<std::uint64_t>(st.st_size);
    } else if (S_ISBLK(st.st_mode)) {
        if (::ioctl(fd.get(), BLKGETSIZE64, &size) != 0) size = 0;
    } else {
        opened.error = "not a file or block device";
        return opened;
    }
    // The table is read front to back in large pieces: a larger read-ahead
    // of the kernel's keeps the device busy while a piece is parsed.
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    opened.reader = std::make_unique<FileVolume>(std::move(fd), size);
    return opened;
}

}  // namespace orvane::engine::ntfs
