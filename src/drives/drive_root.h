// Drive roots: the system lists a drive as its root ("C:\"); the drive list
// and the selected-drive list keep its drive text ("C:"). DriveRoot is the
// one place that converts between the two forms.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class DriveRoot {
public:
    // A root as the system lists it; a backslash is added when it has none.
    static DriveRoot FromRoot(std::wstring_view root);
    // A drive text ("C:"): the root is the text with a backslash added when
    // it has none.
    static DriveRoot FromDriveText(std::wstring_view drive_text) { return FromRoot(drive_text); }

    // "C:\", for listing the root and for the messages about it.
    const std::wstring& Root() const noexcept { return root_; }
    // "C:": the root with every backslash removed.
    std::wstring DriveText() const;
    // The letter and the colon, what the drive-type query takes.
    std::wstring LetterAndColon() const { return root_.substr(0, 2); }

private:
    explicit DriveRoot(std::wstring root) : root_(std::move(root)) {}
    std::wstring root_;
};

// Every backslash removed ("C:\" -> "C:").
std::wstring RemoveBackslashes(std::wstring_view text);

// The buffer GetLogicalDriveStringsA fills: asked for its length first, then
// filled into a buffer one character longer than it says.
std::vector<char> LogicalDriveStrings();

// Walks that buffer: entries separated by NULs, ending at the first empty
// entry, or after an entry with no NUL behind it.
class DriveStringWalk {
public:
    explicit DriveStringWalk(const std::vector<char>& buffer) : buffer_(buffer) {}
    std::optional<std::string> Next();

private:
    const std::vector<char>& buffer_;
    size_t position_ = 0;
    bool ended_ = false;
};

// Whether the system reports the drive as a fixed disk.
bool IsFixedDrive(const DriveRoot& drive);

// What the shell says about a drive's root: its display name and the index
// of its icon in the system image list. Nothing when the shell cannot answer.
struct ShellDriveInfo {
    std::wstring display_name;
    int icon_index = 0;
};
std::optional<ShellDriveInfo> QueryShellDriveInfo(const DriveRoot& drive);

// The message text listing inaccessible drives: each root on its own line,
// no line break after the last.
std::wstring JoinDriveLines(const std::vector<DriveRoot>& drives);

}  // namespace orvane
