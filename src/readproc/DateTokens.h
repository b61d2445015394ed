#pragma once

#include <string>

namespace reradav {

struct LocalDateTime {
    int year, month, day, hour, minute, second;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() = 0;
};

// Replaces the first {YEAR}, {MONTH}, {DAY}, {HOUR}, {MINUTE} and {SECOND} (any case) by two
// digits each, reading the clock afresh for every token found.
std::string ExpandDateTokens(std::string text, Clock& clock);

}  // namespace reradav
