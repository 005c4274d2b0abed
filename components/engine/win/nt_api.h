// The few native-API declarations the directory reader needs. The SDKs
// declare them only partly, and differently from one another, so they are
// spelled out here under names of our own and bound at run time from ntdll.
#pragma once

#include <windows.h>

namespace orvane::engine::win::nt {

using Status = LONG;

inline constexpr Status kStatusSuccess = 0;
inline constexpr Status kStatusBufferOverflow = static_cast<Status>(0x80000005);
inline constexpr Status kStatusNoMoreFiles = static_cast<Status>(0x80000006);
inline constexpr Status kStatusNoSuchFile = static_cast<Status>(0xC000000F);
inline constexpr Status kStatusAccessDenied = static_cast<Status>(0xC0000022);
inline constexpr Status kStatusObjectNameInvalid = static_cast<Status>(0xC0000033);
inline constexpr Status kStatusObjectNameNotFound = static_cast<Status>(0xC0000034);
inline constexpr Status kStatusObjectPathNotFound = static_cast<Status>(0xC000003A);
inline constexpr Status kStatusNotADirectory = static_cast<Status>(0xC0000103);
inline constexpr Status kStatusQuotaExceeded = static_cast<Status>(0xC0000044);
inline constexpr Status kStatusInsufficientResources = static_cast<Status>(0xC000009A);
inline constexpr Status kStatusTooManyOpenedFiles = static_cast<Status>(0xC000011F);

inline bool Succeeded(Status status) { return status >= 0; }

struct IoStatusBlock {
    union {
        Status status;
        void* pointer;
    };
    ULONG_PTR information;
};

struct UnicodeString {
    USHORT length;          // in bytes, without a terminator
    USHORT maximum_length;  // in bytes
    const wchar_t* buffer;
};

struct ObjectAttributes {
    ULONG length;
    HANDLE root_directory;
    UnicodeString* object_name;
    ULONG attributes;
    void* security_descriptor;
    void* security_quality_of_service;
};

// NtOpenFile options.
inline constexpr ULONG kOpenDirectoryFile = 0x00000001;
inline constexpr ULONG kOpenSynchronousIoNonAlert = 0x00000020;
inline constexpr ULONG kOpenForBackupIntent = 0x00004000;
inline constexpr ULONG kOpenReparsePoint = 0x00200000;

// FileIdFullDirectoryInformation: allocation size, end of file and the
// file's id, without the short name the "both" class carries.
inline constexpr int kFileIdFullDirectoryInformation = 38;

struct FileIdFullDirInformation {
    ULONG next_entry_offset;
    ULONG file_index;
    LARGE_INTEGER creation_time;
    LARGE_INTEGER last_access_time;
    LARGE_INTEGER last_write_time;
    LARGE_INTEGER change_time;
    LARGE_INTEGER end_of_file;
    LARGE_INTEGER allocation_size;
    ULONG file_attributes;
    ULONG file_name_length;  // in bytes
    ULONG ea_size;           // the reparse tag when the entry is a reparse point
    LARGE_INTEGER file_id;
    WCHAR file_name[1];
};

using IoApcRoutine = void(NTAPI*)(void*, IoStatusBlock*, ULONG);

using NtQueryDirectoryFileFn = Status(NTAPI*)(HANDLE file, HANDLE event, IoApcRoutine apc,
                                              void* apc_context, IoStatusBlock* io_status,
                                              void* information, ULONG length,
                                              int information_class, BOOLEAN single_entry,
                                              UnicodeString* file_name, BOOLEAN restart_scan);
using NtOpenFileFn = Status(NTAPI*)(HANDLE* file, ACCESS_MASK access, ObjectAttributes* attributes,
                                    IoStatusBlock* io_status, ULONG share_access,
                                    ULONG open_options);

// The entry points, resolved once; null only on a system without them.
struct Api {
    NtQueryDirectoryFileFn query_directory_file = nullptr;
    NtOpenFileFn open_file = nullptr;
};
const Api& GetApi();

}  // namespace orvane::engine::win::nt
