#include "readproc/ReadHandler.h"

#include <gtest/gtest.h>

#include "readproc/KeyTrans.h"
#include "support/Fakes.h"
#include "support/TypedText.h"

namespace reradav {
namespace {

using namespace test;
using Rows = std::initializer_list<std::tuple<const char*, std::string, const char*, const char*>>;

TEST(ParseByteList, LowBytesOfRoundedFieldsNothingWhenOneIsBeyond32Bits) {
    EXPECT_EQ(ParseByteList("27,66,,-1,300,2.5,3.5,65abc, &H42,2147483647"),
              std::string("\x1b\x42\x00\xff\x2c\x02\x04\x41\x42\xff", 10));
    EXPECT_EQ(ParseByteList("7,2147483648"), std::nullopt);
}

// Reads handled in turn on a US layout with the built-in translation table, in a window with
// its preferences, its scanner, its beeper and its clock.
struct ProcessReadTest : ::testing::Test, FakeWindow, FakeSerial, FakeSettingsControls, FakeBeeper {
    ProcessReadTest() { InitKeyTrans(settings.KeyTrans); }
    // Each row: what breaks if it fails, a read, what it types, and what `seen` then says (the
    // display and what the scanner was sent are then those of that read only).
    void Expect(const std::string& seen, Rows rows) {
        for (auto [name, read, typed, then] : rows) {
            kb.ClearActions(), display.clear(), output.clear(), handler.ProcessRead(read);
            EXPECT_EQ(TypedText(kb, kb.Actions()), typed) << name;
            EXPECT_EQ(seen, then) << name;
        }
    }

    AppSettings settings;
    FakeClock clock;
    RecordingKeyboard kb;
    KeyboardEmitter emitter{kb};
    ReadHandler handler{{settings, *this, *this, *this, *this, clock, &emitter}};
};

// The keyboard's status stays until a read is typed whole.
TEST_F(ProcessReadTest, EachByteTypesItsEntryAndWhatCannotBeTypedIsSaid) {
    settings.KeyTrans['b'] = "";
    Expect(status, {{"characters type themselves, $ as F9", "a{1 ~\r\t$", "a{1 ~\r\t{0:120}", ""},
                    {"an emptied entry types nothing", "abc", "ac",
                     "keyboard: nothing is typed for byte 0x62: its translation entry is empty"},
                    {"control codes type nothing", "\x1f\x9f\xA0", " ",
                     "keyboard: nothing is typed for bytes 0x1F, 0x9F: "
                     "their translation entries are empty"},
                    {"what the layout lacks, each once", "\xFC\xF1\xFC", "",
                     "keyboard: cannot type '\xFC', '\xF1'"},
                    {"a read typed whole says nothing", "x", "x", ""},
                    {"both at once", "\x80\n\x80\xF1", "",
                     "keyboard: cannot type '\xF1'; nothing is typed for bytes 0x80, 0x0A: their "
                     "translation entries are empty"}});
    kb.SetFailure("gone");  // keys no longer arrive: that is said instead
    Expect(status, {{"a failure of the keyboard is said instead", "\xF1", "", "keyboard: gone"}});
}

TEST_F(ProcessReadTest, ThePostambleFollowsWithItsDateTokensExpandedWhenTyped) {
    postamble = "{DAY}";
    clock.times = {{2026, 3, 5, 0, 0, 0}, {2026, 3, 6, 0, 0, 0}};  // shown, then typed
    Expect(display, {{"the date typed is that of the typing", "a", "a06", "a05"}});
}

TEST_F(ProcessReadTest, NothingIsTypedIntoOurOwnWindow) {
    active = true;
    Expect(display, {{"shown but not typed", "42", "", "42"}});
}

TEST_F(ProcessReadTest, TrailingLineEndsAreRemovedWhenAsked) {
    Box(CheckBox::RemoveCRs) = 1;
    Expect(display, {{"a CR LF", "12\r\n", "12", "12"},
                     {"LF CR: the CR only", "1\n\r", "1", "1\n"},
                     {"an {ENTER} before them stays", "1{ENTER}\r\n", "1{ENTER}", "1{ENTER}"},
                     {"an {ENTER} at the end goes", "{ENTER}", "", ""},
                     {"{enter} in lower case stays", "1{enter}", "1{enter}", "1{enter}"},
                     {"one pair only", "\r\n\r\n", "\r", "\r\n"}});
}

// Every read beeps and answers the scanner, even a duplicate, which is neither shown nor typed;
// with Opto-RS, every other read answers the poll and is dropped whole. In turn.
TEST_F(ProcessReadTest, DuplicatesAndOptoRsPollAnswersAreAnsweredButNotTyped) {
    Box(CheckBox::IgnoreDups) = Box(CheckBox::BeepOnInput) = 1, sound = 2;
    settings.ScannerBeepString = "27,66";
    Expect(output, {{"a read", "A1", "A1", "\x1b\x42"},
                    {"its duplicate", "A1", "", "\x1b\x42"},
                    {"another", "B", "B", "\x1b\x42"},
                    {"the first again", "A1", "A1", "\x1b\x42"}});
    settings.Handshake = HandshakeOptoRs;
    Expect(output, {{"Opto-RS: a read answers the poll", "1", "1", "?\r\x1b\x42"},
                    {"the next is dropped", "2", "", ""},
                    {"the one after answers", "3", "3", "?\r\x1b\x42"}});
    EXPECT_EQ(beeps, std::vector<BeepType>(6, kMbIconExclamation));
    EXPECT_EQ(displayCount, 5) << "neither a duplicate nor a dropped read is shown";
}

}  // namespace
}  // namespace reradav
