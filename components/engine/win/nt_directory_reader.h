// The scanner's Windows backend: folders listed with NtQueryDirectoryFile in
// large batches, each opened relative to its parent's handle, so that no
// path is ever limited in length and no file is ever opened on its own.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/directory_reader.h"

namespace orvane::engine::win {

// What an entry is for the walk, from its attributes and reparse tag.
// Junctions, symbolic links and mount points are links, never followed; so
// is a folder with a reparse point of tag 0 (a Linux symbolic link seen
// through Wine). Other reparse points (cloud placeholders, deduplicated or
// compressed files) hold real data: files stay files, folders are entered.
EntryKind KindOf(DWORD attributes, DWORD reparse_tag);

// "C:", "C:\" or "C:\x" -> "\\?\C:\" / "\\?\C:\x"; "\\server\share" ->
// "\\?\UNC\server\share"; a path that already has the prefix is kept.
std::wstring ToExtendedPath(const std::wstring& path);

// OpenError for a Win32 error (root) or a native status (children).
OpenError OpenErrorFromWin32(DWORD error);
OpenError OpenErrorFromStatus(LONG status);

std::unique_ptr<DirectoryReader> CreateNtDirectoryReader();

}  // namespace orvane::engine::win
