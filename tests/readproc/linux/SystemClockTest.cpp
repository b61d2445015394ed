#include "readproc/linux/SystemClock.h"

#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

namespace reradav {
namespace {

// The date and time are the local zone's, counted from 1 for months, with four-digit years.
TEST(SystemClock, ReadsTheLocalDateAndTime) {
    // Fourteen hours east of UTC: another hour, often another day.
    setenv("TZ", "LOCAL-14", 1), tzset();
    const std::time_t east = std::time(nullptr) + 14 * 3600;
    const LocalDateTime now = SystemClock().Now();
    unsetenv("TZ"), tzset();
    std::tm expected{};
    gmtime_r(&east, &expected);
    EXPECT_EQ(std::tie(now.year, now.month, now.day, now.hour),
              std::tie(expected.tm_year += 1900, expected.tm_mon += 1, expected.tm_mday,
                       expected.tm_hour));  // an hour is far longer than one call
}

}  // namespace
}  // namespace reradav
