// Opening and closing are counted without a lock; the lock and the
// notification are only taken while some worker waits (a sequentially
// consistent pair of counters makes sure an event is never missed by a
// worker about to wait).
#include "core/open_folders.h"

namespace orvane::engine {

std::shared_ptr<DirectoryHandle> OpenFolders::Adopt(std::unique_ptr<DirectoryHandle> handle) {
    std::unique_ptr<DirectoryHandle, Closer> owned(handle.release(), Closer{this});
    std::shared_ptr<DirectoryHandle> shared(std::move(owned));
    Changed();
    return shared;
}

void OpenFolders::Closer::operator()(DirectoryHandle* handle) const {
    std::default_delete<DirectoryHandle>{}(handle);
    owner->Changed();
}

void OpenFolders::Changed() {
    events_.fetch_add(1);
    if (waiters_.load() > 0) {
        std::lock_guard lock(mutex_);
        closed_cv_.notify_all();
    }
}

bool OpenFolders::WaitForChange(std::uint64_t seen, std::chrono::milliseconds timeout) {
    waiters_.fetch_add(1);
    bool closed;
    {
        std::unique_lock lock(mutex_);
        closed = closed_cv_.wait_for(lock, timeout, [&] { return events_.load() != seen; });
    }
    waiters_.fetch_sub(1);
    return closed;
}

}  // namespace orvane::engine
