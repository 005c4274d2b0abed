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
    }
    return "";
}

}  // namespace orvane::engine
