#include "drives/drive_root.h"

#include <windows.h>
#include <shellapi.h>

#include "orvane/text.h"

namespace orvane {

DriveRoot DriveRoot::FromRoot(std::wstring_view root) {
    std::wstring text(root);
    if (text.find(L'\\') == std::wstring::npos) text += L'\\';
    return DriveRoot(std::move(text));
}

std::wstring DriveRoot::DriveText() const { return RemoveBackslashes(root_); }

std::wstring RemoveBackslashes(std::wstring_view text) {
    std::wstring result;
    result.reserve(text.size());
    for (wchar_t c : text)
        if (c != L'\\') result += c;
    return result;
}

std::vector<char> LogicalDriveStrings() {
    const DWORD needed = ::GetLogicalDriveStringsA(0, nullptr);
    std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
    ::GetLogicalDriveStringsA(needed, buffer.data());
    return buffer;
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

bool IsFixedDrive(const DriveRoot& drive) {
    return ::GetDriveTypeA(ToAnsi(drive.LetterAndColon()).c_str()) == DRIVE_FIXED;
}

std::optional<ShellDriveInfo> QueryShellDriveInfo(const DriveRoot& drive) {
    // Display names come through the wide entry point so that names outside
    // the ANSI code page show as they are. A fresh record per drive: nothing
    // of one drive's answer is carried into the next.
    SHFILEINFOW record{};
    if (!::SHGetFileInfoW(drive.Root().c_str(), FILE_ATTRIBUTE_NORMAL, &record, sizeof(record),
                          SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_SYSICONINDEX))
        return std::nullopt;
    return ShellDriveInfo{record.szDisplayName, record.iIcon};
}

std::wstring JoinDriveLines(const std::vector<DriveRoot>& drives) {
    std::wstring text;
    for (const auto& drive : drives) text += drive.Root() + L"\r\n";
    const size_t last = text.rfind(L"\r\n");
    if (last != std::wstring::npos) text.erase(last);
    return text;
}

}  // namespace orvane
