#pragma once

#include <time.h>

#include <cstdint>

#include "keys/VirtualKeys.h"

namespace reradav {

// GetTickCount for the Linux keyboards: milliseconds of CLOCK_MONOTONIC, wrapping at 2^32.
inline std::uint32_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

// MapVirtualKeyA for the Linux keyboards: the "scan code" of a virtual key is its evdev code.
inline std::uint32_t EvdevScanCode(std::uint32_t code, std::uint32_t mapType) {
    if (mapType != 0 || code > 0xFF) {
        return 0;
    }
    return EvdevCodeForVk(static_cast<std::uint8_t>(code)) & 0xFFu;
}

}  // namespace reradav
