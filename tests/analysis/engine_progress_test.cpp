// The engine's two texts read into one typed value, without a window or an
// engine: the folder, the count and the bytes, and the errors the contract's
// breaches raise.
#include <gtest/gtest.h>

#include "analysis/engine_client.h"
#include "support/app_error.h"

namespace orvane {
namespace {

long ErrorOf(std::wstring_view status, std::wstring_view bytes) {
    try {
        ParseEngineProgress(status, bytes, L'.', L',');
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

TEST(EngineProgress, FolderCountAndBytesComeFromTheTextsAsTheContractGivesThem) {
    const EngineProgress p =
        ParseEngineProgress(L"C:\\Data\\Photos\\|1,234 SCANNED|extra", L"1,048,576", L'.', L',');
    EXPECT_EQ(p.folder, L"C:\\Data\\Photos");
    EXPECT_EQ(p.count_text, L"1,234 ");
    EXPECT_EQ(p.bytes, Currency::FromWhole(1048576));
    EXPECT_EQ(p.fields,
              (std::vector<std::wstring>{L"C:\\Data\\Photos", L"1,234 SCANNED", L"extra"}));
}

TEST(EngineProgress, EachBreachOfTheContractRaisesItsOwnError) {
    EXPECT_EQ(ErrorOf(L"", L"0"), kErrSubscriptOutOfRange);
    EXPECT_EQ(ErrorOf(L"C:\\x", L"0"), kErrSubscriptOutOfRange);  // no "|"
    EXPECT_EQ(ErrorOf(L"|1 scanned", L"0"), kErrInvalidCall);     // empty folder field
    EXPECT_EQ(ErrorOf(L"C:\\x|1 scanned", L"many"), kErrTypeMismatch);
}

}  // namespace
}  // namespace orvane
