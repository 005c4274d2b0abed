// The walk's work sharing. One mutex guards the stack, the end of the tree
// and the shared batch; it is held only to move pointers, never during I/O.
#include "core/work_scheduler.h"

#include <algorithm>
#include <new>
#include <utility>

namespace orvane::engine {

void SharedBatch::Reset(std::size_t count, std::function<void(std::size_t, std::size_t)> work) {
    work_ = std::move(work);
    count_ = count;
    next_.store(0, std::memory_order_relaxed);
    out_of_memory_.store(false, std::memory_order_relaxed);
}

void SharedBatch::Work() {
    for (;;) {
        std::size_t start = next_.fetch_add(kChunk, std::memory_order_relaxed);
        if (start >= count_) return;
        try {
            work_(start, std::min(kChunk, count_ - start));
        } catch (const std::bad_alloc&) {
            out_of_memory_.store(true, std::memory_order_relaxed);
        }
    }
}

void WorkScheduler::Push(std::vector<FolderRef>& folders) {
    if (folders.empty()) return;
    {
        std::lock_guard lock(mutex_);
        stack_.insert(stack_.end(), std::make_move_iterator(folders.begin()),
                      std::make_move_iterator(folders.end()));
    }
    if (folders.size() == 1) {
        work_cv_.notify_one();
    } else {
        work_cv_.notify_all();
    }
    folders.clear();
}

FolderRef WorkScheduler::Pop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!stack_.empty()) {
            FolderRef folder = std::move(stack_.back());
            stack_.pop_back();
            return folder;
        }
        if (done_) return nullptr;
        if (shared_ && shared_->HasWork()) {
            Help(*shared_, lock);
            continue;
        }
        idle_.fetch_add(1, std::memory_order_relaxed);
        work_cv_.wait(lock);
        idle_.fetch_sub(1, std::memory_order_relaxed);
    }
}

// Counted under the lock, so the owner cannot retire the batch while this
// helper still works on it.
void WorkScheduler::Help(SharedBatch& batch, std::unique_lock<std::mutex>& lock) {
    batch.helpers_++;
    lock.unlock();
    batch.Work();
    lock.lock();
    if (--batch.helpers_ == 0) helped_cv_.notify_all();
}

void WorkScheduler::EndOfTree() {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    work_cv_.notify_all();
}

void WorkScheduler::WakeAll() {
    std::lock_guard lock(mutex_);
    work_cv_.notify_all();
}

std::size_t WorkScheduler::ReleaseQueuedParents(std::size_t wanted) {
    std::lock_guard lock(mutex_);
    std::size_t closed = 0;
    for (FolderRef& folder : stack_) {
        if (closed == wanted) break;
        if (!folder->parent_handle) continue;
        // Only the last owner's reset closes; the others just let go.
        if (folder->parent_handle.use_count() == 1) closed++;
        folder->parent_handle.reset();
    }
    return closed;
}

bool WorkScheduler::WorkWaiting() {
    std::lock_guard lock(mutex_);
    return !stack_.empty() || (shared_ && shared_->HasWork());
}

bool WorkScheduler::Share(SharedBatch& batch) {
    if (IdleWorkers() == 0) return false;
    {
        std::lock_guard lock(mutex_);
        if (shared_) return false;
        shared_ = &batch;
    }
    work_cv_.notify_all();
    batch.Work();
    std::unique_lock lock(mutex_);
    shared_ = nullptr;
    helped_cv_.wait(lock, [&] { return batch.helpers_ == 0; });
    return true;
}

}  // namespace orvane::engine
