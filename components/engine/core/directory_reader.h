// The small interface a file system backend implements for the scanner.
//
// The scanner opens every folder relative to its already open parent, so no
// full path is ever handed to the operating system: depth and path length are
// unlimited. A backend reads a folder in large batches and reports, for every
// entry, what the counting rules need, without opening the entry itself.
//
// Threading: one DirectoryReader is shared by all worker threads, so OpenRoot
// and OpenChild must be callable concurrently. ReadBatch on one handle is
// called by one thread at a time, but OpenChild may be called with the same
// parent handle from several threads at once, also while another thread is
// still in ReadBatch on that parent: subfolders are handed out per batch so
// other workers can start on them while a huge folder is still being read.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/native_string.h"

namespace orvane::engine {

enum class EntryKind : std::uint8_t {
    kDirectory,  // descended into, unless it is on another file system
    kFile,
    kLink,   // symbolic link, junction, any reparse point: counted, never followed
    kOther,  // device, socket, pipe...: counted as a file
    // Neither the listing nor a stat could tell (a file system without entry
    // types, in a folder that can be listed but not searched): the scanner
    // tries to open it as a folder to find out.
    kUnknown,
};

// Sizes and identity of one entry (or of the starting folder itself).
struct EntryStats {
    std::uint64_t allocated_bytes = 0;  // POSIX st_blocks * 512, Windows AllocationSize
    std::uint64_t apparent_bytes = 0;   // POSIX st_size, Windows EndOfFile
    std::uint64_t file_id = 0;          // POSIX inode, Windows FileId; 0 when unknown
    // With file_id, what tells two pieces of data apart: POSIX st_dev (an
    // overlay's files come from several devices); 0 where one volume is
    // listed (Windows).
    std::uint64_t device = 0;
    // Number of names the data has: 1 for an ordinary file, above 1 for hard
    // links, 0 when the backend cannot tell (Windows directory listings).
    std::uint32_t link_count = 0;
};

struct DirEntry {
    // Points into storage owned by the backend; the scanner uses it only until
    // the same thread's next ReadBatch call (on any handle) or until the handle
    // is destroyed, so a backend may share one buffer per thread. Never "." or "..".
    NativeStringView name;
    EntryKind kind = EntryKind::kFile;
    // A directory that is the root of another file system (mount point, or a
    // different st_dev): counted as a folder, not entered, and without bytes
    // (they belong to the other file system).
    bool other_file_system = false;
    // The data lives elsewhere (a cloud placeholder: offline or recalled on
    // access), as the listing says; nothing is ever opened to find out.
    bool online_only = false;
    EntryStats stats;
    // Cleared by FillStats when the entry vanished after it was listed; the
    // scanner skips it. ReadBatch never returns such entries.
    bool present = true;
};

enum class OpenError : std::uint8_t {
    kNone,
    kAccessDenied,
    kNotFound,
    kNotDirectory,
    kOther,
    // The process has no file descriptor (handle) left: a shortage, not a
    // property of the folder; the scanner waits or frees some and retries.
    kNoDescriptors,
};

enum class ReadStatus : std::uint8_t {
    kEntries,  // the batch holds at least one entry; call again
    kEnd,      // no more entries; the batch is empty
    kFailed,   // listing broke off; entries already returned stay counted
};

// One open folder. Destroying it closes the folder.
class DirectoryHandle {
public:
    virtual ~DirectoryHandle() = default;
    // Replaces the contents of `batch` with the next entries. Backends should
    // return a few thousand entries at most per call: the scanner checks for
    // cancellation between batches.
    virtual ReadStatus ReadBatch(std::vector<DirEntry>& batch) = 0;

    // Optional split listing, for backends whose listing does not carry the
    // sizes (POSIX: one stat call per entry), so that the scanner can spread
    // a huge folder's stat calls over idle workers. When SplitsListing() is
    // true the scanner may call ReadNames instead of ReadBatch: it returns
    // names and, where the listing tells, kinds; FillStats then completes
    // entries of that batch. FillStats may run on several threads at once on
    // disjoint ranges of one batch, always before the next ReadNames.
    virtual bool SplitsListing() const { return false; }
    virtual ReadStatus ReadNames(std::vector<DirEntry>& batch) { return ReadBatch(batch); }
    virtual void FillStats(DirEntry* entries, std::size_t count) {
        (void)entries;
        (void)count;
    }
};

struct OpenResult {
    // Null on failure. Null with `error` kNone from OpenChild: the name no
    // longer leads to the folder that was listed (a link or another folder
    // was put in its place); it stays counted as listed and is not entered.
    std::unique_ptr<DirectoryHandle> handle;
    OpenError error = OpenError::kNone;
    // The system's own error number behind `error` (errno on POSIX, a Win32
    // error on Windows), for messages; 0 when there is none to tell.
    int system_error = 0;
    // The opened folder's own sizes and identity: always from OpenRoot; from
    // OpenChild where the backend has them at no cost (a folder reopened by
    // path is checked against them), file_id 0 otherwise.
    EntryStats self;
};

class DirectoryReader {
public:
    virtual ~DirectoryReader() = default;
    // Opens the starting folder. `path` is as the user gave it (a drive root
    // like L"C:\\" or a POSIX path); the backend decides how to open it. A
    // root that is a symbolic link is followed; nothing below it is.
    virtual OpenResult OpenRoot(const NativeString& path) = 0;
    // Opens folder `name`, listed by `parent`, without following links and
    // without leaving the starting file system. `listed_id` is the file id
    // the listing gave (0 when unknown): a backend that can tell checks that
    // what it opened is that folder.
    virtual OpenResult OpenChild(DirectoryHandle& parent, NativeStringView name,
                                 std::uint64_t listed_id) = 0;
    // The separator used to build full paths for progress and reports.
    virtual NativeChar Separator() const = 0;
};

// The backend of the platform being built. Implemented once per platform
// (components/engine/posix on POSIX, components/engine/win on Windows), so
// front ends can link whichever exists.
std::unique_ptr<DirectoryReader> CreatePlatformDirectoryReader();

}  // namespace orvane::engine
