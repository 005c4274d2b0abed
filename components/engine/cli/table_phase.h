// orvane-scan's choice between walking PATH and reading its file table
// (--method), and the reading itself with its progress line and stop.
#pragma once

#include <memory>
#include <string>

#include "core/directory_reader.h"
#include "core/scanner.h"
#include "core/source_facts.h"
#include "ntfs/file_table_source.h"

namespace orvane::engine::cli {

enum class MethodChoice { kAuto, kWalk, kFileTable };

struct ScanSource {
    std::unique_ptr<ntfs::FileTableSource> table;  // when the table was tried
    std::unique_ptr<DirectoryReader> reader;       // when PATH is walked
    SourceMaker walks;  // the scanner's sources; empty: PATH cannot be scanned as asked
    SourceFacts facts;
    std::string error;  // why not, when walks is empty (and no stop was requested)
};

// Reads PATH's table when `choice` and PATH allow, showing progress on the
// terminal when `show`; otherwise, or when the table cannot be had and a
// walk can stand in, the platform's walk.
ScanSource ChooseScanSource(const NativeString& path, MethodChoice choice, bool show);

}  // namespace orvane::engine::cli
