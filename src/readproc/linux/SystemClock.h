#pragma once

#include "readproc/DateTokens.h"

namespace reradav {

// The machine's local time.
class SystemClock : public Clock {
  public:
    LocalDateTime Now() override;
};

}  // namespace reradav
