#pragma once

#include "readproc/DateTokens.h"

namespace reradav {

// The machine's local time, as Windows keeps it.
class LocalClock : public Clock {
  public:
    LocalDateTime Now() override;
};

}  // namespace reradav
