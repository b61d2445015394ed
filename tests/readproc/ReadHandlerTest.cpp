#include "readproc/ReadHandler.h"

#include <gtest/gtest.h>

#include "keys/RecordingKeyboard.h"
#include "readproc/KeyTrans.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

using namespace test;

struct ByteListCase {
    const char* text;
    std::string bytes;
};

void PrintTo(const ByteListCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParseByteListTest : public ::testing::TestWithParam<ByteListCase> {};

TEST_P(ParseByteListTest, GivesTheBytes) {
    auto bytes = ParseByteList(GetParam().text);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    BeepStrings, ParseByteListTest,
    ::testing::Values(ByteListCase{"7", "\x07"}, ByteListCase{"27,66", "\x1b\x42"},
                      ByteListCase{"1,,2", std::string("\x01\x00\x02", 3)},
                      ByteListCase{"7,", std::string("\x07\x00", 2)},
                      ByteListCase{"256", std::string(1, '\0')}, ByteListCase{"-1", "\xff"},
                      ByteListCase{"2.5,3.5", "\x02\x04"}, ByteListCase{"&H1B,&o101", "\x1b\x41"},
                      ByteListCase{" 6 5 ,\t66", "AB"}, ByteListCase{"x", std::string(1, '\0')},
                      ByteListCase{"65abc,66", "AB"}, ByteListCase{"300,511", "\x2c\xff"}));

TEST(ParseByteList, AValueBeyond32BitsFailsTheWholeConversion) {
    EXPECT_FALSE(ParseByteList("7,1e10").has_value());
    EXPECT_FALSE(ParseByteList("2147483648").has_value());
    EXPECT_TRUE(ParseByteList("2147483647").has_value());
}

class ProcessReadTest : public ::testing::Test {
  protected:
    ProcessReadTest() { InitKeyTrans(settings.KeyTrans); }

    // Runs one read through the handler and returns what was typed.
    std::string Read(std::string read) {
        kb.ClearActions();
        handler.ProcessRead(read);
        EXPECT_TRUE(read.empty());
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
    prefs.postamble = "{TAB}";
    EXPECT_EQ(Read("a{"), "(65 d) (65 u) (16 d) (219 d) (219 u) (16 u) (9 d) (9 u)");
    EXPECT_EQ(window.display, "a{{TAB}");
    settings.KeyTrans['a'] = "{ENTER}";
    settings.KeyTrans['b'] = "";
    EXPECT_EQ(Read("ab"), "(13 d) (13 u) (9 d) (9 u)");
}

TEST_F(ProcessReadTest, PostambleDateTokensAreShownAndTyped) {
    prefs.postamble = "{MONTH}/{DAY}";
    clock.times = {{2026, 3, 5, 0, 0, 0}, {2026, 3, 5, 0, 0, 0}, {2026, 3, 6, 0, 0, 0}};
    std::string typed = Read("1");
    EXPECT_EQ(window.display, "103/05");
    // Typing expands the postamble again, with the clock as it is then.
    EXPECT_EQ(typed,
              "(49 d) (49 u) (48 d) (48 u) (51 d) (51 u) (191 d) (191 u) (48 d) (48 u) "
              "(54 d) (54 u)");
    EXPECT_EQ(settings.Postamble, "{MONTH}/{DAY}");
}

TEST_F(ProcessReadTest, OptoRsPollsBeforeEveryOtherReadAndDropsTheRest) {
    settings.Handshake = HandshakeOptoRs;
    prefs.Box(CheckBox::BeepOnInput) = 1;
    settings.ScannerBeepString = "7";
    std::vector<std::string> typed;
    for (const char* read : {"1", "2", "3", "4"}) {
        typed.push_back(Read(read));
    }
    EXPECT_EQ(typed[0], "(49 d) (49 u)");
    EXPECT_EQ(typed[1], "");
    EXPECT_EQ(typed[2], "(51 d) (51 u)");
    EXPECT_EQ(typed[3], "");
    EXPECT_EQ(serial.output, "?\r\x07?\r\x07");
    EXPECT_EQ(beeper.beeps.size(), 2u);
    EXPECT_EQ(window.displayCount, 2);
    EXPECT_EQ(handler.LastRead(), "3");
}

TEST_F(ProcessReadTest, TrailingLineEndsAreRemovedWhenAsked) {
    prefs.Box(CheckBox::RemoveCRs) = 1;
    const std::pair<std::string, std::string> cases[] = {
        {"123\r\n", "123"},         {"123\n\r", "123\n"}, {"123\r", "123"},
        {"123\n", "123"},           {"12{ENTER}", "12"},  {"12{ENTER}\r\n", "12{ENTER}"},
        {"12{enter}", "12{enter}"}, {"\r\n\r\n", "\r\n"}, {"{ENTER}", ""},
    };
    for (const auto& [read, kept] : cases) {
        Read(read);
        EXPECT_EQ(handler.LastRead(), kept) << read;
    }
    prefs.Box(CheckBox::RemoveCRs) = 0;
    Read("123\r\n");
    EXPECT_EQ(handler.LastRead(), "123\r\n");
}

TEST_F(ProcessReadTest, DuplicatesBeepAndAnswerTheScannerButAreNotShownOrTyped) {
    prefs.Box(CheckBox::IgnoreDups) = 1;
    prefs.Box(CheckBox::BeepOnInput) = 1;
    prefs.sound = 2;
    settings.ScannerBeepString = "27,66";
    EXPECT_NE(Read("A1"), "");
    window.display.clear();
    EXPECT_EQ(Read("A1"), "");
    EXPECT_EQ(window.display, "");
    EXPECT_EQ(serial.output, "\x1b\x42\x1b\x42");
    EXPECT_EQ(beeper.beeps, (std::vector<BeepType>{MB_ICONEXCLAMATION, MB_ICONEXCLAMATION}));
    EXPECT_NE(Read("B"), "");
    EXPECT_NE(Read("A1"), "");  // a different code in between makes it count again
}

TEST_F(ProcessReadTest, LastReadFollowsEveryReadEvenWithDuplicatesAllowed) {
    Read("X");
    EXPECT_EQ(Read("X"), "(16 d) (88 d) (88 u) (16 u)");
    prefs.Box(CheckBox::IgnoreDups) = 1;
    EXPECT_EQ(Read("X"), "");
}

TEST_F(ProcessReadTest, NothingIsTypedWhileTheMainWindowIsActive) {
    window.active = true;
    prefs.postamble = "{ENTER}";
    EXPECT_EQ(Read("42"), "");
    EXPECT_EQ(window.display, "42{ENTER}");
    EXPECT_EQ(handler.LastRead(), "42");
}

TEST_F(ProcessReadTest, AnEmptyReadTypesOnlyThePostamble) {
    prefs.Box(CheckBox::BeepOnInput) = 1;
    prefs.postamble = "{TAB}";
    settings.ScannerBeepString = "7";
    EXPECT_EQ(Read(""), "(9 d) (9 u)");
    EXPECT_EQ(window.display, "{TAB}");
    EXPECT_EQ(serial.output, "\x07");
    EXPECT_EQ(beeper.beeps.size(), 1u);
}

TEST_F(ProcessReadTest, AnEmptyReadIsADuplicateOfTheStartingLastRead) {
    prefs.Box(CheckBox::IgnoreDups) = 1;
    prefs.postamble = "{TAB}";
    EXPECT_EQ(Read(""), "");
    EXPECT_EQ(window.displayCount, 0);
}

TEST_F(ProcessReadTest, SoundPositionsChooseTheBeep) {
    prefs.Box(CheckBox::BeepOnInput) = 1;
    for (int position : {0, 1, 2, 3, 4, -1, 7}) {
        prefs.sound = position;
        Read("1");
    }
    EXPECT_EQ(beeper.beeps, (std::vector<BeepType>{MB_OK, MB_ICONASTERISK, MB_ICONEXCLAMATION,
                                                   MB_ICONHAND, MB_ICONQUESTION, MB_OK, MB_OK}));
}

TEST_F(ProcessReadTest, ABadBeepStringSendsNothingButTheReadGoesOn) {
    settings.ScannerBeepString = "7,1e99";
    EXPECT_EQ(Read("5"), "(53 d) (53 u)");
    EXPECT_EQ(serial.output, "");
}

TEST(ProcessReadWithoutKeyboard, ShowsTheReadAndTypesNothing) {
    AppSettings settings;
    InitKeyTrans(settings.KeyTrans);
    FakeSettingsControls prefs;
    FakeSerial serial;
    FakeBeeper beeper;
    FakeWindow window;
    FakeClock clock;
    ReadHandler handler({settings, prefs, serial, beeper, window, clock, nullptr});
    std::string read = "123";
    handler.ProcessRead(read);
    EXPECT_EQ(window.display, "123");
    EXPECT_TRUE(read.empty());
}

}  // namespace
}  // namespace reradav
