#include "nt_directory_reader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "nt_api.h"
#include "orvane/win32_handles.h"

namespace orvane::engine::win {

namespace nt {

static_assert(offsetof(FileIdFullDirInformation, end_of_file) == 40);
static_assert(offsetof(FileIdFullDirInformation, allocation_size) == 48);
static_assert(offsetof(FileIdFullDirInformation, ea_size) == 64);
static_assert(offsetof(FileIdFullDirInformation, file_id) == 72);
static_assert(offsetof(FileIdFullDirInformation, file_name) == 80);

template <class Fn>
Fn Bind(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)))
                  : nullptr;
}

const Api& GetApi() {
    static const Api api = [] {
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        Api loaded;
        loaded.query_directory_file = Bind<NtQueryDirectoryFileFn>(ntdll, "NtQueryDirectoryFile");
        loaded.open_file = Bind<NtOpenFileFn>(ntdll, "NtOpenFile");
        return loaded;
    }();
    return api;
}

}  // namespace nt

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
constexpr DWORD kNameSurrogateBit = 0x20000000;
constexpr ACCESS_MASK kListAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// FILE_ATTRIBUTE_OFFLINE, RECALL_ON_OPEN and RECALL_ON_DATA_ACCESS: spelled
// out because older SDK headers lack the last two.
constexpr DWORD kOnlineOnlyAttributes = 0x00001000 | 0x00040000 | 0x00400000;

// 64-bit units: the listing's entries need 8-byte alignment.
using ListingMemory = std::unique_ptr<std::uint64_t[]>;

// Listing buffers are large, and a walk may hold thousands of folders open
// at once (a deep chain), so a folder borrows a buffer only while it is being
// read, from the spares of the reader that opened it: as many are made as
// folders are read at once. Not a spare per thread: with MinGW a
// thread_local's destructor runs after the thread's TLS storage has been
// freed, and frees what it reads there.
class BufferPool {
public:
    ListingMemory Take() {
        {
            std::lock_guard lock(mutex_);
            if (!spares_.empty()) {
                ListingMemory buffer = std::move(spares_.back());
                spares_.pop_back();
                return buffer;
            }
        }
        return ListingMemory(new std::uint64_t[kBufferBytes / sizeof(std::uint64_t)]);
    }

    void Give(ListingMemory buffer) noexcept {
        std::lock_guard lock(mutex_);
        try {
            spares_.push_back(std::move(buffer));
        } catch (const std::bad_alloc&) {
            // Without room for it in the list the buffer is simply freed.
        }
    }

private:
    std::mutex mutex_;
    std::vector<ListingMemory> spares_;
};

class ListingBuffer {
public:
    explicit ListingBuffer(std::shared_ptr<BufferPool> pool) : pool_(std::move(pool)) {}
    ListingBuffer(const ListingBuffer&) = delete;
    ListingBuffer& operator=(const ListingBuffer&) = delete;
    ~ListingBuffer() { Release(); }

    std::uint64_t* Acquire() {
        if (!data_) data_ = pool_->Take();
        return data_.get();
    }
    void Release() noexcept {
        if (data_) pool_->Give(std::move(data_));
    }

private:
    std::shared_ptr<BufferPool> pool_;  // the handle may outlive its reader
    ListingMemory data_;
};

std::uint64_t FileIdOf(const LARGE_INTEGER& id) {
    // Some file systems answer 0 or -1 for "no id": both mean unknown.
    const auto value = static_cast<std::uint64_t>(id.QuadPart);
    return value == ~std::uint64_t{0} ? 0 : value;
}

DirEntry ToDirEntry(const nt::FileIdFullDirInformation& info, bool ids_unique) {
    DirEntry entry;
    entry.name = NativeStringView(info.file_name, info.file_name_length / sizeof(WCHAR));
    const DWORD tag = (info.file_attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? info.ea_size : 0;
    entry.kind = KindOf(info.file_attributes, tag);
    entry.online_only = (info.file_attributes & kOnlineOnlyAttributes) != 0;
    entry.stats.allocated_bytes = static_cast<std::uint64_t>(info.allocation_size.QuadPart);
    entry.stats.apparent_bytes = static_cast<std::uint64_t>(info.end_of_file.QuadPart);
    entry.stats.file_id = ids_unique ? FileIdOf(info.file_id) : 0;
    entry.stats.link_count = 0;  // listings do not tell
    return entry;
}

bool IsDotOrDotDot(NativeStringView name) { return name == L"." || name == L".."; }

class NtDirectoryHandle final : public DirectoryHandle {
public:
    NtDirectoryHandle(HANDLE handle, bool ids_unique, std::shared_ptr<BufferPool> buffers)
        : handle_(handle), ids_unique_(ids_unique), buffer_(std::move(buffers)) {}

    HANDLE get() const { return handle_.get(); }
    bool ids_unique() const { return ids_unique_; }

    ReadStatus ReadBatch(std::vector<DirEntry>& batch) override {
        batch.clear();
        if (ended_) return ReadStatus::kEnd;
        // A batch of only "." and ".." is followed by the next one at once.
        while (batch.empty()) {
            const ReadStatus status = ReadOnce(batch);
            if (status != ReadStatus::kEntries) {
                ended_ = true;
                buffer_.Release();
                return status;
            }
        }
        return ReadStatus::kEntries;
    }

private:
    ReadStatus ReadOnce(std::vector<DirEntry>& batch) {
        std::uint64_t* data = buffer_.Acquire();
        nt::IoStatusBlock io{};
        const nt::Status status = nt::GetApi().query_directory_file(
            handle_.get(), nullptr, nullptr, nullptr, &io, data, static_cast<ULONG>(kBufferBytes),
            nt::kFileIdFullDirectoryInformation, FALSE, nullptr, first_ ? TRUE : FALSE);
        first_ = false;
        if (status == nt::kStatusNoMoreFiles || status == nt::kStatusNoSuchFile) {
            return ReadStatus::kEnd;
        }
        // An overflow would mean one name larger than the whole buffer.
        if (!nt::Succeeded(status) || status == nt::kStatusBufferOverflow) {
            return ReadStatus::kFailed;
        }
        const std::size_t bytes = static_cast<std::size_t>(io.information);
        if (bytes == 0) return ReadStatus::kEnd;
        const auto* base = reinterpret_cast<const std::byte*>(data);
        for (std::size_t offset = 0; offset < bytes;) {
            const auto& info =
                *reinterpret_cast<const nt::FileIdFullDirInformation*>(base + offset);
            DirEntry entry = ToDirEntry(info, ids_unique_);
            if (!IsDotOrDotDot(entry.name)) batch.push_back(entry);
            if (info.next_entry_offset == 0) break;
            offset += info.next_entry_offset;
        }
        return ReadStatus::kEntries;
    }

    unique_handle handle_;
    const bool ids_unique_;
    ListingBuffer buffer_;
    bool first_ = true;
    bool ended_ = false;
};

EntryStats RootStats(HANDLE handle) {
    EntryStats stats;
    FILE_STANDARD_INFO standard{};
    if (::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof(standard))) {
        stats.allocated_bytes = static_cast<std::uint64_t>(standard.AllocationSize.QuadPart);
        stats.apparent_bytes = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle, &info)) {
        stats.file_id =
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    return stats;
}

// The folder opened is the one that was listed: not a link put in its place
// since (Windows opens the link itself here, Wine follows a Linux link to
// what it names) and, where ids are known, the same file.
bool IsListedFolder(HANDLE handle, std::uint64_t listed_id) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return true;  // nothing to tell by
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        FILE_ATTRIBUTE_TAG_INFO tag{};
        const DWORD reparse_tag =
            ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag))
                ? tag.ReparseTag
                : 0;
        if (KindOf(info.dwFileAttributes, reparse_tag) == EntryKind::kLink) return false;
    }
    const std::uint64_t id =
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return listed_id == 0 || id == listed_id;
}

// Hard links are counted once by file id, which is sound only where ids are
// unique across the volume and stable: NTFS (Wine reports its drives as
// NTFS too). ReFS's 64-bit ids need not be unique, and FAT has no real ids;
// there every name is counted, as it has no hard links (FAT) or few.
bool HasVolumeWideFileIds(HANDLE root) {
    wchar_t file_system[MAX_PATH + 1] = L"";
    if (!::GetVolumeInformationByHandleW(root, nullptr, 0, nullptr, nullptr, nullptr, file_system,
                                         MAX_PATH + 1)) {
        return false;
    }
    return ::CompareStringOrdinal(file_system, -1, L"NTFS", -1, TRUE) == CSTR_EQUAL;
}

class NtDirectoryReader final : public DirectoryReader {
public:
    OpenResult OpenRoot(const NativeString& path) override {
        OpenResult result;
        if (!nt::GetApi().query_directory_file || !nt::GetApi().open_file) {
            result.error = OpenError::kOther;
            return result;
        }
        // The root is followed if it is a link: the user named it.
        unique_file handle(::CreateFileW(ToExtendedPath(path).c_str(), kListAccess, kShareAll,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                         nullptr));
        if (!handle) {
            result.system_error = static_cast<int>(::GetLastError());
            result.error = OpenErrorFromWin32(static_cast<DWORD>(result.system_error));
            return result;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileInformationByHandle(handle.get(), &info) &&
            !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            result.error = OpenError::kNotDirectory;
            result.system_error = ERROR_DIRECTORY;
            return result;
        }
        result.self = RootStats(handle.get());
        const bool ids_unique = HasVolumeWideFileIds(handle.get());
        if (!ids_unique) result.self.file_id = 0;
        // Made before the handle is let go, so that running out of memory closes it.
        result.handle = std::make_unique<NtDirectoryHandle>(handle.get(), ids_unique, buffers_);
        (void)handle.release();
        return result;
    }

    OpenResult OpenChild(DirectoryHandle& parent, NativeStringView name,
                         std::uint64_t listed_id) override {
        OpenResult result;
        if (name.size() * sizeof(wchar_t) > 0xFFFE) {
            result.error = OpenError::kOther;
            return result;
        }
        nt::UnicodeString object_name{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                                      static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                                      name.data()};
        // No OBJ_CASE_INSENSITIVE: the name is exactly as the listing gave it,
        // and a case-sensitive folder may hold names differing only in case.
        auto& nt_parent = static_cast<NtDirectoryHandle&>(parent);
        nt::ObjectAttributes attributes{
            sizeof(nt::ObjectAttributes), nt_parent.get(), &object_name, 0, nullptr, nullptr};
        nt::IoStatusBlock io{};
        HANDLE opened = nullptr;
        const nt::Status status =
            nt::GetApi().open_file(&opened, kListAccess, &attributes, &io, kShareAll,
                                   nt::kOpenDirectoryFile | nt::kOpenSynchronousIoNonAlert |
                                       nt::kOpenForBackupIntent | nt::kOpenReparsePoint);
        if (!nt::Succeeded(status) || !opened) {
            result.error = OpenErrorFromStatus(status);
            return result;
        }
        unique_handle handle(opened);
        // Links and mount points are never entered: a child is on its
        // parent's volume. One put in the folder's place since it was
        // listed is not entered either; the folder stays counted as listed.
        if (!IsListedFolder(handle.get(), listed_id)) return result;
        result.handle =
            std::make_unique<NtDirectoryHandle>(handle.get(), nt_parent.ids_unique(), buffers_);
        (void)handle.release();
        return result;
    }

    NativeChar Separator() const override { return L'\\'; }

private:
    const std::shared_ptr<BufferPool> buffers_ = std::make_shared<BufferPool>();
};

}  // namespace

EntryKind KindOf(DWORD attributes, DWORD reparse_tag) {
    const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        const bool link = reparse_tag == 0 || (reparse_tag & kNameSurrogateBit) != 0;
        if (link) return EntryKind::kLink;
    }
    if (directory) return EntryKind::kDirectory;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::kOther;
    return EntryKind::kFile;
}

std::wstring ToExtendedPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
    // "C:" alone means the current folder of drive C to GetFullPathName; a
    // drive given this way means its root.
    std::wstring absolute = path;
    if (absolute.size() == 2 && absolute[1] == L':') absolute += L'\\';
    const DWORD needed = ::GetFullPathNameW(absolute.c_str(), 0, nullptr, nullptr);
    if (needed != 0) {
        std::wstring full(needed, L'\0');
        const DWORD length = ::GetFullPathNameW(absolute.c_str(), needed, full.data(), nullptr);
        if (length != 0 && length < needed) {
            full.resize(length);
            absolute = std::move(full);
        }
    }
    if (absolute.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + absolute.substr(2);
    return L"\\\\?\\" + absolute;
}

OpenError OpenErrorFromWin32(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return OpenError::kAccessDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_NOT_READY:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return OpenError::kNotFound;
        case ERROR_DIRECTORY:
            return OpenError::kNotDirectory;
        // A shortage the scanner waits out or reports, never an unreadable folder.
        case ERROR_TOO_MANY_OPEN_FILES:
        case ERROR_NO_SYSTEM_RESOURCES:
        case ERROR_NOT_ENOUGH_QUOTA:
            return OpenError::kNoDescriptors;
        default:
            return OpenError::kOther;
    }
}

OpenError OpenErrorFromStatus(LONG status) {
    switch (status) {
        case nt::kStatusAccessDenied:
            return OpenError::kAccessDenied;
        case nt::kStatusObjectNameNotFound:
        case nt::kStatusObjectPathNotFound:
        case nt::kStatusNoSuchFile:
            return OpenError::kNotFound;
        case nt::kStatusNotADirectory:
            return OpenError::kNotDirectory;
        case nt::kStatusTooManyOpenedFiles:
        case nt::kStatusInsufficientResources:
        case nt::kStatusQuotaExceeded:
            return OpenError::kNoDescriptors;
        default:
            return OpenError::kOther;
    }
}

std::unique_ptr<DirectoryReader> CreateNtDirectoryReader() {
    return std::make_unique<NtDirectoryReader>();
}

}  // namespace orvane::engine::win

namespace orvane::engine {

std::unique_ptr<DirectoryReader> CreatePlatformDirectoryReader() {
    return win::CreateNtDirectoryReader();
}

}  // namespace orvane::engine
