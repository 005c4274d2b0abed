// The component's file-table phase for one drive: the table read on a
// thread of its own while the caller's messages keep flowing, then what the
// scan and the report take from it. A cancelled read is left to end on its
// own (it stops within one chunk) and is joined by the next drive or the
// destructor, so Cancel never waits for it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <thread>

#include "core/scanner.h"
#include "core/source_facts.h"
#include "ntfs/file_table_source.h"
#include "orvane/win32_handles.h"

namespace orvane::engine::com {

class DriveTable {
public:
    DriveTable();
    ~DriveTable();
    DriveTable(const DriveTable&) = delete;
    DriveTable& operator=(const DriveTable&) = delete;

    // Reads the table of `drive_root` ("C:\"), pumping messages meanwhile.
    // False when `cancel` was signalled (or WM_QUIT came) first.
    bool Read(const std::wstring& drive_root, HANDLE cancel);
    // Whether a Read is under way (for the status text), and how far it got.
    bool reading() const { return reading_.load(); }
    std::uint64_t records_read() const;

    // The scanner's sources over the table; empty when the drive is walked.
    const SourceMaker& walks() const { return walks_; }
    // How the drive was scanned, with the volume's own figures where its
    // table was read.
    const SourceFacts& facts() const { return facts_; }

private:
    void Join();

    std::unique_ptr<ntfs::FileTableSource> source_;
    SourceMaker walks_;
    SourceFacts facts_;
    unique_event done_;
    std::thread thread_;
    std::atomic<bool> reading_{false};
};

}  // namespace orvane::engine::com
