#include "drives/used_space.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace orvane {
namespace {

// The volume's used bytes as the system reports them right now.
std::int64_t UsedBytesOf(const wchar_t* drive) {
    ULARGE_INTEGER available{}, total{}, free{};
    if (!::GetDiskFreeSpaceExW(drive, &available, &total, &free)) return -1;
    return static_cast<std::int64_t>(total.QuadPart - free.QuadPart);
}

TEST(UsedSpaceTest, CountsWholeBytesScaledByTenThousand) {
    EXPECT_EQ(UsedBytesFromCounts(5000, 4000).scaled(), 10'000'000);  // 1,000 bytes
    EXPECT_EQ(UsedBytesFromCounts(5000, 5000), Currency{});           // an empty volume
    EXPECT_EQ(UsedBytesFromCounts(0, 0), Currency{});                 // the query failed
    const std::int64_t largest = INT64_MAX / 10'000;                  // 922,337,203,685,477
    EXPECT_EQ(UsedBytesFromCounts(largest, 0).scaled(), largest * 10'000);
}

TEST(UsedSpaceTest, VolumeBeyondTheRangeReportsTheLargestValue) {
    const std::uint64_t largest = INT64_MAX / 10'000;
    EXPECT_EQ(UsedBytesFromCounts(largest + 1, 0), Currency::Max());
    EXPECT_EQ(UsedBytesFromCounts(UINT64_MAX, 1), Currency::Max());
}

TEST(UsedSpaceTest, RealDriveReportsItsUsedBytes) {
    for (const wchar_t* drive : {L"C:", L"D:"}) {
        const std::int64_t expected = UsedBytesOf(drive);
        if (expected < 0) continue;
        const Currency used = QueryDriveUsedBytes(drive);
        EXPECT_EQ(used.scaled() % 10'000, 0);
        // Other programs write to the same disk meanwhile: allow 1 % of drift.
        const std::int64_t bytes = used.scaled() / 10'000;
        EXPECT_GT(bytes, 0) << testing::PrintToString(std::wstring(drive));
        EXPECT_NEAR(static_cast<double>(bytes), static_cast<double>(expected),
                    expected / 100.0 + 1e6);
    }
}

TEST(UsedSpaceTest, FailingQueryGivesZero) {
    const DWORD used = ::GetLogicalDrives();
    for (int letter = 'Z'; letter >= 'C'; --letter) {
        if (used & (1u << (letter - 'A'))) continue;
        const std::wstring drive = std::wstring(1, static_cast<wchar_t>(letter)) + L":";
        EXPECT_EQ(QueryDriveUsedBytes(drive), Currency{}) << testing::PrintToString(drive);
        break;
    }
    // An optical drive without its medium, where the test drives are mapped.
    if (::GetFileAttributesW(L"D:\\Data\\readme.txt") != INVALID_FILE_ATTRIBUTES &&
        ::GetDriveTypeW(L"E:\\") == DRIVE_CDROM) {
        EXPECT_EQ(QueryDriveUsedBytes(L"E:"), Currency{});
    }
}

}  // namespace
}  // namespace orvane
