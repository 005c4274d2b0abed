// Test volumes: NTFS images made by mkntfs and filled by ntfs_image_tool,
// the tool's reference figures, and volume readers that hold the file-table
// reader to what a Windows volume handle demands.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../core/temp_tree.h"
#include "ntfs/volume_reader.h"
#include "orvane/unique_fd.h"

namespace orvane::engine::ntfs::testing {

inline void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// A command's standard output; throws when it fails.
inline std::string Output(const std::string& command) {
    int exit_code = -1;
    std::string out = engine::testing::CommandOutput(command, &exit_code);
    if (exit_code != 0) throw std::runtime_error("failed: " + command);
    return out;
}

// An image of `size` ("256M") made once per build folder by `scenario`
// (a command of ntfs_image_tool), and kept for the next run.
inline std::string Image(const std::string& name, const std::string& size,
                         const std::string& scenario, const std::string& format_options = "",
                         const std::string& scenario_arguments = "") {
    const std::string dir = ORVANE_NTFS_IMAGES;
    const std::string image = dir + "/" + name + ".img";
    struct stat st;
    if (::stat(image.c_str(), &st) == 0) return image;
    Shell("mkdir -p '" + dir + "'");
    const std::string partial = image + ".partial";
    Shell("rm -f '" + partial + "' && truncate -s " + size + " '" + partial + "' && " +
          ORVANE_MKNTFS + " -F -f -q " + format_options + " '" + partial + "' >/dev/null 2>&1");
    if (!scenario.empty())
        Shell(std::string(ORVANE_NTFS_TOOL) + " " + scenario + " '" + partial + "' " +
              scenario_arguments);
    Shell("mv '" + partial + "' '" + image + "'");
    return image;
}

// "key value" lines of ntfs_image_tool's reference.
inline std::map<std::string, std::uint64_t> Reference(const std::string& image) {
    std::istringstream lines(Output(std::string(ORVANE_NTFS_TOOL) + " reference '" + image + "'"));
    std::map<std::string, std::uint64_t> figures;
    std::string key;
    std::uint64_t value;
    while (lines >> key >> value) figures[key] = value;
    return figures;
}

// Reads an image as Windows reads a volume: a request that is not sector
// aligned (offset, length or memory) or runs past the end is refused and
// remembered, so a test can fail on it even where the reader recovered.
// Patches laid over the image stand for damage.
class StrictVolume : public VolumeReader {
public:
    explicit StrictVolume(const std::string& image, std::uint32_t sector = 512)
        : fd_(::open(image.c_str(), O_RDONLY | O_CLOEXEC)), sector_(sector) {
        struct stat st;
        if (!fd_ || ::fstat(fd_.get(), &st) != 0) throw std::runtime_error("open " + image);
        size_ = static_cast<std::uint64_t>(st.st_size);
    }

    bool Read(std::uint64_t offset, void* buffer, std::size_t length) override {
        std::lock_guard lock(mutex_);
        reads_++;
        if (offset % sector_ || length % sector_ ||
            reinterpret_cast<std::uintptr_t>(buffer) % sector_ || offset > size_ ||
            length > size_ - offset) {
            refused_++;
            return false;
        }
        if (::pread(fd_.get(), buffer, length, static_cast<off_t>(offset)) !=
            static_cast<ssize_t>(length))
            return false;
        for (const auto& [at, bytes] : patches_) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (at + i >= offset && at + i < offset + length)
                    static_cast<std::uint8_t*>(buffer)[at + i - offset] = bytes[i];
            }
        }
        return true;
    }
    std::uint64_t Size() const override { return size_; }

    void Patch(std::uint64_t offset, std::vector<std::uint8_t> bytes) {
        patches_[offset] = std::move(bytes);
    }
    void PatchLe(std::uint64_t offset, std::uint64_t value, unsigned bytes) {
        std::vector<std::uint8_t> le(bytes);
        for (unsigned i = 0; i < bytes; ++i) le[i] = static_cast<std::uint8_t>(value >> (8 * i));
        Patch(offset, le);
    }
    // The bytes at `offset` as the image holds them, patches included.
    std::vector<std::uint8_t> Bytes(std::uint64_t offset, std::size_t length) {
        AlignedBuffer buffer((length + sector_ - 1) / sector_ * sector_ + sector_);
        const std::uint64_t start = offset / sector_ * sector_;
        Read(start, buffer.data(), (offset + length - start + sector_ - 1) / sector_ * sector_);
        return std::vector<std::uint8_t>(buffer.data() + (offset - start),
                                         buffer.data() + (offset - start) + length);
    }
    std::uint64_t refused() const { return refused_; }
    std::uint64_t reads() const { return reads_; }

private:
    unique_fd fd_;
    std::uint32_t sector_;
    std::uint64_t size_ = 0;
    std::mutex mutex_;
    std::map<std::uint64_t, std::vector<std::uint8_t>> patches_;
    std::uint64_t refused_ = 0;
    std::uint64_t reads_ = 0;
};

}  // namespace orvane::engine::ntfs::testing
