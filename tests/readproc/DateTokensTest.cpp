#include "readproc/DateTokens.h"

#include <gtest/gtest.h>

#include "support/Fakes.h"

namespace reradav {
namespace {

using test::FakeClock;

TEST(ExpandDateTokens, FillsTheTokensWithTwoDigits) {
    FakeClock clock;
    clock.times = {{2026, 3, 5, 9, 4, 0}};
    EXPECT_EQ(ExpandDateTokens("{TAB}{MONTH}/{DAY}/{YEAR}{ENTER}", clock), "{TAB}03/05/26{ENTER}");
    EXPECT_EQ(ExpandDateTokens("{HOUR}:{MINUTE}:{SECOND}", clock), "09:04:00");
    clock.times = {{2000, 12, 31, 23, 59, 59}};
    EXPECT_EQ(ExpandDateTokens("{year}{Month}{dAy}", clock), "001231");
}

TEST(ExpandDateTokens, OnlyTheFirstOfEachTokenAndNothingElseChanges) {
    FakeClock clock;
    EXPECT_EQ(ExpandDateTokens("{DAY}{DAY}", clock), "05{DAY}");
    EXPECT_EQ(ExpandDateTokens("{hour}:{Minute} {tab} x", clock), "14:07 {tab} x");
    EXPECT_EQ(ExpandDateTokens("{ENTER}", clock), "{ENTER}");
    EXPECT_EQ(ExpandDateTokens("", clock), "");
    EXPECT_EQ(clock.reads, 3);  // the clock is read only for tokens found
}

TEST(ExpandDateTokens, EachTokenReadsTheClockAfresh) {
    FakeClock clock;
    clock.times = {{2026, 1, 1, 10, 59, 59}, {2026, 1, 1, 11, 0, 0}};
    EXPECT_EQ(ExpandDateTokens("{MINUTE}{SECOND}", clock), "5900");
}

}  // namespace
}  // namespace reradav
