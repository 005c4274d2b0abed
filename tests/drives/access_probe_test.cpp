#include "drives/access_probe.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/app_error.h"

namespace orvane {
namespace {

// The error number the probe raised, 0 when it returned normally.
long ProbeResult(const std::wstring& root) {
    try {
        ProbeDriveRoot(DriveRoot::FromRoot(root));
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

// The test drives are those the test prefix maps (D: a folder with files,
// E: an optical drive without its medium, F: a network share, G: a disk whose
// folder is gone, H: an empty folder, R: a floppy); elsewhere the letters
// mean something else and their cases are skipped.
bool TestDrivesPresent() {
    return ::GetFileAttributesW(L"D:\\Data\\readme.txt") != INVALID_FILE_ATTRIBUTES;
}

bool IsTestDrive(const wchar_t* root, UINT type) {
    return TestDrivesPresent() && ::GetDriveTypeW(root) == type;
}

// A letter that names no drive at all.
std::wstring UnusedDriveRoot() {
    const DWORD used = ::GetLogicalDrives();
    for (int letter = 'Z'; letter >= 'C'; --letter) {
        if (!(used & (1u << (letter - 'A'))))
            return std::wstring(1, static_cast<wchar_t>(letter)) + L":\\";
    }
    return {};
}

TEST(AccessProbeTest, SystemDriveIsAccessible) { EXPECT_EQ(ProbeResult(L"C:\\"), 0); }

// Each test drive in a case of its own, skipped where the letter is not it.
struct TestDriveCase {
    const wchar_t* root;
    UINT type;
    long expected;
};

class TestDriveProbe : public testing::TestWithParam<TestDriveCase> {};

TEST_P(TestDriveProbe, GivesTheExpectedAnswer) {
    const TestDriveCase& drive = GetParam();
    if (!IsTestDrive(drive.root, drive.type)) GTEST_SKIP() << "not the test drive here";
    EXPECT_EQ(ProbeResult(drive.root), drive.expected);
}

INSTANTIATE_TEST_SUITE_P(
    AccessProbeTest, TestDriveProbe,
    testing::Values(TestDriveCase{L"D:\\", DRIVE_FIXED, 0},      // a disk with files
                    TestDriveCase{L"F:\\", DRIVE_REMOTE, 0},     // a readable share
                    TestDriveCase{L"R:\\", DRIVE_REMOVABLE, 0},  // a floppy with its medium
                    TestDriveCase{L"H:\\", DRIVE_FIXED, 0},      // an empty root
                    TestDriveCase{L"E:\\", DRIVE_CDROM, kErrBadFileNameOrNumber}),  // no medium
    [](const testing::TestParamInfo<TestDriveCase>& info) {
        return std::string(1, static_cast<char>(info.param.root[0]));
    });

TEST(AccessProbeTest, DiskWhoseRootIsGoneIsNotAccessible) {
    if (!TestDrivesPresent()) GTEST_SKIP() << "the test drive letters are not mapped here";
    // Wine reports a disk letter whose folder is missing as having no root
    // directory; Windows would still call it fixed. Both are the test drive.
    const UINT type = ::GetDriveTypeW(L"G:\\");
    if (type != DRIVE_FIXED && type != DRIVE_NO_ROOT_DIR)
        GTEST_SKIP() << "G: is not the test drive";
    EXPECT_EQ(ProbeResult(L"G:\\"), kErrBadFileNameOrNumber);
}

TEST(AccessProbeTest, LetterWithoutDriveIsNotAccessible) {
    const std::wstring root = UnusedDriveRoot();
    if (root.empty()) GTEST_SKIP() << "every drive letter is in use";
    EXPECT_EQ(ProbeResult(root), kErrBadFileNameOrNumber);
}

TEST(AccessProbeTest, ARootThatCannotBeListedForAnyReasonIsNotAccessible) {
    // A name no file system accepts cannot be opened for listing either.
    EXPECT_EQ(ProbeResult(L"C:\\bad\x01name|<>\\"), kErrBadFileNameOrNumber);
}

TEST(AccessProbeTest, EveryRootFailureButNoFilesFoundIsNotAccessible) {
    for (const DWORD error : std::vector<DWORD>{
             ERROR_NOT_READY, ERROR_NO_MEDIA_IN_DRIVE, ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE,
             ERROR_BAD_NETPATH, ERROR_BAD_NET_NAME, ERROR_NETNAME_DELETED, ERROR_NO_NET_OR_BAD_PATH,
             ERROR_UNRECOGNIZED_VOLUME, ERROR_UNRECOGNIZED_MEDIA, ERROR_ACCESS_DENIED,
             // A volume being checked, held by another program, or locked (encrypted).
             ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_DRIVE_LOCKED,
             // A damaged or unknown file system.
             ERROR_FILE_CORRUPT, ERROR_DISK_CORRUPT, DWORD{6805} /* ERROR_CORRUPT_FILE_SYSTEM */,
             ERROR_NOT_SUPPORTED, ERROR_INVALID_FUNCTION,
             // A device that stopped answering, a name no file system takes.
             ERROR_IO_DEVICE, ERROR_SEM_TIMEOUT, ERROR_INVALID_NAME, ERROR_NOT_ENOUGH_MEMORY}) {
        EXPECT_TRUE(IsNotAccessibleError(error)) << error;
    }
    // An empty root answers "no files found": it is readable.
    for (const DWORD error :
         std::vector<DWORD>{ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_NO_MORE_FILES})
        EXPECT_FALSE(IsNotAccessibleError(error)) << error;
}

}  // namespace
}  // namespace orvane
