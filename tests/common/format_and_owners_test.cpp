// The shared layer's portable parts: the number and time texts every front
// end prints, and the owner template's rules for "none" and for handing a
// handle on.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "orvane/buffered_text.h"
#include "orvane/format.h"
#include "orvane/unique_any.h"

namespace orvane {
namespace {

TEST(Format, GroupsDigitsInThreesAndShowsWholeMilliseconds) {
    EXPECT_EQ(CommaGroupedDigits(0), "0");
    EXPECT_EQ(CommaGroupedDigits(999), "999");
    EXPECT_EQ(CommaGroupedDigits(1234567), "1,234,567");
    EXPECT_EQ(CommaGroupedDigits(18446744073709551615ull), "18,446,744,073,709,551,615");
    EXPECT_EQ(CommaGroupedDigitsWide(1000), L"1,000");
    using std::chrono::microseconds;
    EXPECT_EQ(SecondsText(microseconds(1234567)), "1.234");
    EXPECT_EQ(SecondsText(microseconds(999)), "0.000");
    EXPECT_EQ(SecondsText(-microseconds(5000)), "0.000");
}

TEST(Format, SizesInUnitsOf1024NeverShow1024OfAUnit) {
    constexpr SizeUnitNames kNames{{"K", "M", "G", "T", "P", "E"}, " bytes", " byte"};
    EXPECT_EQ(BinarySize(1, kNames), "1 byte");
    EXPECT_EQ(BinarySize(1023, kNames), "1023 bytes");
    EXPECT_EQ(BinarySize(1536, kNames), "1.5 K");
    EXPECT_EQ(BinarySize(1024 * 1024 - 1, kNames), "1.0 M");  // not "1024.0 K"
    EXPECT_EQ(BinarySize(18446744073709551615ull, kNames), "16.0 E");
}

std::vector<long> closed;
void Record(long value) noexcept { closed.push_back(value); }

// Pieces of every size, across the buffer's edge and larger than it, land
// in order, and text appended directly in between keeps its place.
TEST(BufferedText, PiecesLandInOrderAcrossTheBuffersEdge) {
    std::string out = "head:";
    std::string expected = out;
    {
        BufferedText text(out);
        for (int i = 0; i < 3000; ++i) {
            const std::string piece(static_cast<std::size_t>(i % 23),
                                    static_cast<char>('a' + i % 26));
            text.Append(piece);
            text.Append(',');
            text.AppendNumber(~std::uint64_t{0} >> (i % 64));
            text.AppendAscii(std::wstring_view(L"w"));
            expected += piece + "," + std::to_string(~std::uint64_t{0} >> (i % 64)) + "w";
            if (i % 1000 == 999) {
                const std::string large(10000, 'L');
                text.Append(large);
                text.Flushed() += "direct";
                expected += large + "direct";
            }
        }
    }
    EXPECT_EQ(out, expected);
}

TEST(UniqueAny, ClosesWhatItHoldsOnceAndNeverANoneValue) {
    closed.clear();
    {
        unique_any<long, Record, none_value::minus_one> owner(7);
        unique_any<long, Record, none_value::minus_one> moved(std::move(owner));
        EXPECT_FALSE(owner);
        EXPECT_TRUE(moved);
        *moved.put() = 8;  // 7 is closed before the out parameter is filled
        EXPECT_EQ(closed, std::vector<long>{7});
        const long kept = moved.release();
        EXPECT_EQ(kept, 8);
        unique_any<long, Record, none_value::minus_one> none(-1);
        EXPECT_FALSE(none);
        unique_any<long, Record, none_value::minus_one> zero(0);  // a valid descriptor
        EXPECT_TRUE(zero);
    }
    EXPECT_EQ(closed, (std::vector<long>{7, 0}));

    closed.clear();
    {
        unique_any<long, Record, none_value::null_or_minus_one> either(-1);
        unique_any<long, Record, none_value::null_or_minus_one> other(0);
        EXPECT_FALSE(either);
        EXPECT_FALSE(other);
        other.reset(5);
    }
    EXPECT_EQ(closed, std::vector<long>{5});
}

}  // namespace
}  // namespace orvane
