// A POSIX path is a volume when it is a mount point: the root, or a folder
// on another device than its parent (or the same inode as its parent).
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "report/ledger.h"

namespace orvane::engine::report {

std::optional<VolumeInfo> QueryVolume(const NativeString& root) {
    struct stat self {};
    struct stat parent {};
    if (::stat(root.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)) return std::nullopt;
    const NativeString up = root + (root.empty() || root.back() != '/' ? "/.." : "..");
    if (::stat(up.c_str(), &parent) != 0) return std::nullopt;
    const bool mount_point = self.st_dev != parent.st_dev ||
                             (self.st_ino == parent.st_ino && self.st_dev == parent.st_dev);
    if (!mount_point) return std::nullopt;
    struct statvfs fs {};
    if (::statvfs(root.c_str(), &fs) != 0) return std::nullopt;
    VolumeInfo info;
    info.total_bytes = static_cast<std::uint64_t>(fs.f_blocks) * fs.f_frsize;
    info.free_bytes = static_cast<std::uint64_t>(fs.f_bfree) * fs.f_frsize;
    return info;
}

}  // namespace orvane::engine::report
