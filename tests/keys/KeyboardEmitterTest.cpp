#include "keys/KeyboardEmitter.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "keys/RecordingKeyboard.h"
#include "keys/VirtualKeys.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

// Each row is "key string => queued codes", or "=> !n" for ParseResult n. 16, 17, 18 and 165
// are the toggles of Shift, Control, Alt and AltGr.
template <typename... Rows>
void ExpectParses(KeyboardPlatform& kb, Rows... rows) {
    for (std::string_view row : {std::string_view(rows)...}) {
        const std::size_t arrow = row.find(" => ");
        KeyCodeQueue q;
        const ParseResult r = KeyStringParser(kb).ParseKeyString(row.substr(0, arrow), q);
        std::string out = r == ParseOk ? "" : "!" + std::to_string(r);
        for (int i = 0; i < q.writeIndex && r == ParseOk; ++i) {
            out += (i ? " " : "") + std::to_string(q.codes[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(out, row.substr(arrow + 4)) << row;
    }
}

TEST(ParseKeyString, QueuesTheKeysOrFails) {
    RecordingKeyboard kb;
    // "\xE9" has no key on a US layout: -1 means Shift and key 255, not AltGr.
    ExpectParses(kb, " => ", "ab => 65 66", "A => 16 65 16", "~ => 13", "a) => 65 16 48 16",
                 "\xE9 => 16 255 16", "{ENTER}{left}x => 13 37 88", "{LEFT 2.5} => 37 37",
                 "{A 3} => 16 65 65 65 16", "{}} => 16 221 16", "{} 3} => 16 221 221 221 16",
                 "{ } => 32", "{(} => 16 57 16", "{LEFT 3}4} => 37 37 37 52 16 221 16", "() => ",
                 "+(ab) => 16 65 66 16", "^{F4} => 17 115 17", "% => 18 18", "+A => 16 16 65 16 16",
                 "((a)(b))c => 65 66 67", "%(+a) => 18 16 65 16 18");
    // Missing close brace (1), unknown key name (2), missing close paren (3), bad repeat count
    // (4), queue full (5: 4,096 codes, and "{A 4095}" needs two Shift toggles besides).
    ExpectParses(kb, "{LEFT => !1", "{} => !1", "{LEFT 3 => !1", "{ 3} => !2", "(a{FOO}) => !2",
                 "(ab => !3", "(+) => !3", "{LEFT 0} => !4", "{LEFT 40000} => !4",
                 "{LEFT -1} => !5", "{A 4095} => !5");
    // Deep nesting fails or succeeds without overflowing the stack; past 32,766 characters the
    // key string is too long (6).
    const std::string deep = std::string(16382, '(') + "a" + std::string(16382, ')');
    ExpectParses(kb, std::string(30000, '^') + "a => !5", deep + "b => 65 66", deep + "bc => !6");
}

TEST(SimKeys, TypesOnACleanKeyboardStateWaitingForTheClockAndRestoresCapsLockAndTheState) {
    RecordingKeyboard kb;
    KeyboardEmitter emitter(kb);
    KeyboardState held{};
    held[16] = 0x80, held[20] = 1;  // Shift held down, Caps Lock on
    kb.SetThreadState(held);
    kb.SetCapsLock(true);
    kb.SetClockStep(4);  // two readings of the clock wait for it, each running the event loop
    std::string eventsAtService;
    kb.SetOnServiceEvents([&] {
        EXPECT_EQ(kb.ThreadState(), KeyboardState{});
        EXPECT_TRUE(emitter.Typing());
        eventsAtService += std::to_string(kb.EventCount());
    });
    EXPECT_EQ(emitter.SimKeys("ab{FOO}"), UnknownKeyName);
    // A modifier over an item that holds the same modifier cancels it: "+A" is a lower-case a.
    ASSERT_EQ(emitter.SimKeys("+A%b"), ParseOk);
    EXPECT_EQ(kb.Actions(),
              "(20 dx) (20 ux) (16 d) (16 u) (65 d) (65 u) (16 d) (16 u) (18 d) (66 d) (66 u) "
              "(18 u) (20 dx) (20 ux)");
    EXPECT_EQ(eventsAtService, "33445566778899101011111212");
    EXPECT_FALSE(emitter.Typing());
    EXPECT_EQ(kb.ThreadState(), held);
    EXPECT_TRUE(kb.CapsLock());
    kb.ClearActions();
    ASSERT_EQ(emitter.SimKeys("^{CAPSLOCK}"), ParseOk);  // flips the lock for good
    EXPECT_EQ(kb.Actions(), "(20 dx) (20 ux) (17 d) (20 d) (20 u) (17 u) (20 dx) (20 ux)");
    EXPECT_FALSE(kb.CapsLock());
    test::AltGrKeyboard altGr;
    ASSERT_EQ(KeyboardEmitter(altGr).SimKeys("{{}x"), ParseOk);
    EXPECT_EQ(altGr.Actions(), "(165 d) (55 d) (55 u) (165 u) (88 d) (88 u)");
}

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

}  // namespace
}  // namespace reradav
