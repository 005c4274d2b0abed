// The folders a walk holds open, counted as they open and close, so that a
// worker that finds no file descriptor left can tell whether waiting can
// help: a folder being listed closes without any further open, while a
// folder kept open only for subfolders still to open does not; and while
// other workers still open and close folders, the walk is not stuck.
//
// Running out of descriptors is a shortage, not an unreadable folder: the
// walk waits for a folder to close, or closes parents kept for queued
// subfolders (which are then reopened by path), and only when nothing helps
// does it stop and say so.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/directory_reader.h"

namespace orvane::engine {

class OpenFolders {
public:
    // Takes over an opened folder; when its last owner lets go, it closes.
    // Both wake the workers waiting for a descriptor.
    std::shared_ptr<DirectoryHandle> Adopt(std::unique_ptr<DirectoryHandle> handle);

    // How many folders have been adopted or closed so far.
    std::uint64_t Events() const { return events_.load(); }
    // Waits until there have been more than `seen` events, at most `timeout`.
    bool WaitForChange(std::uint64_t seen, std::chrono::milliseconds timeout);
    // Counts as an event, so that waiting workers look again (a cancel).
    void WakeWaiters() { Changed(); }

    // Folders being listed: each will close without any further open.
    void ListingStarted() { listing_.fetch_add(1); }
    void ListingEnded() { listing_.fetch_sub(1); }
    bool AnyListing() const { return listing_.load() > 0; }

private:
    struct Closer {
        OpenFolders* owner;
        void operator()(DirectoryHandle* handle) const;
    };
    void Changed();

    std::atomic<std::uint64_t> events_{0};
    std::atomic<unsigned> listing_{0};
    std::atomic<unsigned> waiters_{0};
    std::mutex mutex_;
    std::condition_variable closed_cv_;
};

// Marks a folder as being listed for as long as it lives.
class ListingScope {
public:
    explicit ListingScope(OpenFolders& folders) : folders_(folders) { folders_.ListingStarted(); }
    ~ListingScope() { folders_.ListingEnded(); }
    ListingScope(const ListingScope&) = delete;
    ListingScope& operator=(const ListingScope&) = delete;

private:
    OpenFolders& folders_;
};

}  // namespace orvane::engine
