// The one conversion between a drive's root ("C:\") and its drive text
// ("C:"), and the walk over the system's drive strings.
#include "drives/drive_root.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(DriveRootTest, RootAndDriveTextConvertBothWays) {
    EXPECT_EQ(DriveRoot::FromDriveText(L"C:").Root(), L"C:\\");
    EXPECT_EQ(DriveRoot::FromRoot(L"C:\\").Root(), L"C:\\");
    EXPECT_EQ(DriveRoot::FromRoot(L"C:\\").DriveText(), L"C:");
    EXPECT_EQ(DriveRoot::FromRoot(L"C:\\").LetterAndColon(), L"C:");
    // Every backslash goes, whatever else the text holds.
    EXPECT_EQ(DriveRoot::FromRoot(L"\\\\srv\\share\\").DriveText(), L"srvshare");
    EXPECT_EQ(JoinDriveLines({DriveRoot::FromDriveText(L"E:"), DriveRoot::FromDriveText(L"G:")}),
              L"E:\\\r\nG:\\");
}

TEST(DriveRootTest, TheWalkEndsAtTheFirstEmptyEntryOrAtTheBufferEnd) {
    const std::vector<char> listed{'C', ':', '\\', 0, 'D', ':', '\\', 0, 0, 'X', 0};
    DriveStringWalk walk(listed);
    EXPECT_EQ(walk.Next(), "C:\\");
    EXPECT_EQ(walk.Next(), "D:\\");
    EXPECT_EQ(walk.Next(), std::nullopt);
    const std::vector<char> unterminated{'C', ':', '\\'};
    DriveStringWalk rest(unterminated);
    EXPECT_EQ(rest.Next(), "C:\\");
    EXPECT_EQ(rest.Next(), std::nullopt);
}

}  // namespace
}  // namespace orvane
