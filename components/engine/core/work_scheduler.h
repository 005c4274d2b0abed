// Hands the folders of a walk to its workers: a shared stack of folders to
// read (depth first, so the frontier stays small), idle workers that block
// until there is work, the end of the tree, and one batch at a time whose
// per-entry work idle workers can share.
//
// The scheduler knows nothing of counting: it moves folders and runs chunks
// of a shared batch. Nothing here spins: a worker without work waits on a
// condition variable until folders arrive, a batch is shared or the tree ends.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "core/folder_node.h"

namespace orvane::engine {

// One batch whose entries are processed in chunks, by the worker that owns it
// and by any idle worker that joins in.
class SharedBatch {
public:
    // Small, so the owner never waits long for a helper's last chunk.
    static constexpr std::size_t kChunk = 64;

    // Prepares `count` entries; `work(first, count)` processes a chunk and may
    // run on several threads at once, on disjoint chunks.
    void Reset(std::size_t count, std::function<void(std::size_t, std::size_t)> work);
    // Takes chunks until none is left.
    void Work();
    bool HasWork() const { return next_.load(std::memory_order_relaxed) < count_; }
    // A chunk ran out of memory (on whichever thread ran it); the owner, not
    // the helper, reports that once the batch is over.
    bool OutOfMemory() const { return out_of_memory_.load(std::memory_order_relaxed); }

private:
    friend class WorkScheduler;
    std::function<void(std::size_t, std::size_t)> work_;
    std::size_t count_ = 0;
    std::atomic<std::size_t> next_{0};  // first entry not handed out yet
    std::atomic<bool> out_of_memory_{false};
    unsigned helpers_ = 0;  // other workers inside Work; guarded by the scheduler
};

class WorkScheduler {
public:
    // Moves `folders` onto the stack and wakes as many idle workers.
    void Push(std::vector<FolderRef>& folders);
    // The next folder to read. While there is none the caller helps with a
    // shared batch or blocks. Null once the tree has ended.
    FolderRef Pop();
    // The whole tree is done: every Pop returns null from now on.
    void EndOfTree();
    // Wakes every blocked worker so it looks at the state again.
    void WakeAll();

    // Runs `batch` with the help of idle workers and returns once all its
    // chunks are done. False, with nothing done, when no worker is idle or
    // another batch is being shared (its helpers are busy).
    bool Share(SharedBatch& batch);

    // Out of descriptors: lets queued folders drop their parents' open
    // folders, the oldest (shallowest) first, until `wanted` of those have
    // closed. The folders reopen from the starting one by path when their
    // turn comes. Returns how many closed.
    std::size_t ReleaseQueuedParents(std::size_t wanted);
    unsigned IdleWorkers() const { return idle_.load(std::memory_order_relaxed); }
    // Folders queued or a shared batch's chunks not yet handed out: work a
    // further worker could start on at once.
    bool WorkWaiting();

private:
    void Help(SharedBatch& batch, std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable work_cv_;    // folders pushed, a batch shared, the tree ended
    std::condition_variable helped_cv_;  // the last helper left the shared batch
    std::vector<FolderRef> stack_;
    bool done_ = false;
    SharedBatch* shared_ = nullptr;  // the one batch being shared, if any
    std::atomic<unsigned> idle_{0};  // blocked in Pop; read without the lock as a hint
};

}  // namespace orvane::engine
