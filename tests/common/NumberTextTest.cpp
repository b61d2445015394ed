#include "common/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace reradav {

TEST(LeadingNumber, ReadsTheNumberAtTheFront) {
    const double inf = INFINITY;
    // Out of range, the magnitude rather than the exponent's sign picks infinity or zero; &H and
    // &O give 16-bit signed values when 16 bits suffice, else 32-bit signed.
    const std::pair<const char*, double> rows[] = {
        {"9600,N", 9600},   {"", 0.0},          {"abc", 0.0},       {"1 2\t3\n4x", 1234},
        {"\r5", 0.0},       {"-12.5e1,", -125}, {"+7", 7},          {".5", 0.5},
        {"5.}", 5},         {"-.", 0.0},        {"1e", 1},          {"1e+", 1},
        {"2E+2", 200},      {"25e-1", 2.5},     {"3d2", 300},       {"1D1", 10},
        {"1e-400", 0.0},    {"1e400", inf},     {"-1e400", -inf},   {".1e400", inf},
        {"1000e-402", 0},   {"&H1B", 27},       {"&h1b,", 27},      {"&Hfa", 250},
        {"&HAF", 175},      {"&H9g", 9},        {"&H10", 16},       {"&HFFFF", -1},
        {"&H8000", -32768}, {"&H10000", 65536}, {"&HFFFFFFFF", -1}, {"&H1234567890", inf},
        {"&O17", 15},       {"&o78", 7},        {"&o177777", -1},   {"&", 0.0},
        {"&X1", 0.0},       {"&H", 0.0},        {"& H 1 0", 16}};
    for (const auto& [text, value] : rows) {
        EXPECT_DOUBLE_EQ(LeadingNumber(text), value) << '"' << text << '"';
    }
    // Exponents beyond 64 bits saturate like any other number out of range.
    EXPECT_EQ(LeadingNumber("-9e9223372036854775807"), -inf);
    EXPECT_EQ(LeadingNumber("1e-99999999999999999999"), 0.0);
    EXPECT_EQ(LeadingNumber("1" + std::string(400, '0') + "e-1"), inf);  // the whole part counts
}

TEST(Rounding, HalvesGoToTheEvenNeighbourAndOutOfRangeIsRefused) {
    const std::pair<double, std::optional<std::int16_t>> rows16[] = {
        {2.5, 2},      {3.5, 4},           {-2.5, -2},   {2.6, 3},       {32767.4, 32767},
        {32767.5, {}}, {-32768.5, -32768}, {-32769, {}}, {INFINITY, {}}, {NAN, {}}};
    for (const auto& [value, rounded] : rows16) {
        EXPECT_EQ(RoundToInt16(value), rounded) << value;
    }
    const double m = 2147483648.0;
    const std::pair<double, std::optional<std::int32_t>> rows32[] = {
        {1.5, 2}, {m - .6, INT32_MAX}, {m - .5, {}}, {-m - .5, INT32_MIN}, {-m - 1, {}}, {NAN, {}}};
    for (const auto& [value, rounded] : rows32) {
        EXPECT_EQ(RoundToInt32(value), rounded) << value;
    }
}

}  // namespace reradav
