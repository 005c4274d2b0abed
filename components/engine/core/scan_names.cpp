// The words the scanner's results are told with, in one place: the plain
// words of messages and of the text summary. The report's own names for
// them are part of its format (report/report_names.h).
#include "core/scan_names.h"

namespace orvane::engine {

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
