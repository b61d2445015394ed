#include "keys/KeyboardEmitter.h"

#include <gtest/gtest.h>

#include "support/Fakes.h"
#include "support/TypedText.h"

namespace reradav {
namespace {

// On a layout with AltGr and a character only the platform can type (see AltGrKeyboard), with
// the user holding Shift down. Every row is also typed paced, the event loop run after each key
// event, on a clean keyboard state; the state and Caps Lock are put back after.
TEST(KeyboardEmitter, TypesWhatTheKeyStringSaysPacedOnACleanKeyboardState) {
    using Row = std::tuple<const char*, const char*, ParseResult, bool, bool, const char*>;
    for (auto [name, keys, result, capsBefore, capsAfter, typed] :
         {Row{"a modifier is let go after its item", "+a(b)+(cd)e", ParseOk, 0, 0, "AbCDe"},
          Row{"a modifier over an item that holds it cancels it", "+A", ParseOk, 0, 0, "a"},
          Row{"chords keep their modifiers", "%b^c", ParseOk, 0, 0, "{4:66}{2:67}"},
          Row{"Caps Lock on does not change the case", "aB1", ParseOk, 1, 1, "aB1"},
          Row{"AltGr is let go before the next key", "{{}x", ParseOk, 0, 0, "{x"},
          Row{"the platform types a character no key has", "\xF1", ParseOk, 0, 0, "\xF1"},
          Row{"Caps Lock typed flips the lock for good", "^{CAPSLOCK}", ParseOk, 1, 0, ""},
          Row{"an unparsable string types nothing", "ab{FOO}", UnknownKeyName, 0, 0, ""}}) {
        test::AltGrKeyboard kb;
        KeyboardEmitter emitter(kb);
        KeyboardState held{};
        held[16] = 0x80, held[20] = capsBefore;
        kb.SetThreadState(held), kb.SetCapsLock(capsBefore), kb.SetClockStep(4);
        std::set<std::size_t> ranAfter;  // how many key events had been sent when the loop ran
        kb.SetOnServiceEvents([&] {
            EXPECT_TRUE(emitter.Typing() && kb.ThreadState() == KeyboardState{}) << name;
            ranAfter.insert(kb.EventCount());
        });
        EXPECT_EQ(emitter.SimKeys(keys), result) << name;
        EXPECT_EQ(test::TypedText(kb, kb.Actions(), capsBefore), typed) << name;
        EXPECT_EQ(kb.CapsLock(), capsAfter) << name;
        // Caps Lock's own toggles, before and after, are not paced.
        EXPECT_EQ(ranAfter.size() + (capsBefore ? 4 : 0), kb.EventCount()) << name;
        EXPECT_TRUE(!emitter.Typing() && kb.ThreadState() == held) << name;
    }
}

// A quit lets typing go on for two seconds, then lets go of the keys, puts Caps Lock back and
// types no more.
TEST(KeyboardEmitter, AQuitStopsTypingAfterTheGraceWithNoKeyDown) {
    RecordingKeyboard kb;
    KeyboardEmitter emitter(kb);
    kb.SetCapsLock(true), kb.SetClockStep(4);  // a millisecond a key: a thousand in two seconds
    kb.SetOnServiceEvents([&] { emitter.RequestStop(); });
    emitter.SimKeys("+({a 3000})"), emitter.SimKeys("b");
    const std::string typed = test::TypedText(kb, kb.Actions(), true);
    EXPECT_EQ(typed, std::string(typed.size(), 'A'));
    EXPECT_NEAR(static_cast<double>(typed.size()), 1000, 10);
    EXPECT_TRUE(kb.CapsLock());
}

}  // namespace
}  // namespace reradav
