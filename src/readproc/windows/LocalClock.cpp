#include "readproc/windows/LocalClock.h"

#include <windows.h>

namespace reradav {

LocalDateTime LocalClock::Now() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace reradav
