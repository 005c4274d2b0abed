// The tick's text handling and percentages, without a window.
#include <gtest/gtest.h>

#include "analysis/status_text.h"
#include "support/app_error.h"

namespace orvane {
namespace {

Currency Bytes(std::int64_t n) { return Currency::FromWhole(n); }

TEST(StatusText, SplitsAtEverySeparatorAndAnEmptyTextHasNoFields) {
    EXPECT_EQ(SplitFields(L"C:\\Data\\|1234 scanned", L'|'),
              (std::vector<std::wstring>{L"C:\\Data\\", L"1234 scanned"}));
    EXPECT_EQ(SplitFields(L"a|b|c|", L'|'), (std::vector<std::wstring>{L"a", L"b", L"c", L""}));
    EXPECT_EQ(SplitFields(L"no separator", L'|'), (std::vector<std::wstring>{L"no separator"}));
    EXPECT_TRUE(SplitFields(L"", L'|').empty());
}

TEST(StatusText, TheFolderLosesItsLastCharacterAndAnEmptyFolderIsAnError) {
    EXPECT_EQ(DropLastCharacter(L"C:\\Data\\Photos\\"), L"C:\\Data\\Photos");
    EXPECT_EQ(DropLastCharacter(L"x"), L"");
    try {
        DropLastCharacter(L"");
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), kErrInvalidCall);
    }
}

TEST(StatusText, EveryScannedIsRemovedWhateverItsCase) {
    EXPECT_EQ(RemoveWordIgnoringCase(L"1234 scanned", L"scanned"), L"1234 ");
    EXPECT_EQ(RemoveWordIgnoringCase(L"1,234 SCANNED", L"scanned"), L"1,234 ");
    EXPECT_EQ(RemoveWordIgnoringCase(L"Scanned 5 scannedscanned", L"scanned"), L" 5 ");
    EXPECT_EQ(RemoveWordIgnoringCase(L"scanne 12", L"scanned"), L"scanne 12");
    EXPECT_EQ(RemoveWordIgnoringCase(L"", L"scanned"), L"");
}

TEST(StatusText, PercentagesRoundHalvesToEvenAndBarsStopAt97) {
    EXPECT_EQ(ProgressPercent(Bytes(974), Bytes(1000)), 97);  // 97.4
    EXPECT_EQ(ProgressPercent(Bytes(975), Bytes(1000)), 98);  // 97.5
    EXPECT_EQ(ProgressPercent(Bytes(25), Bytes(1000)), 2);    // 2.5
    EXPECT_EQ(ProgressPercent(Bytes(35), Bytes(1000)), 4);    // 3.5
    EXPECT_EQ(ProgressPercent(Bytes(1500), Bytes(1000)), 150);
    EXPECT_EQ(CappedBarValue(97), 97.0f);
    EXPECT_EQ(CappedBarValue(98), 97.0f);
    EXPECT_EQ(CappedBarValue(150), 97.0f);
    EXPECT_EQ(CappedBarValue(42), 42.0f);
    // 600 MB done and 150 MB of this drive, of 1000 MB in all.
    EXPECT_EQ(ProgressPercent(Bytes(600'000'000) + Bytes(150'000'000), Bytes(1'000'000'000)), 75);
}

TEST(StatusText, PercentagesThatCannotBeHeldRaiseNothing) {
    EXPECT_EQ(ProgressPercent(Bytes(5), Bytes(0)), 0);
    EXPECT_EQ(ProgressPercent(Bytes(0), Bytes(0)), 0);
    EXPECT_EQ(ProgressPercent(Currency::Max(), Bytes(1)), 32767);
    EXPECT_EQ(ProgressPercent(Bytes(-5), Bytes(100)), 0);
    EXPECT_EQ(CappedBarValue(ProgressPercent(Currency::Max(), Bytes(1))), 97.0f);
}

}  // namespace
}  // namespace orvane
