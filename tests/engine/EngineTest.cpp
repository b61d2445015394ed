// End to end: bytes on a pseudo-terminal come out as key presses in a real X window.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QTimer>
#include <cstring>

#include "common/Utf8ToWindows1252.h"
#include "common/ui/Windows1252.h"
#include "support/X11Wedge.h"

namespace reradav {

using namespace std::chrono_literals;

// The engine typing into a real window under a private X server; lent keys are lent again at
// once, as no target here falls behind.
class EngineX11 : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::string error; !wedge.Start(&error, keepMs_)) {
            GTEST_SKIP() << "no X server for the end-to-end test: " << error;
        }
    }
    // What the target received, once it holds `size` bytes or the time ran out.
    std::string Received(std::size_t size, std::chrono::seconds limit) {
        test::WaitUntil([&] { return wedge.RunFor(10), wedge.Received().size() >= size; }, limit);
        wedge.RunFor(50);
        return wedge.Received();
    }
    std::uint32_t keepMs_ = 0;
    test::X11Wedge wedge;
};

// Every character and named key typed exactly on each layout, whether a key, a dead key or no
// key at all types it; afterwards no key is down, and once the engine ends the keymap is as it
// was.
TEST_F(EngineX11, EveryCharacterArrivesOnEveryLayout) {
    // Through the built-in table, which types $ and % as F9 and F10 and nothing for 128-159
    // unless the settings name them (KeyTrans128=€); named keys the default keymap puts
    // elsewhere (F13 on XF86Tools, Clear on keypad 5).
    std::string scan = "\x01\t";
    std::string expected = "<F13><F16><Clear><Tab>";
    wedge.settings.KeyTrans[1] = "{F13}{F16}{CLEAR}";
    for (int c = 0x20; c <= 0xFF; ++c) {
        const QString text = FromWindows1252(std::string(1, static_cast<char>(c)));
        if (c != 0x7F && c != 0xA0 && text.at(0).unicode() > 0x9F) {
            scan += static_cast<char>(c);
            expected += c == '$' ? "<F9>" : c == '%' ? "<F10>" : text.toStdString();
            if (c >= 0x80 && c < 0xA0)
                wedge.settings.KeyTrans[static_cast<std::size_t>(c)] = scan.substr(scan.size() - 1);
        }
    }
    expected += "<Return>";
    std::string before;
    for (const std::string layout :
         {"us", "de", "fr", "es", "pt", "ch", "gb", "it", "se", "us:dvorak"}) {
        const std::size_t colon = std::min(layout.find(':'), layout.size());
        ASSERT_TRUE(wedge.X().SetLayout(layout.substr(0, colon),
                                        layout.substr(colon + (colon < layout.size()))));
        wedge.RunFor(100);
        before = wedge.X().KeyboardSnapshot();
        wedge.ClearReceived();
        wedge.Scan(scan + "\r");
        EXPECT_EQ(Received(expected.size(), 8s), expected) << layout;
        EXPECT_TRUE(wedge.X().KeyboardSnapshot().ends_with("down:")) << layout;
    }
    wedge.StopWedge();
    EXPECT_EQ(wedge.X().KeyboardSnapshot(), before);
}

// Caps Lock is switched by its function wherever the options put it, and letters keep their case.
TEST_F(EngineX11, CapsLockIsSwitchedByItsFunction) {
    const auto xdotool = test::FindProgram("xdotool");
    if (!xdotool)
        GTEST_SKIP() << "no xdotool";
    wedge.settings.KeyTrans[1] = "{CAPSLOCK}";
    for (const char* option : {"caps:swapescape", "caps:ctrl_modifier", ""}) {
        ASSERT_TRUE(wedge.X().SetLayout("us", "", option));
        for (const char* expected : {"abC<Return>A", "abC<Return>a"}) {
            wedge.ClearReceived();
            wedge.Scan("\001abC\r");
            Received(11, 10s);
            test::RunToEnd(*xdotool, {"key", "a"});  // shows the lock
            EXPECT_EQ(Received(12, 1s), expected) << option;
        }
    }
}

// Scans that arrive while a long read is typed stay reads of their own, each with its beep
// reply. (A read the scanner's hang-up cuts short: the program's unplug test.)
TEST_F(EngineX11, ScansDuringTypingStaySeparate) {
    wedge.preferences.Box(test::CheckBox::RemoveCRs) = 1;
    wedge.preferences.Box(test::CheckBox::NumFilter) = 1;
    wedge.preferences.postamble = "{ENTER}";
    wedge.settings.ScannerBeepString = "7";
    const std::string digits(1000, '5');
    // Typing runs in the event loop: a timer there sends the next scan each time the framing
    // has completed a read, and counts the reads completed while the digits were still typed.
    const char* scans[] = {"", "111\r\n", "222\r\n", "333\r\n"};
    int duringTyping = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&, pending = false]() mutable {
        if (std::exchange(pending, wedge.Wedge().Framing().CharsPending()) && !pending) {
            duringTyping += wedge.Wedge().Typing() && wedge.Received().size() < digits.size();
            wedge.Scan(scans[duringTyping % 4]);
        }
    });
    watch.start(1);
    wedge.Scan(digits + "\r\n");
    const std::string expected = digits + "<Return>111<Return>222<Return>333<Return>";
    EXPECT_EQ(Received(expected.size(), 20s), expected);
    EXPECT_EQ(duringTyping, 4) << "a read was completed only after the digits";
    char replies[16] = {};
    EXPECT_EQ(read(wedge.Scanner().Master(), replies, sizeof replies), 4);
    EXPECT_EQ(std::string(replies), "\a\a\a\a");
}

// A character only another group of the layout has is typed in that group, not by a lent key;
// no group switch key reaches the target, and the user's group stays as it was.
TEST_F(EngineX11, OtherGroupsAreReachedAndTheUsersGroupStays) {
    const std::tuple<const char*, const char*, unsigned, const char*> rows[] = {
        {"us,ru", "grp:alt_shift_toggle", 1, "Ab1"}, {"us,de", "grp:toggle", 0, "Grüße"}};
    for (const auto& [layouts, options, group, text] : rows) {
        ASSERT_TRUE(wedge.X().SetLayout(layouts, "", options));
        wedge.X().Group(group);
        wedge.RunFor(100);
        const std::string before = wedge.X().KeyboardSnapshot();
        wedge.ClearReceived();
        wedge.Scan(Utf8ToWindows1252(text).bytes + "\r");
        EXPECT_EQ(Received(std::strlen(text) + 8, 5s), text + std::string("<Return>")) << layouts;
        EXPECT_EQ(wedge.X().Group(), group) << layouts;
        EXPECT_EQ(wedge.X().KeyboardSnapshot(), before) << layouts << ": a key was lent";
    }
}

// Lent keys as they are: kept long after their last use.
struct EngineX11Busy : EngineX11 {
    EngineX11Busy() { keepMs_ = kLentKeyKeepMs; }
};

// A target that stops for two seconds around a scan (busy with the last scan's Enter) still
// reads every character typed through a lent key, even when the read needs more keys than
// the keymap has spare and typing must wait for a loan to age.
TEST_F(EngineX11Busy, ATargetSecondsBehindReadsEveryLentKey) {
    const std::string latin =
        "José Peña 12,50 Straße¡¢£¤¥¦§¨©ª«¬\u00AD®¯°±²³´µ¶·¸¹º»¼½¾¿ÀÁÂÃÄÅÆÇÈ";  // 40 from 0xA1
    const std::pair<const char*, std::string> rows[] = {{"us", latin},
                                                        {"ru", "https://example.com/item?id=42"}};
    for (const auto& [layout, text] : rows) {
        ASSERT_TRUE(wedge.X().SetLayout(layout));
        wedge.RunFor(100);
        wedge.ClearReceived();
        kill(wedge.Target(), SIGSTOP);
        QTimer::singleShot(2000, [this] { kill(wedge.Target(), SIGCONT); });
        wedge.Scan(Utf8ToWindows1252(text).bytes + "\r");
        EXPECT_EQ(Received(text.size() + 8, 20s), text + "<Return>") << layout;
    }
}

}  // namespace reradav
