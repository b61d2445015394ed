#pragma once

#include <cstdint>

namespace reradav {

// Windows virtual-key codes the program names itself. Not Windows' own names: those are macros
// of windows.h, which must be includable beside this header.
enum VirtualKey : std::uint8_t {
    kVkBack = 0x08,
    kVkTab = 0x09,
    kVkClear = 0x0C,
    kVkReturn = 0x0D,
    kVkShift = 0x10,
    kVkControl = 0x11,
    kVkMenu = 0x12,
    kVkPause = 0x13,
    kVkCapital = 0x14,
    kVkEscape = 0x1B,
    kVkSpace = 0x20,
    kVkLeft = 0x25,
    kVkDelete = 0x2E,
    kVkF1 = 0x70,
    kVkNumLock = 0x90,
    kVkScroll = 0x91,
    kVkRMenu = 0xA5,  // right Alt, AltGr on layouts that have it
};

// Linux evdev key code (KEY_*) of the key at a virtual key's US position; 0 when none.
std::uint16_t EvdevCodeForVk(std::uint8_t vk);
// MapVirtualKeyA: with map type 0, the scan code of a virtual key, which on Linux is the low
// byte of its evdev code; 0 for any other map type or code.
std::uint32_t ScanCodeForVk(std::uint32_t code, std::uint32_t mapType);
// The virtual key whose US position is that evdev key; 0 when none.
std::uint8_t VkForEvdevCode(std::uint16_t evdevCode);

}  // namespace reradav
