#pragma once

#include <cstdint>

namespace reradav {

// Windows virtual-key codes the program names itself.
enum VirtualKey : std::uint8_t {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_CLEAR = 0x0C,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_LEFT = 0x25,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_NUMLOCK = 0x90,
    VK_SCROLL = 0x91,
    VK_RMENU = 0xA5,  // right Alt, AltGr on layouts that have it
};

// Linux evdev key code (KEY_*) of the key at a virtual key's US position; 0 when none.
std::uint16_t EvdevCodeForVk(std::uint8_t vk);
// MapVirtualKeyA: with map type 0, the scan code of a virtual key, which on Linux is the low
// byte of its evdev code; 0 for any other map type or code.
std::uint32_t ScanCodeForVk(std::uint32_t code, std::uint32_t mapType);
// The virtual key whose US position is that evdev key; 0 when none.
std::uint8_t VkForEvdevCode(std::uint16_t evdevCode);

}  // namespace reradav
