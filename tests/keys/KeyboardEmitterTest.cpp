#include "keys/KeyboardEmitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/RecordingKeyboard.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

struct TypingCase {
    std::string keys;
    std::string actions;
};

void PrintTo(const TypingCase& c, std::ostream* os) {
    *os << '"' << c.keys << '"';
}

class SimKeysTyping : public ::testing::TestWithParam<TypingCase> {};

TEST_P(SimKeysTyping, SendsTheseEvents) {
    RecordingKeyboard kb;
    KeyboardEmitter emitter(kb);
    ASSERT_EQ(emitter.SimKeys(GetParam().keys), ParseOk);
    EXPECT_EQ(kb.Actions(), GetParam().actions);
}

INSTANTIATE_TEST_SUITE_P(
    KeyStrings, SimKeysTyping,
    ::testing::Values(
        TypingCase{"a", "(65 d) (65 u)"}, TypingCase{"A", "(16 d) (65 d) (65 u) (16 u)"},
        TypingCase{"+(ab)", "(16 d) (65 d) (65 u) (66 d) (66 u) (16 u)"},
        TypingCase{"^+{TAB}", "(17 d) (16 d) (9 d) (9 u) (16 u) (17 u)"},
        TypingCase{"%{F4}", "(18 d) (115 d) (115 u) (18 u)"},
        TypingCase{"{LEFT 2}", "(37 d) (37 u) (37 d) (37 u)"}, TypingCase{"~", "(13 d) (13 u)"},
        // A modifier over an item that holds the same modifier cancels it: a lower-case a.
        TypingCase{"+A", "(16 d) (16 u) (65 d) (65 u) (16 d) (16 u)"},
        TypingCase{"++a", "(16 d) (16 u) (65 d) (65 u) (16 d) (16 u)"},
        TypingCase{"{BREAK}", "(19 d) (19 u)"}, TypingCase{"", ""},
        TypingCase{"Hi!",
                   "(16 d) (72 d) (72 u) (16 u) (73 d) (73 u) (16 d) (49 d) (49 u) (16 u)"}));

TEST(SimKeys, AFailedParseTypesNothingAndLeavesTheKeyboardAlone) {
    RecordingKeyboard kb;
    kb.SetCapsLock(true);
    KeyboardState state{};
    state[65] = 0x80;
    kb.SetThreadState(state);
    KeyboardEmitter emitter(kb);
    EXPECT_EQ(emitter.SimKeys("ab{FOO}"), UnknownKeyName);
    EXPECT_EQ(emitter.SimKeys(std::string(5000, 'a')), QueueFull);
    EXPECT_EQ(kb.Actions(), "");
    EXPECT_TRUE(kb.CapsLock());
    EXPECT_EQ(kb.ThreadState(), state);
}

TEST(SimKeys, CapsLockIsSwitchedOffAroundTheKeysAndOnAgain) {
    RecordingKeyboard kb;
    kb.SetCapsLock(true);
    KeyboardEmitter emitter(kb);
    ASSERT_EQ(emitter.SimKeys("a"), ParseOk);
    EXPECT_EQ(kb.Actions(), "(20 dx) (20 ux) (65 d) (65 u) (20 dx) (20 ux)");
    EXPECT_TRUE(kb.CapsLock());

    kb.ClearActions();
    ASSERT_EQ(emitter.SimKeys(""), ParseOk);  // even an empty key string
    EXPECT_EQ(kb.Actions(), "(20 dx) (20 ux) (20 dx) (20 ux)");
    EXPECT_TRUE(kb.CapsLock());
}

TEST(SimKeys, KeyboardStateIsClearedWhileTypingAndRestoredAfter) {
    RecordingKeyboard kb;
    KeyboardState held{};
    held[16] = 0x80;  // the physical Shift key is down
    kb.SetThreadState(held);
    KeyboardEmitter emitter(kb);
    std::vector<KeyboardState> seen;
    kb.SetClockStep(3);
    kb.SetOnServiceEvents([&] {
        KeyboardState s;
        kb.GetKeyboardState(s);
        seen.push_back(s);
    });
    ASSERT_EQ(emitter.SimKeys("A"), ParseOk);
    EXPECT_EQ(kb.Actions(), "(16 d) (65 d) (65 u) (16 u)");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), KeyboardState{});
    EXPECT_EQ(kb.ThreadState(), held);
}

TEST(SimKeys, CapsLockKeyInsideAKeyStringFlipsTheLockForGood) {
    RecordingKeyboard kb;
    KeyboardEmitter emitter(kb);
    ASSERT_EQ(emitter.SimKeys("{CAPSLOCK}a"), ParseOk);
    EXPECT_EQ(kb.Actions(), "(20 d) (20 u) (65 d) (65 u)");
    EXPECT_TRUE(kb.CapsLock());
    kb.ClearActions();
    ASSERT_EQ(emitter.SimKeys("{CAPSLOCK}a"), ParseOk);  // on before: pressed again after
    EXPECT_EQ(kb.Actions(), "(20 dx) (20 ux) (20 d) (20 u) (65 d) (65 u) (20 dx) (20 ux)");
    EXPECT_FALSE(kb.CapsLock());
}

TEST(SimKeys, WaitsForTheClockBetweenEventsAndRunsPendingEvents) {
    RecordingKeyboard kb;
    KeyboardEmitter emitter(kb);
    kb.SetClockStep(4);
    std::vector<std::size_t> eventsAtService;
    std::vector<bool> typingAtService;
    kb.SetOnServiceEvents([&] {
        eventsAtService.push_back(kb.EventCount());
        typingAtService.push_back(emitter.Typing());
    });
    ASSERT_EQ(emitter.SimKeys("ab"), ParseOk);
    EXPECT_FALSE(emitter.Typing());
    // Every one of the four events is followed by a wait that ran the event loop.
    for (std::size_t n = 1; n <= 4; ++n) {
        EXPECT_NE(std::find(eventsAtService.begin(), eventsAtService.end(), n),
                  eventsAtService.end())
            << "no events serviced after event " << n;
    }
    for (bool typing : typingAtService) {
        EXPECT_TRUE(typing);
    }
}

TEST(SimKeys, TheWaitEndsAcrossTheWrapOfTheClock) {
    RecordingKeyboard kb;
    KeyboardEmitter emitter(kb);
    kb.SetTickCount(0xFFFFFFFEu);
    kb.SetClockStep(3);
    kb.SetOnServiceEvents([&] { ASSERT_LT(kb.ServiceCount(), 100u) << "wait did not end"; });
    ASSERT_EQ(emitter.SimKeys("{TAB 4}"), ParseOk);
    EXPECT_EQ(kb.EventCount(), 8u);
}

TEST(NextKeyAction, ResetForgetsAPendingReleaseAndRereadsTheQueue) {
    RecordingKeyboard kb;
    KeyboardEmitter emitter(kb);
    KeyStringParser parser(kb);
    ASSERT_EQ(parser.ParseKeyString("+b", emitter.Queue()), ParseOk);
    emitter.ResetNextKeyAction();
    EXPECT_EQ(emitter.NextKeyAction(), (KeyAction{16, true}));
    EXPECT_EQ(emitter.NextKeyAction(), (KeyAction{66, true}));
    emitter.ResetNextKeyAction();
    EXPECT_EQ(emitter.NextKeyAction(), (KeyAction{16, true}));  // Shift state was cleared too
    EXPECT_EQ(emitter.NextKeyAction(), (KeyAction{66, true}));
    EXPECT_EQ(emitter.NextKeyAction(), (KeyAction{66, false}));
    EXPECT_EQ(emitter.NextKeyAction(), (KeyAction{16, false}));
    EXPECT_EQ(emitter.NextKeyAction(), std::nullopt);
}

TEST(SimKeys, AltGrIsHeldAroundKeysThatNeedIt) {
    test::AltGrKeyboard kb;
    KeyboardEmitter emitter(kb);
    ASSERT_EQ(emitter.SimKeys("{{}x"), ParseOk);
    EXPECT_EQ(kb.Actions(), "(165 d) (55 d) (55 u) (165 u) (88 d) (88 u)");
}

}  // namespace
}  // namespace reradav
