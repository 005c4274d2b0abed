// Drive roots and drive texts: the system lists a drive as "C:\", the list
// and the selection keep "C:".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// "C:\" -> "C:": every backslash removed.
std::wstring RemoveBackslashes(std::wstring_view text);

// Walks the buffer GetLogicalDriveStrings fills: entries separated by NULs,
// ending at the first empty entry, or after an entry with no NUL behind it.
class DriveStringWalk {
public:
    explicit DriveStringWalk(const std::vector<char>& buffer) : buffer_(buffer) {}
    std::optional<std::string> Next();

private:
    const std::vector<char>& buffer_;
    size_t position_ = 0;
    bool ended_ = false;
};

// The message text listing inaccessible drives: each root on its own line,
// no line break after the last.
std::wstring JoinDriveLines(const std::vector<std::wstring>& roots);

}  // namespace orvane
