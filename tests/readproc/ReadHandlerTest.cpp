#include "readproc/ReadHandler.h"

#include <gtest/gtest.h>

#include "keys/RecordingKeyboard.h"
#include "readproc/KeyTrans.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

using namespace test;

TEST(ParseByteList, LowBytesOfRoundedFieldsNothingWhenOneIsBeyond32Bits) {
    EXPECT_EQ(ParseByteList("27,66,,-1,300,2.5,3.5,65abc, &H42,2147483647"),
              std::string("\x1b\x42\x00\xff\x2c\x02\x04\x41\x42\xff", 10));
    EXPECT_EQ(ParseByteList("7,2147483648"), std::nullopt);
}

struct ProcessReadTest : ::testing::Test {
    ProcessReadTest() { InitKeyTrans(settings.KeyTrans); }
    std::string Read(std::string read) {  // what was typed
        kb.ClearActions();
        handler.ProcessRead(read);
        return kb.Actions();
    }

    AppSettings settings;
    FakeSettingsControls prefs;
    FakeSerial serial;
    FakeBeeper beeper;
    FakeWindow window;
    FakeClock clock;
    RecordingKeyboard kb;
    KeyboardEmitter emitter{kb};
    ReadHandler handler{{settings, prefs, serial, beeper, window, clock, &emitter}};
};

TEST_F(ProcessReadTest, TypesEachCharacterThroughItsEntryThenThePostamble) {
    prefs.postamble = "{DAY}";
    settings.ScannerBeepString = "7,1e99";  // beyond 32 bits: nothing is sent
    settings.KeyTrans['b'] = "";
    // Date tokens are expanded for the display, then again for typing.
    clock.times = {{2026, 3, 5, 0, 0, 0}, {2026, 3, 6, 0, 0, 0}};
    EXPECT_EQ(Read("a{b"),
              "(65 d) (65 u) (16 d) (219 d) (219 u) (16 u) (48 d) (48 u) (54 d) (54 u)");
    EXPECT_EQ(window.display + settings.Postamble + serial.output, "a{b05{DAY}");
    EXPECT_EQ(window.status,
              "keyboard: nothing is typed for byte 0x62: its translation entry is empty");
    window.active = true;  // nothing is typed into our own window
    EXPECT_EQ(Read("42"), "");
    EXPECT_EQ(window.display, "4206");
    // Built in: control codes type nothing, other characters themselves.
    const KeyTransTable& t = settings.KeyTrans;
    EXPECT_EQ(t[31] + t[128] + t[159] + "|" + t[33] + t[161] + t[255], "|!\xA1\xFF");
    // What the layout cannot type is said once for the read, and cleared by a read typed whole.
    window.active = false;
    EXPECT_EQ(Read("\xFC\xF1\xFC"), "(48 d) (48 u) (54 d) (54 u)");
    EXPECT_EQ(window.status, "keyboard: cannot type '\xFC', '\xF1'");
    Read("x");
    EXPECT_EQ(window.status + UntypableText("\xF1", "us"), "cannot type '\xF1' on layout us");
    Read("\x80\n\x80\xF1");  // what types nothing is said with it
    EXPECT_EQ(window.status,
              "keyboard: cannot type '\xF1'; nothing is typed for bytes 0x80, 0x0A: "
              "their translation entries are empty");
    kb.SetFailure("gone"), Read("\xF1");  // keys no longer arrive: that is said instead
    EXPECT_EQ(window.status, "keyboard: gone");
}

TEST_F(ProcessReadTest, TrailingLineEndsAreRemovedWhenAsked) {
    prefs.Box(CheckBox::RemoveCRs) = 1;
    const std::pair<std::string, std::string> rows[] = {
        {"12\r\n", "12"}, {"1\n\r", "1\n"},         {"1{ENTER}\r\n", "1{ENTER}"},
        {"{ENTER}", ""},  {"1{enter}", "1{enter}"}, {"\r\n\r\n", "\r\n"}};
    for (const auto& [read, kept] : rows) {
        Read(read);
        EXPECT_EQ(handler.LastRead(), kept) << read;
    }
}

TEST_F(ProcessReadTest, DuplicatesAndOptoRsPollAnswersBeepAndAnswerTheScannerButAreNotTyped) {
    prefs.Box(CheckBox::IgnoreDups) = prefs.Box(CheckBox::BeepOnInput) = 1;
    prefs.sound = 2;
    settings.ScannerBeepString = "27,66";
    std::string typed;
    for (const char* read : {"A1", "A1", "B", "A1"}) {
        typed += Read(read).substr(0, 6) + "|";
    }
    settings.Handshake = HandshakeOptoRs;  // every other read answers the poll and is dropped
    for (const char* read : {"1", "2", "3", "4"}) {
        typed += Read(read).substr(0, 6) + "|";
    }
    EXPECT_EQ(typed, "(16 d)||(16 d)|(16 d)|(49 d)||(51 d)||");
    EXPECT_EQ(window.displayCount, 5);
    EXPECT_EQ(serial.output, "\x1b\x42\x1b\x42\x1b\x42\x1b\x42?\r\x1b\x42?\r\x1b\x42");
    EXPECT_EQ(beeper.beeps, std::vector<BeepType>(6, kMbIconExclamation));
}

}  // namespace
}  // namespace reradav
