// The words the scanner's results are reported with, in one place: the
// stable names the JSON report uses and the plain words messages and the
// text summary use.
#include "core/scan_names.h"

namespace orvane::engine {

const char* StatusName(ScanStatus status) {
    switch (status) {
        case ScanStatus::kCompleted:
            return "completed";
        case ScanStatus::kCancelled:
            return "cancelled";
        case ScanStatus::kRootUnreadable:
            return "root_unreadable";
        case ScanStatus::kOutOfMemory:
            return "out_of_memory";
        case ScanStatus::kNoWorkerThread:
            return "no_worker_thread";
        case ScanStatus::kOutOfFileDescriptors:
            return "out_of_file_descriptors";
    }
    return "completed";
}

const char* OpenErrorName(OpenError error) {
    switch (error) {
        case OpenError::kNone:
            return "none";
        case OpenError::kAccessDenied:
            return "access_denied";
        case OpenError::kNotFound:
            return "not_found";
        case OpenError::kNotDirectory:
            return "not_directory";
        case OpenError::kOther:
            return "other";
        case OpenError::kNoDescriptors:
            return "too_many_open_files";
    }
    return "other";
}

const char* OpenErrorWords(OpenError error) {
    switch (error) {
        case OpenError::kNone:
            return "no error";
        case OpenError::kAccessDenied:
            return "permission denied";
        case OpenError::kNotFound:
            return "not found";
        case OpenError::kNotDirectory:
            return "not a folder";
        case OpenError::kOther:
            return "cannot be opened";
        case OpenError::kNoDescriptors:
            return "too many open files";
    }
    return "cannot be opened";
}

const char* StatusWords(ScanStatus status) {
    switch (status) {
        case ScanStatus::kCompleted:
            return "";
        case ScanStatus::kCancelled:
            return "cancelled";
        case ScanStatus::kRootUnreadable:
            return "cannot be read";
        case ScanStatus::kOutOfMemory:
            return "stopped early: out of memory";
        case ScanStatus::kNoWorkerThread:
            return "not scanned: no worker thread could be started";
        case ScanStatus::kOutOfFileDescriptors:
            return "stopped early: out of file descriptors";
    }
    return "";
}

}  // namespace orvane::engine
