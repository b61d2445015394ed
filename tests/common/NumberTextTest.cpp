#include "common/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace reradav {
namespace {

struct NumberCase {
    const char* text;
    double value;
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class LeadingNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumberTest, ReadsTheNumberAtTheFront) {
    EXPECT_DOUBLE_EQ(LeadingNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, LeadingNumberTest,
    ::testing::Values(NumberCase{"9600,N,8,1", 9600}, NumberCase{"", 0}, NumberCase{"abc", 0},
                      NumberCase{"  42", 42}, NumberCase{"1 2\t3\n4x", 1234},
                      NumberCase{"-12.5e1,", -125}, NumberCase{"+7", 7}, NumberCase{".5", 0.5},
                      NumberCase{"-.", 0}, NumberCase{"1e", 1}, NumberCase{"2E+2", 200},
                      NumberCase{"3d2", 300}, NumberCase{"1e-400", 0}, NumberCase{"3}", 3},
                      NumberCase{"2.5}", 2.5}, NumberCase{"\r5", 0}));

INSTANTIATE_TEST_SUITE_P(Radix, LeadingNumberTest,
                         ::testing::Values(NumberCase{"&H1B", 27}, NumberCase{"&h1b,", 27},
                                           NumberCase{"&HFFFF", -1}, NumberCase{"&H8000", -32768},
                                           NumberCase{"&H10000", 65536},
                                           NumberCase{"&HFFFFFFFF", -1}, NumberCase{"&O17", 15},
                                           NumberCase{"&o177777", -1}, NumberCase{"&", 0},
                                           NumberCase{"&X1", 0}, NumberCase{"&H", 0},
                                           NumberCase{"& H 1 0", 16}));

TEST(LeadingNumber, HugeValuesOverflowToInfinity) {
    EXPECT_TRUE(std::isinf(LeadingNumber("1e400")));
    EXPECT_TRUE(std::isinf(LeadingNumber("&H123456789")));
    EXPECT_LT(LeadingNumber("-1e400"), 0);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundToInt16(2.5), 2);
    EXPECT_EQ(RoundToInt16(3.5), 4);
    EXPECT_EQ(RoundToInt16(-2.5), -2);
    EXPECT_EQ(RoundToInt16(2.6), 3);
    EXPECT_EQ(RoundToInt32(0.5), 0);
    EXPECT_EQ(RoundToInt32(1.5), 2);
}

TEST(Rounding, OutOfRangeIsRefused) {
    EXPECT_EQ(RoundToInt16(32767.4), 32767);
    EXPECT_EQ(RoundToInt16(-32768.5), -32768);
    EXPECT_FALSE(RoundToInt16(32767.5).has_value());
    EXPECT_FALSE(RoundToInt16(-32769).has_value());
    EXPECT_FALSE(RoundToInt16(INFINITY).has_value());
    EXPECT_EQ(RoundToInt32(-2147483648.0), INT32_MIN);
    EXPECT_FALSE(RoundToInt32(2147483647.5).has_value());
}

}  // namespace
}  // namespace reradav
