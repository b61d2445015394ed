#include "keys/VirtualKeys.h"

#include <array>
#include <utility>

namespace reradav {
namespace {

// Windows virtual-key code -> evdev key code (values from linux/input-event-codes.h).
constexpr std::pair<std::uint8_t, std::uint16_t> kVkToEvdev[] = {
    {0x08, 14},   // BACK -> KEY_BACKSPACE
    {0x09, 15},   // TAB
    {0x0C, 76},   // CLEAR -> KEY_KP5 (Clear is keypad 5 without Num Lock)
    {0x0D, 28},   // RETURN -> KEY_ENTER
    {0x10, 42},   // SHIFT -> KEY_LEFTSHIFT
    {0x11, 29},   // CONTROL -> KEY_LEFTCTRL
    {0x12, 56},   // MENU -> KEY_LEFTALT
    {0x13, 119},  // PAUSE
    {0x14, 58},   // CAPITAL -> KEY_CAPSLOCK
    {0x1B, 1},    // ESCAPE
    {0x20, 57},   // SPACE
    {0x21, 104},  // PRIOR -> KEY_PAGEUP
    {0x22, 109},  // NEXT -> KEY_PAGEDOWN
    {0x23, 107},  // END
    {0x24, 102},  // HOME
    {0x25, 105},  // LEFT
    {0x26, 103},  // UP
    {0x27, 106},  // RIGHT
    {0x28, 108},  // DOWN
    {0x2C, 99},   // SNAPSHOT -> KEY_SYSRQ (Print)
    {0x2D, 110},  // INSERT
    {0x2E, 111},  // DELETE
    {0x2F, 138},  // HELP
    {0x30, 11},  {0x31, 2},   {0x32, 3},   {0x33, 4},   {0x34, 5},  {0x35, 6},  {0x36, 7},
    {0x37, 8},   {0x38, 9},   {0x39, 10},  {0x41, 30},  {0x42, 48}, {0x43, 46}, {0x44, 32},
    {0x45, 18},  {0x46, 33},  {0x47, 34},  {0x48, 35},  {0x49, 23}, {0x4A, 36}, {0x4B, 37},
    {0x4C, 38},  {0x4D, 50},  {0x4E, 49},  {0x4F, 24},  {0x50, 25}, {0x51, 16}, {0x52, 19},
    {0x53, 31},  {0x54, 20},  {0x55, 22},  {0x56, 47},  {0x57, 17}, {0x58, 45}, {0x59, 21},
    {0x5A, 44},  {0x5B, 125},  // LWIN -> KEY_LEFTMETA
    {0x5C, 126},               // RWIN -> KEY_RIGHTMETA
    {0x5D, 127},               // APPS -> KEY_COMPOSE (menu key)
    {0x60, 82},  {0x61, 79},  {0x62, 80},  {0x63, 81},  {0x64, 75},  // keypad 0-4
    {0x65, 76},  {0x66, 77},  {0x67, 71},  {0x68, 72},  {0x69, 73},  // keypad 5-9
    {0x6A, 55},                                                      // MULTIPLY -> KEY_KPASTERISK
    {0x6B, 78},                                                      // ADD -> KEY_KPPLUS
    {0x6C, 121},                                                     // SEPARATOR -> KEY_KPCOMMA
    {0x6D, 74},                                                      // SUBTRACT -> KEY_KPMINUS
    {0x6E, 83},                                                      // DECIMAL -> KEY_KPDOT
    {0x6F, 98},                                                      // DIVIDE -> KEY_KPSLASH
    {0x70, 59},  {0x71, 60},  {0x72, 61},  {0x73, 62},  {0x74, 63}, {0x75, 64},  // F1-F6
    {0x76, 65},  {0x77, 66},  {0x78, 67},  {0x79, 68},  {0x7A, 87}, {0x7B, 88},  // F7-F12
    {0x7C, 183}, {0x7D, 184}, {0x7E, 185}, {0x7F, 186},                          // F13-F16
    {0x80, 187}, {0x81, 188}, {0x82, 189}, {0x83, 190},                          // F17-F20
    {0x84, 191}, {0x85, 192}, {0x86, 193}, {0x87, 194},                          // F21-F24
    {0x90, 69},                                                                  // NUMLOCK
    {0x91, 70},                                                                  // SCROLL
    {0xA0, 42},                                                                  // LSHIFT
    {0xA1, 54},                                                                  // RSHIFT
    {0xA2, 29},                                                                  // LCONTROL
    {0xA3, 97},                                                                  // RCONTROL
    {0xA4, 56},                                                                  // LMENU
    {0xA5, 100},  // RMENU -> KEY_RIGHTALT (AltGr)
    {0xBA, 39},   // OEM_1 ;: -> KEY_SEMICOLON
    {0xBB, 13},   // OEM_PLUS =+ -> KEY_EQUAL
    {0xBC, 51},   // OEM_COMMA
    {0xBD, 12},   // OEM_MINUS
    {0xBE, 52},   // OEM_PERIOD -> KEY_DOT
    {0xBF, 53},   // OEM_2 /? -> KEY_SLASH
    {0xC0, 41},   // OEM_3 `~ -> KEY_GRAVE
    {0xDB, 26},   // OEM_4 [{ -> KEY_LEFTBRACE
    {0xDC, 43},   // OEM_5 \| -> KEY_BACKSLASH
    {0xDD, 27},   // OEM_6 ]} -> KEY_RIGHTBRACE
    {0xDE, 40},   // OEM_7 '" -> KEY_APOSTROPHE
    {0xE2, 86},   // OEM_102 <> -> KEY_102ND
};

struct Tables {
    std::array<std::uint16_t, 256> toEvdev{};
    std::array<std::uint8_t, 256> fromEvdev{};
};

constexpr Tables MakeTables() {
    Tables t;
    for (auto [vk, code] : kVkToEvdev) {
        t.toEvdev[vk] = code;
    }
    // Reverse lookups prefer the first listed VK: generic Shift, Control and Alt over the
    // sided ones. Clear and keypad 5 share a key; the key itself is keypad 5.
    for (auto [vk, code] : kVkToEvdev) {
        if (code < t.fromEvdev.size() && t.fromEvdev[code] == 0) {
            t.fromEvdev[code] = vk;
        }
    }
    t.fromEvdev[76] = 0x65;
    return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

std::uint16_t EvdevCodeForVk(std::uint8_t vk) {
    return kTables.toEvdev[vk];
}

std::uint32_t ScanCodeForVk(std::uint32_t code, std::uint32_t mapType) {
    if (mapType != 0 || code > 0xFF) {
        return 0;
    }
    return EvdevCodeForVk(static_cast<std::uint8_t>(code)) & 0xFFu;
}

std::uint8_t VkForEvdevCode(std::uint16_t evdevCode) {
    return evdevCode < kTables.fromEvdev.size() ? kTables.fromEvdev[evdevCode] : 0;
}

}  // namespace reradav
