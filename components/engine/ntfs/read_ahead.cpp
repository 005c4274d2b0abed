#include "ntfs/read_ahead.h"

#include <utility>

namespace orvane::engine::ntfs {

ReadAhead::ReadAhead(std::vector<std::uint64_t> chunks, std::size_t buffer_size, ReadChunk read,
                     std::size_t depth)
    : chunks_(std::move(chunks)), read_(std::move(read)), slots_(depth) {
    for (Slot& slot : slots_) slot.buffer = AlignedBuffer(buffer_size);
    reader_ = std::thread([this] { Fill(); });
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void ReadAhead::Fill() {
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        Slot& slot = slots_[i % slots_.size()];
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || !slot.filled; });
            if (stopping_) return;
        }
        // The slot is the reader's alone until it is marked filled.
        const bool read = read_(chunks_[i], slot.buffer.data());
        {
            std::lock_guard lock(mutex_);
            slot.number = chunks_[i];
            slot.read = read;
            slot.filled = true;
        }
        changed_.notify_all();
    }
}

bool ReadAhead::Next(Chunk& chunk) {
    std::unique_lock lock(mutex_);
    if (holding_) {
        slots_[(handed_ - 1) % slots_.size()].filled = false;
        holding_ = false;
        changed_.notify_all();
    }
    if (handed_ == chunks_.size()) return false;
    Slot& slot = slots_[handed_ % slots_.size()];
    changed_.wait(lock, [&] { return slot.filled; });
    chunk = {slot.number, slot.buffer.data(), slot.buffer.data(), slot.read};
    handed_++;
    holding_ = true;
    return true;
}

}  // namespace orvane::engine::ntfs
