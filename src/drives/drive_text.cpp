#include "drives/drive_text.h"

#include <windows.h>

namespace orvane {

std::wstring RemoveBackslashes(std::wstring_view text) {
    std::wstring result;
    result.reserve(text.size());
    for (wchar_t c : text)
        if (c != L'\\') result += c;
    return result;
}

std::optional<std::string> DriveStringWalk::Next() {
    if (ended_ || position_ >= buffer_.size()) return std::nullopt;
    std::string entry;
    size_t nul = position_;
    while (nul < buffer_.size() && buffer_[nul] != '\0') ++nul;
    entry.assign(buffer_.data() + position_, nul - position_);
    if (nul >= buffer_.size()) {
        ended_ = true;  // no NUL behind it: the rest of the buffer was the entry
    } else {
        position_ = nul + 1;
    }
    if (entry.empty()) {
        ended_ = true;
        return std::nullopt;
    }
    return entry;
}

std::wstring JoinDriveLines(const std::vector<std::wstring>& roots) {
    std::wstring text;
    for (const auto& root : roots) text += root + L"\r\n";
    const size_t last = text.rfind(L"\r\n");
    if (last != std::wstring::npos) text.erase(last);
    return text;
}

}  // namespace orvane
