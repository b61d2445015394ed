#include "readproc/DateTokens.h"

#include <gtest/gtest.h>

#include "support/Fakes.h"

namespace reradav {

using namespace test;

TEST(ExpandDateTokens, FirstOfEachTokenInAnyCaseBecomesTwoDigits) {
    FakeClock clock;
    clock.times = {{2026, 3, 5, 9, 4, 0}};
    EXPECT_EQ(ExpandDateTokens("{TAB}{MONTH}/{DAY}/{YEAR}{ENTER}", clock), "{TAB}03/05/26{ENTER}");
    EXPECT_EQ(ExpandDateTokens("{hour}:{Minute}:{sEcOnD} {DAY}{DAY}", clock), "09:04:00 05{DAY}");
}

}  // namespace reradav
