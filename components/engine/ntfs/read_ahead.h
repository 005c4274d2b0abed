// Reads the next chunk of the table while the one before is parsed: one
// thread fills buffers in order, the parsing thread takes them in order. On
// a cold disk the reading then hides the parsing almost entirely.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "ntfs/volume_reader.h"

namespace orvane::engine::ntfs {

class ReadAhead {
public:
    // Fills `buffer` with chunk `chunk`; false when it could not be read.
    using ReadChunk = std::function<bool(std::uint64_t chunk, std::uint8_t* buffer)>;

    // Starts reading `chunks` (in that order) into `depth` buffers of
    // `buffer_size` bytes. Throws std::bad_alloc or std::system_error.
    ReadAhead(std::vector<std::uint64_t> chunks, std::size_t buffer_size, ReadChunk read,
              std::size_t depth = 2);
    ~ReadAhead();  // stops the reading thread
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    struct Chunk {
        std::uint64_t number = 0;
        const std::uint8_t* data = nullptr;
        std::uint8_t* writable = nullptr;
        bool read = false;  // false: the volume refused it
    };
    // The next chunk; false once all were handed out. The previous chunk's
    // buffer goes back to the reader with this call.
    bool Next(Chunk& chunk);

private:
    struct Slot {
        AlignedBuffer buffer;
        bool filled = false;
        bool read = false;
        std::uint64_t number = 0;
    };
    void Fill();

    std::vector<std::uint64_t> chunks_;
    ReadChunk read_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::size_t handed_ = 0;  // chunks handed to the parser
    bool holding_ = false;    // the parser holds slot (handed_ - 1) % depth
    std::thread reader_;
};

}  // namespace orvane::engine::ntfs
