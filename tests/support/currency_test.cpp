#include "support/currency.h"

#include <gtest/gtest.h>

#include "support/app_error.h"

namespace orvane {
namespace {

long ErrorNumberOf(void (*action)()) {
    try {
        action();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

TEST(CurrencyTest, WholeValuesAreStoredTimesTenThousand) {
    EXPECT_EQ(Currency::FromWhole(1000).scaled(), 10'000'000);
    EXPECT_EQ(Currency::FromWhole(-3).scaled(), -30'000);
    EXPECT_EQ(Currency::FromWhole(922'337'203'685'477).scaled(), 9'223'372'036'854'770'000);
    EXPECT_EQ(ErrorNumberOf([] { Currency::FromWhole(922'337'203'685'478); }), kErrOverflow);
    EXPECT_DOUBLE_EQ(Currency::FromScaled(12'345).ToDouble(), 1.2345);
}

TEST(CurrencyTest, CheckedArithmeticRaisesOverflowAndKeepsTheOperands) {
    const Currency one = Currency::FromScaled(1);
    EXPECT_EQ((Currency::FromWhole(5) + Currency::FromWhole(7)).scaled(), 120'000);
    EXPECT_EQ((Currency::FromWhole(5) - Currency::FromWhole(7)).scaled(), -20'000);
    EXPECT_EQ(Currency::FromScaled(3).MultiplyBy(-4).scaled(), -12);

    EXPECT_EQ(ErrorNumberOf([] { (void)(Currency::Max() + Currency::FromScaled(1)); }),
              kErrOverflow);
    EXPECT_EQ(ErrorNumberOf([] { (void)(Currency::Min() - Currency::FromScaled(1)); }),
              kErrOverflow);
    EXPECT_EQ(ErrorNumberOf([] { (void)(Currency::FromScaled(0) - Currency::Min()); }),
              kErrOverflow);
    EXPECT_EQ(ErrorNumberOf([] { (void)Currency::FromScaled(INT64_MAX / 2 + 1).MultiplyBy(2); }),
              kErrOverflow);
    EXPECT_EQ(ErrorNumberOf([] { (void)Currency::Min().MultiplyBy(-1); }), kErrOverflow);
    EXPECT_EQ(Currency::Min().MultiplyBy(1), Currency::Min());

    Currency total = Currency::Max();
    EXPECT_THROW(total += one, AppError);
    EXPECT_EQ(total, Currency::Max());
    total = Currency::Min();
    EXPECT_THROW(total -= one, AppError);
    EXPECT_EQ(total, Currency::Min());
}

TEST(CurrencyTest, SaturatingMultiplicationPinsToTheRange) {
    EXPECT_EQ(Currency::FromScaled(1'000).SaturatingMultiplyBy(10'000).scaled(), 10'000'000);
    EXPECT_EQ(Currency::FromScaled(INT64_MAX / 10'000 + 1).SaturatingMultiplyBy(10'000),
              Currency::Max());
    EXPECT_EQ(Currency::FromScaled(-(INT64_MAX / 10'000) - 2).SaturatingMultiplyBy(10'000),
              Currency::Min());
    EXPECT_EQ(Currency::FromScaled(INT64_MAX / 3).SaturatingMultiplyBy(-4), Currency::Min());
    EXPECT_EQ(Currency::Min().SaturatingMultiplyBy(-1), Currency::Max());
}

TEST(CurrencyTest, SaturatingAdditionPinsToTheRange) {
    EXPECT_EQ(Currency::FromWhole(2).SaturatingAdd(Currency::FromWhole(3)), Currency::FromWhole(5));
    EXPECT_EQ(Currency::Max().SaturatingAdd(Currency::FromScaled(1)), Currency::Max());
    EXPECT_EQ(Currency::Max().SaturatingAdd(Currency::Max()), Currency::Max());
    EXPECT_EQ(Currency::Min().SaturatingAdd(Currency::FromScaled(-1)), Currency::Min());
    EXPECT_EQ(Currency::Max().SaturatingAdd(Currency::FromScaled(-1)),
              Currency::FromScaled(INT64_MAX - 1));
}

TEST(CurrencyTest, ParsesNumberTextWithTheGivenSeparators) {
    EXPECT_EQ(ParseCurrency(L"1234", L'.', L',').scaled(), 12'340'000);
    EXPECT_EQ(ParseCurrency(L"  1,234,567.5  ", L'.', L',').scaled(), 12'345'675'000);
    EXPECT_EQ(ParseCurrency(L"1.234.567,5", L',', L'.').scaled(), 12'345'675'000);
    EXPECT_EQ(ParseCurrency(L"1\u00a0234,25", L',', L'\u00a0').scaled(), 12'342'500);
    EXPECT_EQ(ParseCurrency(L"-12.5", L'.', L',').scaled(), -125'000);
    EXPECT_EQ(ParseCurrency(L"+0.0001", L'.', L',').scaled(), 1);
    EXPECT_EQ(ParseCurrency(L"1e3", L'.', L',').scaled(), 10'000'000);
    EXPECT_EQ(ParseCurrency(L"0", L'.', L',').scaled(), 0);
    // A comma is grouping when the user's locale says so, not a decimal point.
    EXPECT_EQ(ParseCurrency(L"1,5", L'.', L',').scaled(), 150'000);
}

TEST(CurrencyTest, ParsingRoundsBeyondFourDecimalsHalfToEven) {
    EXPECT_EQ(ParseCurrency(L"0.00015", L'.', L',').scaled(), 2);
    EXPECT_EQ(ParseCurrency(L"0.00025", L'.', L',').scaled(), 2);
    EXPECT_EQ(ParseCurrency(L"0.000251", L'.', L',').scaled(), 3);
    EXPECT_EQ(ParseCurrency(L"0.00005", L'.', L',').scaled(), 0);
    EXPECT_EQ(ParseCurrency(L"-2.00035", L'.', L',').scaled(), -20'004);
    EXPECT_EQ(ParseCurrency(L"0.0000000001", L'.', L',').scaled(), 0);
}

TEST(CurrencyTest, ParsingRejectsNonNumbersAndValuesBeyondTheRange) {
    EXPECT_EQ(ParseCurrency(L"922337203685477.5807", L'.', L','), Currency::Max());
    EXPECT_EQ(ParseCurrency(L"-922337203685477.5808", L'.', L','), Currency::Min());
    EXPECT_EQ(ErrorNumberOf([] { ParseCurrency(L"922337203685477.5808", L'.', L','); }),
              kErrOverflow);
    EXPECT_EQ(ErrorNumberOf([] { ParseCurrency(L"922337203685477.58075", L'.', L','); }),
              kErrOverflow);
    EXPECT_EQ(ErrorNumberOf([] { ParseCurrency(L"1e20", L'.', L','); }), kErrOverflow);
    for (const wchar_t* text :
         {L"", L"   ", L"abc", L"12a", L"1.2.3", L"-", L",5", L"1e", L"--1", L"1 2"}) {
        long number = 0;
        try {
            ParseCurrency(text, L'.', L',');
        } catch (const AppError& e) {
            number = e.number();
        }
        EXPECT_EQ(number, kErrTypeMismatch)
            << "text: \"" << testing::PrintToString(std::wstring(text)) << "\"";
    }
}

}  // namespace
}  // namespace orvane
