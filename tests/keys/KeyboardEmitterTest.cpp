#include "keys/KeyboardEmitter.h"

#include <gtest/gtest.h>
#include <string>

#include "keys/RecordingKeyboard.h"
#include "support/Fakes.h"

namespace reradav {

// A quit lets typing go on for two seconds, then lets go of the keys and types no more.
TEST(SimKeys, AQuitStopsTypingAfterTheGraceWithNoKeyDown) {
    RecordingKeyboard kb;
    KeyboardEmitter emitter(kb);
    kb.SetClockStep(4);  // about a millisecond a key event
    kb.SetOnServiceEvents([&] { emitter.RequestStop(); });
    ASSERT_EQ(emitter.SimKeys("+({a 3000})"), ParseOk);
    ASSERT_EQ(emitter.SimKeys("b"), ParseOk);
    EXPECT_NEAR(static_cast<double>(kb.EventCount()), 2000, 20) << "nothing after the grace";
    EXPECT_EQ(kb.Actions().substr(kb.Actions().size() - 20), "(65 d) (65 u) (16 u)");
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
    altGr.ClearActions();
    KeyboardEmitter de(altGr);
    ASSERT_EQ(de.SimKeys("\xF1\xFC"), ParseOk);
    ASSERT_EQ(de.SimKeys("\xFC\xDF"), ParseOk);
    EXPECT_EQ(altGr.Actions(), "(c241 d) (c241 u)");
    EXPECT_EQ(de.TakeUntypable(), "\xFC\xDF");
    EXPECT_EQ(de.TakeUntypable(), "");
}

}  // namespace reradav
