// A folder of the walk whose subtree is not finished yet, and the paths built
// from the chain of such folders.
//
// Ownership: a folder is owned by the worker that lists it and by each of its
// subfolders still in the walk, through their parent link; the top lists may
// keep a finished folder (and with it its ancestors) to build its path once,
// at the end. So at any time only the folders on the walk's frontier, their
// ancestors and a bounded number of top-list candidates exist.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/directory_reader.h"
#include "core/native_string.h"

namespace orvane::engine {

struct FolderNode {
    FolderNode() = default;
    ~FolderNode();
    FolderNode(const FolderNode&) = delete;
    FolderNode& operator=(const FolderNode&) = delete;

    std::shared_ptr<FolderNode> parent;  // null for the starting folder
    NativeString name;                   // the starting folder holds the root path as given
    // The parent's open folder, held until this folder has been opened from it.
    std::shared_ptr<DirectoryHandle> parent_handle;
    // 1 for this folder's own listing plus 1 per subfolder not yet done.
    std::atomic<std::uint32_t> pending{1};
    // The subtree so far; subfolders add theirs when they are done.
    std::atomic<std::uint64_t> allocated{0};
    std::atomic<std::uint64_t> apparent{0};
    std::atomic<std::uint64_t> files{0};
    std::atomic<std::uint64_t> folders{1};
};

using FolderRef = std::shared_ptr<FolderNode>;

// Appends `name` to `path` with one separator between them.
void AppendName(NativeString& path, NativeStringView name, NativeChar separator);

// The folder's full path, from the starting folder's name down; linear in the
// path's length whatever the depth.
void BuildFullPath(const FolderNode& node, NativeChar separator, NativeString& path);

}  // namespace orvane::engine
