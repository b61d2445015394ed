#pragma once

#include <time.h>

#include <cstdint>

namespace reradav {

// GetTickCount for the Linux keyboards: milliseconds of CLOCK_MONOTONIC, wrapping at 2^32.
inline std::uint32_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

}  // namespace reradav
