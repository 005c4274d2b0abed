// The POSIX directory-reading backend: openat + getdents64 + fstatat, never
// following a link and never leaving the starting file system.
#pragma once

#include <memory>

#include "core/directory_reader.h"

namespace orvane::engine {

std::unique_ptr<DirectoryReader> CreatePosixDirectoryReader();

}  // namespace orvane::engine
