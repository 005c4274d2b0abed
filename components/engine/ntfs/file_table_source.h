// What a front end needs to scan a volume through its file table instead of
// walking its folders: reading the table (cancellable, with progress), then
// the scanner's source over it (ntfs/table_walk.h), and the figures the report's
// method note and ledger take from it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/scanner.h"
#include "core/source_facts.h"
#include "ntfs/table_reader.h"

namespace orvane::engine::ntfs {

// Whether `path` names something whose file table could be read: a drive
// ("C:", "C:\") on Windows, a regular file or a block device on POSIX.
bool IsVolumePath(const NativeString& path);

class FileTableSource {
public:
    // Opens `path` and reads its table; blocks until done. False (with
    // problem() saying why, or cancelled()) when there is no table.
    bool Read(const NativeString& path);
    // Ends a Read in progress soon after; callable from any thread.
    void Cancel() { cancel_.store(true); }
    bool cancelled() const { return cancel_.load(); }
    const std::string& problem() const { return problem_; }
    const TableProgress& progress() const { return progress_; }

    // Walks of the table Read produced, for a Scanner; valid while this
    // object lives. Empty when there is no table.
    SourceMaker Walks() const;
    // How the scan is made (or why the table could not be read), and the
    // volume's own figures where its cluster bitmap could be read.
    SourceFacts Facts() const;

private:
    ScanMethodNote Method() const;
    std::optional<TableVolumeFigures> Figures() const;

    std::atomic<bool> cancel_{false};
    TableProgress progress_;
    std::unique_ptr<FileTable> table_;
    std::string problem_;
};

}  // namespace orvane::engine::ntfs
