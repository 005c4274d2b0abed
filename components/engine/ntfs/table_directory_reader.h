// The file table seen as folders to list: the one place where the reader
// meets the scanner. The scanner walks it as it walks a disk, through the
// same tally, so a report made from the file table has exactly the walk's
// counting rules (hard-linked data once by its file id and link count, the
// top lists, the types, the kept tree).
#pragma once

#include <memory>

#include "core/directory_reader.h"
#include "ntfs/file_table.h"

namespace orvane::engine::ntfs {

// Lists `table`, which must outlive the reader. OpenRoot accepts any path
// (the caller names the volume as it likes) and opens the root folder.
std::unique_ptr<DirectoryReader> CreateTableDirectoryReader(const FileTable& table);

}  // namespace orvane::engine::ntfs
