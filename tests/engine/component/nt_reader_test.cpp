// The Windows backend on real folders: what it lists, how it names and
// sizes entries, and how it fails.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/directory_reader.h"
#include "nt_directory_reader.h"
#include "test_support.h"

namespace {

using orvane::engine::DirectoryHandle;
using orvane::engine::DirectoryReader;
using orvane::engine::DirEntry;
using orvane::engine::EntryKind;
using orvane::engine::NativeString;
using orvane::engine::OpenError;
using orvane::engine::ReadStatus;

struct Listed {
    EntryKind kind;
    std::uint64_t apparent;
    std::uint64_t allocated;
    std::uint64_t file_id;
};

// Every entry below the root by relative path, read only through the
// reader: the root by path, everything else relative to its parent.
void Walk(DirectoryReader& reader, DirectoryHandle& folder, const std::wstring& prefix,
          std::map<std::wstring, Listed>& out, int& batches) {
    std::vector<DirEntry> batch;
    std::vector<std::pair<std::wstring, std::uint64_t>> children;
    for (;;) {
        const ReadStatus status = folder.ReadBatch(batch);
        if (status != ReadStatus::kEntries) {
            ASSERT_EQ(status, ReadStatus::kEnd)
                << "listing of " << std::string(prefix.begin(), prefix.end());
            ASSERT_TRUE(batch.empty());
            break;
        }
        ++batches;
        for (const DirEntry& entry : batch) {
            const std::wstring name(entry.name);
            out[prefix + name] = {entry.kind, entry.stats.apparent_bytes,
                                  entry.stats.allocated_bytes, entry.stats.file_id};
            if (entry.kind == EntryKind::kDirectory)
                children.emplace_back(name, entry.stats.file_id);
        }
    }
    for (const auto& [name, id] : children) {
        auto opened = reader.OpenChild(folder, name, id);
        ASSERT_TRUE(opened.handle) << "open " << static_cast<int>(opened.error);
        Walk(reader, *opened.handle, prefix + name + L"\\", out, batches);
    }
}

std::map<std::wstring, Listed> ListTree(const std::wstring& root, int* batches = nullptr) {
    auto reader = orvane::engine::win::CreateNtDirectoryReader();
    auto opened = reader->OpenRoot(root);
    std::map<std::wstring, Listed> listed;
    EXPECT_TRUE(opened.handle);
    int count = 0;
    if (opened.handle) Walk(*reader, *opened.handle, L"", listed, count);
    if (batches) *batches = count;
    return listed;
}

TEST(NtDirectoryReader, ListsLongPathsAndNamesOutsideAnyCodePageExactly) {
    engine_test::TempTree tree(L"names");
    // Twelve levels of 28 characters: the deepest file lies beyond 350
    // characters, where paths without the "\\?\" form fail.
    std::wstring deep;
    for (int level = 0; level < 12; ++level) {
        deep += (level ? L"\\" : L"") + std::wstring(L"level-") + std::to_wstring(level) +
                std::wstring(20, L'x');
    }
    const std::wstring deep_file = deep + L"\\deepest file.bin";
    ASSERT_GT(tree.root().size() + 1 + deep_file.size(), 300u);
    tree.AddFile(deep_file, 5000);
    // Latin with diacritics, Greek, CJK, and a character outside the BMP
    // (a surrogate pair in UTF-16).
    const std::wstring names[] = {L"\u00c4lbum \u00fcn\u00efcode", L"\u03a6\u03c9\u03c4\u03bf",
                                  L"\u5199\u771f", L"smile \U0001F600"};
    for (const std::wstring& name : names) tree.AddFile(name + L"\\" + name + L".txt", 10);
    tree.AddFolder(L"empty");

    const auto listed = ListTree(tree.root());

    std::set<std::wstring> expected{L"empty"};
    std::wstring path;
    for (std::size_t start = 0; start <= deep.size();) {
        const std::size_t end = std::min(deep.find(L'\\', start), deep.size());
        path = deep.substr(0, end);
        expected.insert(path);
        start = end + 1;
    }
    expected.insert(deep_file);
    for (const std::wstring& name : names) {
        expected.insert(name);
        expected.insert(name + L"\\" + name + L".txt");
    }
    std::set<std::wstring> got;
    for (const auto& [name, entry] : listed) got.insert(name);
    EXPECT_EQ(got, expected);

    const auto deepest = listed.find(deep_file);
    ASSERT_NE(deepest, listed.end());
    EXPECT_EQ(deepest->second.kind, EntryKind::kFile);
    EXPECT_EQ(deepest->second.apparent, 5000u);
    // Allocation comes in whole clusters or blocks, never less than the data.
    EXPECT_GE(deepest->second.allocated, 5000u);
    EXPECT_EQ(listed.at(L"empty").kind, EntryKind::kDirectory);
}

TEST(NtDirectoryReader, ReadsABigFolderInSeveralBatchesWithDistinctIds) {
    std::wstring folder = engine_test::PreparedBigTree();
    std::size_t files = 20000;
    std::unique_ptr<engine_test::TempTree> tree;
    if (folder.empty()) {
        // Long names fill the 64 KB batches sooner.
        tree = std::make_unique<engine_test::TempTree>(L"batches");
        files = 800;
        for (std::size_t i = 0; i < files; ++i) {
            tree->AddFile(std::wstring(150, L'n') + std::to_wstring(i), i % 3);
        }
        folder = tree->root();
    } else {
        folder += L"\\crowd";
    }
    int batches = 0;
    const auto listed = ListTree(folder, &batches);
    ASSERT_EQ(listed.size(), files);
    // The scanner looks for a cancel between batches: a folder this size must
    // not come back in one piece.
    EXPECT_GT(batches, 1);
    std::set<std::uint64_t> ids;
    for (const auto& [name, entry] : listed) {
        EXPECT_EQ(entry.kind, EntryKind::kFile);
        if (entry.file_id != 0) ids.insert(entry.file_id);
    }
    // Ids are what hard links are counted once by; without hard links each
    // file has its own.
    EXPECT_EQ(ids.size(), files);
}

TEST(NtDirectoryReader, ReportsWhyAFolderCannotBeOpened) {
    engine_test::TempTree tree(L"errors");
    tree.AddFile(L"plain.txt", 1);
    tree.AddFolder(L"sub");
    auto reader = orvane::engine::win::CreateNtDirectoryReader();

    EXPECT_EQ(reader->OpenRoot(tree.root() + L"\\missing").error, OpenError::kNotFound);
    EXPECT_EQ(reader->OpenRoot(tree.root() + L"\\plain.txt").error, OpenError::kNotDirectory);
    auto root = reader->OpenRoot(tree.root());
    ASSERT_TRUE(root.handle);
    auto missing = reader->OpenChild(*root.handle, L"missing", 0);
    EXPECT_FALSE(missing.handle);
    EXPECT_EQ(missing.error, OpenError::kNotFound);
    auto file = reader->OpenChild(*root.handle, L"plain.txt", 0);
    EXPECT_FALSE(file.handle);
    EXPECT_EQ(file.error, OpenError::kNotDirectory);
    // Children open from the same parent one after another, as the scanner
    // does; the parent stays readable.
    EXPECT_TRUE(reader->OpenChild(*root.handle, L"sub", 0).handle);
    EXPECT_TRUE(reader->OpenChild(*root.handle, L"sub", 0).handle);
    std::vector<DirEntry> batch;
    EXPECT_EQ(root.handle->ReadBatch(batch), ReadStatus::kEntries);
    EXPECT_EQ(batch.size(), 2u);
    // A shortage of handles is waited out or reported by the scanner, never
    // taken for an unreadable folder.
    using orvane::engine::win::OpenErrorFromStatus;
    using orvane::engine::win::OpenErrorFromWin32;
    EXPECT_EQ(OpenErrorFromWin32(ERROR_TOO_MANY_OPEN_FILES), OpenError::kNoDescriptors);
    EXPECT_EQ(OpenErrorFromWin32(ERROR_NO_SYSTEM_RESOURCES), OpenError::kNoDescriptors);
    EXPECT_EQ(OpenErrorFromStatus(static_cast<LONG>(0xC000011F)), OpenError::kNoDescriptors);
    EXPECT_EQ(OpenErrorFromStatus(static_cast<LONG>(0xC000009A)), OpenError::kNoDescriptors);
}

TEST(NtDirectoryReader, LinksAreNeverFollowedButDataReparsePointsAre) {
    using orvane::engine::win::KindOf;
    constexpr DWORD kDir = FILE_ATTRIBUTE_DIRECTORY;
    constexpr DWORD kReparse = FILE_ATTRIBUTE_REPARSE_POINT;
    EXPECT_EQ(KindOf(kDir | kReparse, IO_REPARSE_TAG_MOUNT_POINT), EntryKind::kLink);  // junction
    EXPECT_EQ(KindOf(kDir | kReparse, IO_REPARSE_TAG_SYMLINK), EntryKind::kLink);
    EXPECT_EQ(KindOf(kReparse, IO_REPARSE_TAG_SYMLINK), EntryKind::kLink);
    // Wine shows a Linux symbolic link to a folder with tag 0.
    EXPECT_EQ(KindOf(kDir | kReparse, 0), EntryKind::kLink);
    // Cloud placeholders and deduplicated files hold the user's data.
    EXPECT_EQ(KindOf(kDir | kReparse, 0x9000001A), EntryKind::kDirectory);
    EXPECT_EQ(KindOf(kReparse, IO_REPARSE_TAG_DEDUP), EntryKind::kFile);
    EXPECT_EQ(KindOf(kDir, 0), EntryKind::kDirectory);
    EXPECT_EQ(KindOf(FILE_ATTRIBUTE_ARCHIVE, 0), EntryKind::kFile);
}

// The entries of `folder` by name, as its listing gave them.
std::map<std::wstring, DirEntry> ListByName(DirectoryHandle& folder) {
    std::map<std::wstring, DirEntry> listed;
    std::vector<DirEntry> batch;
    while (folder.ReadBatch(batch) == ReadStatus::kEntries) {
        for (const DirEntry& entry : batch) listed[std::wstring(entry.name)] = entry;
    }
    return listed;
}

bool WaitForFile(const std::wstring& path) {
    for (int i = 0; i < 1000; ++i) {
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        ::Sleep(10);
    }
    return false;
}

// A folder replaced between its listing and its opening is not entered but
// stays counted as listed: first by another folder moved into its place,
// then by a Linux link to the top of the tree, which Wine follows when it
// opens the name (the Linux side makes that swap when told the listing is
// done: ORVANE_ENGINE_SWAP_TREE).
TEST(NtDirectoryReader, AFolderReplacedAfterItsListingIsNotEntered) {
    engine_test::TempTree tree(L"replaced");
    tree.AddFile(L"sub\\mine.txt", 1);
    tree.AddFile(L"impostor\\other.txt", 1);
    auto reader = orvane::engine::win::CreateNtDirectoryReader();
    auto root = reader->OpenRoot(tree.root());
    ASSERT_TRUE(root.handle);
    const std::uint64_t sub_id = ListByName(*root.handle).at(L"sub").stats.file_id;
    ASSERT_NE(sub_id, 0u) << "this test needs file ids";
    ASSERT_TRUE(::MoveFileW((tree.root() + L"\\sub").c_str(), (tree.root() + L"\\moved").c_str()));
    ASSERT_TRUE(
        ::MoveFileW((tree.root() + L"\\impostor").c_str(), (tree.root() + L"\\sub").c_str()));
    const auto replaced = reader->OpenChild(*root.handle, L"sub", sub_id);
    EXPECT_FALSE(replaced.handle) << "another folder in its place was entered";
    EXPECT_EQ(replaced.error, OpenError::kNone) << "counted as listed, not as unreadable";
    EXPECT_TRUE(reader->OpenChild(*root.handle, L"moved", sub_id).handle)
        << "the listed folder under a new name is still the one listed";

    const std::wstring swap = engine_test::PreparedTree(L"ORVANE_ENGINE_SWAP_TREE");
    if (swap.empty()) GTEST_SKIP() << "ORVANE_ENGINE_SWAP_TREE is not prepared (ctest does it)";
    auto top = reader->OpenRoot(swap);
    ASSERT_TRUE(top.handle);
    const DirEntry listed = ListByName(*top.handle).at(L"sub");
    ASSERT_EQ(listed.kind, EntryKind::kDirectory);
    const std::uint64_t listed_id = listed.stats.file_id;
    {
        const orvane::unique_file marker(::CreateFileW((swap + L"\\listed").c_str(), GENERIC_WRITE,
                                                       0, nullptr, CREATE_NEW,
                                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(marker);
    }
    ASSERT_TRUE(WaitForFile(swap + L"\\swapped")) << "the Linux side did not swap the folder";
    const auto linked = reader->OpenChild(*top.handle, L"sub", listed_id);
    EXPECT_FALSE(linked.handle) << "the link in the folder's place was followed";
    EXPECT_EQ(linked.error, OpenError::kNone);
}

// /usr/bin/X11 is a link to its own folder on Debian: followed, it is a
// loop. Seen through Wine's Z: drive where that link exists.
TEST(NtDirectoryReader, ALinuxLinkToAFolderIsALinkThroughWine) {
    auto reader = orvane::engine::win::CreateNtDirectoryReader();
    auto bin = reader->OpenRoot(L"Z:\\usr\\bin");
    if (!bin.handle || ::GetFileAttributesW(L"Z:\\usr\\bin\\X11") == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no Z:\\usr\\bin\\X11 here";
    }
    std::vector<DirEntry> batch;
    bool seen = false;
    while (bin.handle->ReadBatch(batch) == ReadStatus::kEntries) {
        for (const DirEntry& entry : batch) {
            if (entry.name == L"X11") {
                seen = true;
                EXPECT_EQ(entry.kind, EntryKind::kLink);
            }
        }
    }
    EXPECT_TRUE(seen);
}

}  // namespace
