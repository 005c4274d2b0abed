#include "report/report_names.h"

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

}  // namespace orvane::engine
