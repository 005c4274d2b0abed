// Totals what a folder tree occupies: a facade over one scan's source (how
// entries are found: the parallel folder walk over a DirectoryReader, or
// another ScanSource) and its feed (how they are counted), core/scan_source.h
// being the seam between them. Memory grows with the number of folders being
// worked on and with bounded top-N lists, never with the number of files
// (apart from the identities of hard-linked files, which must be remembered
// to count them once).
//
// Counting rules (docs/report-format.md has the full story):
// - files: every entry that is not a folder (files, links, others), each hard
//   link an entry; folders: every folder including the starting one;
// - allocated and apparent bytes: every entry's own sizes, folders included,
//   the data of a hard-linked file once;
// - links and other file systems are counted as entries and never followed;
//   a folder on another file system adds no bytes, not even its own size;
// - a folder that cannot be opened is counted (with its own sizes), listed as
//   unreadable and skipped;
// - a folder that is its own ancestor (the same identity as a folder on its
//   path: a bind mount) is counted as a folder without bytes, not entered;
// - hard-linked data is told apart by (device, file id); byte counts saturate
//   at 2^64-1 instead of wrapping.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/directory_reader.h"
#include "core/folder_tree.h"
#include "core/native_string.h"

namespace orvane::engine {

struct ProgressBoard;

// What to do with files whose link count the backend cannot tell (0).
enum class UnknownLinkCount : std::uint8_t {
    kCountEach,       // assume one name each: no memory per file, may count hard links twice
    kRememberFileId,  // remember every such file's id: exact, memory per file
};

struct ScanOptions {
    // Worker threads, all started at once. 0: one per core to begin with,
    // more while they wait on the device (a cold scan), up to MostWorkerCount().
    unsigned threads = 0;
    std::size_t top_count = 20;
    std::size_t unreadable_list_limit = 100;
    // How many of the largest folders the result's tree keeps (0: no tree).
    std::size_t tree_folders = 5000;
    UnknownLinkCount unknown_link_count = UnknownLinkCount::kCountEach;
    // Called once, when the scan has ended (however it ended) and the result
    // can be taken: from a worker thread, or from Start when the scan ended
    // there. It must not call back into the
    // scanner except Progress() and the counters; signalling an event is the
    // intended use.
    std::function<void()> on_finished;
};

// The most workers a scan with the default thread count grows to: enough
// requests in flight for a cold device, bounded whatever the machine.
unsigned MostWorkerCount();

struct ScanTotals {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t allocated_bytes = 0;
    std::uint64_t apparent_bytes = 0;
    std::uint64_t unreadable_folders = 0;
    std::chrono::nanoseconds duration{0};
    // Logical size of the files whose data lives elsewhere (online-only).
    std::uint64_t online_only_bytes = 0;
    // What compression and sparse files save: apparent - allocated, summed
    // over the files where it is positive.
    std::uint64_t compression_saved_bytes = 0;
    // A byte count reached 2^64-1 and stopped there: the true total is larger.
    bool bytes_saturated = false;
    // False when memory ran short for remembering hard-linked data: some of
    // it may then be counted under more than one name.
    bool hard_links_exact = true;
};

struct FolderSize {
    NativeString path;
    std::uint64_t allocated_bytes = 0;  // the whole subtree, the folder's own size included
    std::uint64_t apparent_bytes = 0;
    std::uint64_t files = 0;    // in the whole subtree
    std::uint64_t folders = 0;  // in the whole subtree, the folder itself included
};

struct FileSize {
    NativeString path;
    std::uint64_t allocated_bytes = 0;
    std::uint64_t apparent_bytes = 0;
};

struct FileTypeSize {
    NativeString extension;  // ASCII letters folded to lower case; empty: no extension
    std::uint64_t files = 0;
    std::uint64_t allocated_bytes = 0;
    std::uint64_t apparent_bytes = 0;
};

struct UnreadableFolder {
    NativeString path;
    OpenError reason = OpenError::kOther;
};

enum class ScanStatus : std::uint8_t {
    kCompleted,
    kCancelled,       // totals cover what was scanned before the cancel
    kRootUnreadable,  // the starting folder itself could not be opened
    // The scan stopped early for lack of a resource; the totals cover what
    // was scanned until then.
    kOutOfMemory,
    kNoWorkerThread,        // not one worker thread could be started: only the root is counted
    kOutOfFileDescriptors,  // no folder could be opened any more, even after waiting
};

struct ScanResult {
    NativeString root;
    ScanStatus status = ScanStatus::kCompleted;
    OpenError root_error = OpenError::kNone;
    int root_system_error = 0;  // the system's error number behind root_error; 0 unknown
    std::chrono::system_clock::time_point started_at;
    unsigned threads = 0;
    ScanTotals totals;
    // Each sorted largest first by allocated bytes (then by path), at most
    // top_count long.
    std::vector<FolderSize> largest_folders;
    std::vector<FileSize> largest_files;
    std::vector<FileTypeSize> largest_types;
    // The first unreadable_list_limit found (in no particular order); the count
    // is totals.unreadable_folders.
    std::vector<UnreadableFolder> unreadable;
    // The largest folders as a tree (ScanOptions::tree_folders of them).
    FolderTree tree;
};

// A consistent-enough picture for a progress display, taken without waiting
// on any worker.
struct ScanProgress {
    NativeString current_folder;  // full path of a folder being read; empty before the start
    std::uint64_t entries = 0;    // files + folders counted so far
    std::uint64_t allocated_bytes = 0;
    bool running = false;
};

class ScanSource;
// Makes the source of one scan; called once per Start.
using SourceMaker = std::function<std::unique_ptr<ScanSource>()>;

class Scanner {
public:
    // Walks the folders through `reader`, which must outlive the scanner.
    explicit Scanner(DirectoryReader& reader, ScanOptions options = {});
    // Finds the entries through the sources `make_source` makes.
    explicit Scanner(SourceMaker make_source, ScanOptions options = {});
    ~Scanner();  // cancels and waits for the workers
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // Start, Wait, TakeResult and Run belong to one controlling thread; Cancel,
    // Finished, the counters and Progress may come from any thread.
    //
    // Opens the root and starts the workers, then returns. False when the root
    // cannot be opened (the scan has then already finished with
    // kRootUnreadable and on_finished has been called) or a scan is running.
    bool Start(const NativeString& root);
    // Waits up to `timeout` for the scan to end; true when it has ended.
    bool Wait(std::chrono::milliseconds timeout);
    bool Finished() const;
    // Ends a running scan promptly: workers stop after their current batch.
    // Harmless when nothing runs. Callable from any thread.
    void Cancel();
    // Waits for the end and hands over the result (once per Start).
    ScanResult TakeResult();

    // Start + TakeResult.
    ScanResult Run(const NativeString& root);

    // Lock-free counters and a progress snapshot, callable from any thread at
    // any time, also during on_finished and after the end.
    std::uint64_t EntriesScanned() const;
    std::uint64_t AllocatedBytesScanned() const;
    ScanProgress Progress() const;

private:
    struct Scan;  // one scan's source and feed

    SourceMaker make_source_;
    ScanOptions options_;
    std::unique_ptr<ProgressBoard> board_;
    mutable std::mutex scan_mutex_;  // guards scan_ against Cancel from another thread
    std::unique_ptr<Scan> scan_;
    bool start_out_of_memory_ = false;  // Start found no memory for a scan
};

}  // namespace orvane::engine
