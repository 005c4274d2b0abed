// The one thing the file-table reader asks of a volume: bytes at an offset.
//
// Windows reads a volume handle only in whole sectors, at sector-aligned
// offsets, into sector-aligned memory, and refuses anything else; so every
// request the reader makes is aligned that way, whatever the backend would
// accept. The reader never asks for bytes beyond Size().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/native_string.h"

namespace orvane::engine::ntfs {

class VolumeReader {
public:
    virtual ~VolumeReader() = default;
    // Fills `length` bytes at `buffer` from `offset`; false on any failure
    // (a short read included). Called from one thread at a time.
    virtual bool Read(std::uint64_t offset, void* buffer, std::size_t length) = 0;
    // The volume's length in bytes, or 0 when the platform cannot tell (a
    // Wine drive's raw device): the boot sector's own figure is then used.
    virtual std::uint64_t Size() const = 0;
};

// Memory whose start is aligned for any sector size (4096), as unbuffered
// volume reads need.
class AlignedBuffer {
public:
    static constexpr std::size_t kAlignment = 4096;
    AlignedBuffer() = default;
    explicit AlignedBuffer(std::size_t size);
    AlignedBuffer(AlignedBuffer&& other) noexcept;
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept;
    ~AlignedBuffer();

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

struct OpenedVolume {
    std::unique_ptr<VolumeReader> reader;
    std::string error;  // why it could not be opened, in words
};

// Opens `path` for reading as a volume: on Windows a drive ("C:", "C:\")
// through its volume device (\\.\C:), on POSIX a regular file or a block
// device. Implemented per platform.
OpenedVolume OpenVolume(const NativeString& path);

}  // namespace orvane::engine::ntfs
