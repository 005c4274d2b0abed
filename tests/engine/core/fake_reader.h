// An in-memory directory tree behind the DirectoryReader interface, so the
// scanner's counting rules can be checked exactly, including failures that a
// real file system (or a root user) will not produce on demand.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/directory_reader.h"

namespace orvane::engine::testing {

struct FakeNode {
    NativeString name;
    EntryKind kind = EntryKind::kFile;
    EntryStats stats;
    bool other_file_system = false;
    OpenError open_error = OpenError::kNone;  // opening this folder fails so
    bool listing_breaks = false;              // ReadBatch fails after the first batch
    bool vanishes = false;                    // deleted between listing and stat
    bool listed_without_type = false;         // listed as kUnknown, without sizes
    bool replaced = false;                    // swapped for a link before it is opened
    std::vector<std::unique_ptr<FakeNode>> children;

    FakeNode& AddFolder(NativeStringView child, std::uint64_t allocated = 4096,
                        std::uint64_t apparent = 4096) {
        return Add(child, EntryKind::kDirectory, allocated, apparent);
    }
    FakeNode& AddFile(NativeStringView child, std::uint64_t allocated, std::uint64_t apparent,
                      std::uint64_t id = 0, std::uint32_t links = 1) {
        FakeNode& node = Add(child, EntryKind::kFile, allocated, apparent);
        node.stats.file_id = id;
        node.stats.link_count = links;
        return node;
    }
    FakeNode& Add(NativeStringView child, EntryKind kind, std::uint64_t allocated,
                  std::uint64_t apparent) {
        auto node = std::make_unique<FakeNode>();
        node->name = NativeString(child);
        node->kind = kind;
        node->stats.allocated_bytes = allocated;
        node->stats.apparent_bytes = apparent;
        node->stats.link_count = kind == EntryKind::kDirectory ? 2 : 1;
        children.push_back(std::move(node));
        return *children.back();
    }
};

class FakeReader : public DirectoryReader {
public:
    FakeNode root;
    std::size_t batch_size = 3;
    // Lists names first and fills sizes in FillStats, like the POSIX backend.
    bool split_listing = false;
    // FillStats waits (up to a while) until this many threads have called it,
    // so a test can see the stat calls being shared.
    std::size_t fill_rendezvous = 0;
    // Runs before each batch is returned (to slow a listing down, or to act in
    // the middle of one).
    std::function<void()> before_batch;
    // Runs before each FillStats call (a chunk of a split listing's batch).
    std::function<void()> before_fill;
    // Every open and every batch takes this long, like a request to a slow
    // device; the reader notes how many were waiting at once.
    std::chrono::microseconds latency{0};

    FakeReader() {
        root.kind = EntryKind::kDirectory;
        root.stats.allocated_bytes = 4096;
        root.stats.apparent_bytes = 4096;
    }

    OpenResult OpenRoot(const NativeString& path) override {
        OpenResult result;
        RecordOpen(path);
        TakeLatency();
        if (root.open_error != OpenError::kNone) {
            result.error = root.open_error;
            return result;
        }
        result.self = root.stats;
        result.handle = std::make_unique<Handle>(*this, root);
        return result;
    }

    OpenResult OpenChild(DirectoryHandle& parent, NativeStringView name,
                         std::uint64_t /*listed_id*/) override {
        OpenResult result;
        RecordOpen(NativeString(name));
        TakeLatency();
        auto& folder = static_cast<Handle&>(parent).node();
        for (auto& child : folder.children) {
            if (child->name != name) continue;
            if (child->kind != EntryKind::kDirectory) {
                result.error = OpenError::kNotDirectory;
            } else if (child->open_error != OpenError::kNone) {
                result.error = child->open_error;
            } else if (child->replaced) {
                // What a backend answers when the name no longer leads to
                // the listed folder.
            } else {
                result.handle = std::make_unique<Handle>(*this, *child);
            }
            return result;
        }
        result.error = OpenError::kNotFound;
        return result;
    }

    NativeChar Separator() const override { return separator; }
    NativeChar separator = '/';

    std::size_t FillThreads() const {
        std::lock_guard lock(mutex_);
        return fill_threads_.size();
    }

    std::multiset<NativeString> Opened() const {
        std::lock_guard lock(mutex_);
        return opened_;
    }
    int MaxOpenHandles() const { return max_open_.load(); }
    int MaxRequestsInFlight() const { return max_in_flight_.load(); }

private:
    class Handle : public DirectoryHandle {
    public:
        Handle(FakeReader& reader, FakeNode& node) : reader_(reader), node_(node) {
            RaiseToAtLeast(reader_.max_open_, ++reader_.open_);
        }
        ~Handle() override { --reader_.open_; }
        FakeNode& node() { return node_; }

        bool SplitsListing() const override { return reader_.split_listing; }

        ReadStatus ReadNames(std::vector<DirEntry>& batch) override {
            ReadStatus status = ReadBatch(batch);
            for (DirEntry& entry : batch) entry.stats = {};
            return status;
        }

        void FillStats(DirEntry* entries, std::size_t count) override {
            reader_.MeetOtherFillers();
            if (reader_.before_fill) reader_.before_fill();
            for (std::size_t i = 0; i < count; ++i) {
                const FakeNode& child = ChildNamed(entries[i].name);
                entries[i].stats = child.stats;
                entries[i].present = !child.vanishes;
            }
        }

        ReadStatus ReadBatch(std::vector<DirEntry>& batch) override {
            batch.clear();
            if (node_.listing_breaks && next_ > 0) return ReadStatus::kFailed;
            if (next_ == node_.children.size()) return ReadStatus::kEnd;
            if (reader_.before_batch) reader_.before_batch();
            reader_.TakeLatency();
            for (; next_ < node_.children.size() && batch.size() < reader_.batch_size; ++next_) {
                const FakeNode& child = *node_.children[next_];
                if (child.vanishes && !reader_.split_listing) continue;
                DirEntry entry;
                entry.name = child.name;
                entry.kind = child.kind;
                entry.stats = child.stats;
                entry.other_file_system = child.other_file_system;
                if (child.listed_without_type) {
                    entry.kind = EntryKind::kUnknown;
                    entry.stats = {};
                }
                batch.push_back(entry);
            }
            return ReadStatus::kEntries;
        }

    private:
        // Names in a batch point at the children's own strings.
        const FakeNode& ChildNamed(NativeStringView name) const {
            for (const auto& child : node_.children) {
                if (child->name.data() == name.data()) return *child;
            }
            throw std::logic_error("not a name from this folder's listing");
        }

        FakeReader& reader_;
        FakeNode& node_;
        std::size_t next_ = 0;
    };

    void MeetOtherFillers() {
        std::unique_lock lock(mutex_);
        fill_threads_.insert(std::this_thread::get_id());
        fillers_cv_.notify_all();
        fillers_cv_.wait_for(lock, std::chrono::milliseconds(500),
                             [&] { return fill_threads_.size() >= fill_rendezvous; });
    }

    void TakeLatency() {
        if (latency.count() == 0) return;
        RaiseToAtLeast(max_in_flight_, ++in_flight_);
        std::this_thread::sleep_for(latency);
        --in_flight_;
    }

    static void RaiseToAtLeast(std::atomic<int>& most, int value) {
        int seen = most.load();
        while (value > seen && !most.compare_exchange_weak(seen, value)) {
        }
    }

    void RecordOpen(NativeString name) {
        std::lock_guard lock(mutex_);
        opened_.insert(std::move(name));
    }

    mutable std::mutex mutex_;
    std::multiset<NativeString> opened_;
    std::set<std::thread::id> fill_threads_;
    std::condition_variable fillers_cv_;
    std::atomic<int> open_{0};
    std::atomic<int> max_open_{0};
    std::atomic<int> in_flight_{0};
    std::atomic<int> max_in_flight_{0};
};

}  // namespace orvane::engine::testing
