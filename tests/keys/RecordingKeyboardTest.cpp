#include "keys/RecordingKeyboard.h"

#include <gtest/gtest.h>
#include <utility>

#include "keys/VirtualKeys.h"

namespace reradav {

TEST(RecordingKeyboard, UsLayoutAndScanCodes) {
    const std::pair<int, int> keys[] = {
        {'a', 65},    {'z', 90},    {'A', 0x141}, {'Z', 0x15A}, {'0', 48},    {'9', 57},
        {')', 0x130}, {'(', 0x139}, {';', 0xBA},  {':', 0x1BA}, {'\'', 0xDE}, {'"', 0x1DE},
        {8, 8},       {9, 9},       {13, 13},     {27, 27},     {10, 0x20D},  {0xE9, -1}};
    for (const auto& [c, key] : keys) {
        EXPECT_EQ(UsLayoutVkKeyScan(static_cast<std::uint8_t>(c)), key) << c;
    }
    EXPECT_EQ(RecordingKeyboard().MapVirtualKeyA(0x41, 0) + ScanCodeForVk(0x41, 1), 30u);
    EXPECT_EQ(ScanCodeForVk(0x141, 0) + VkForEvdevCode(255) + VkForEvdevCode(256), 0u);
    EXPECT_EQ(VkForEvdevCode(42), VK_SHIFT);  // generic Shift over left Shift
    EXPECT_EQ(VkForEvdevCode(76), 0x65);      // keypad 5 over Clear
}

}  // namespace reradav
