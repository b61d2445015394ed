// End to end: bytes on a pseudo-terminal come out as key presses in a real X window.
#include <gtest/gtest.h>

#include "support/X11Wedge.h"

namespace reradav {

// Windows-1252 in, UTF-8 out, through a German layout: ä, ß and € need the layout's own keys,
// @ { } ~ need AltGr, and %, $ and tab are keys of their own.
TEST(EngineTyping, AScanArrivesExactlyWithItsKeys) {
    test::X11Wedge wedge;
    std::string error;
    if (!wedge.Start(&error) || !wedge.X().SetLayout("de")) {
        GTEST_SKIP() << "no X server for the end-to-end test: " << error;
    }
    wedge.RunFor(200);
    // The built-in table types nothing for 128..159; a settings entry KeyTrans128=€ types €.
    wedge.settings.KeyTrans[0x80] = "\x80";
    const std::string scan = "Hi, yz@{}~+%()[]\ta$\xE4\xDF\x80\r";
    const std::string expected =
        "Hi, yz@{}~+<F10>()[]<Tab>a<F9>\xC3\xA4\xC3\x9F\xE2\x82\xAC<Return>";
    wedge.Scan(scan);
    test::WaitUntil([&] { return wedge.RunFor(10), wedge.Received().size() >= expected.size(); },
                    std::chrono::seconds(20));
    wedge.RunFor(50);  // anything more that arrives shows up as a mismatch
    EXPECT_EQ(wedge.Received(), expected);
}

// Caps Lock is switched by its function wherever the options put it, and letters keep their case.
TEST(EngineTyping, CapsLockIsSwitchedByItsFunction) {
    test::X11Wedge wedge;
    std::string error;
    const auto xdotool = test::FindProgram("xdotool"), setxkbmap = test::FindProgram("setxkbmap");
    if (!wedge.Start(&error) || !xdotool || !setxkbmap) {
        GTEST_SKIP() << "no X server, xdotool or setxkbmap: " << error;
    }
    wedge.settings.KeyTrans[1] = "{CAPSLOCK}";
    for (const char* option : {"caps:swapescape", "caps:ctrl_modifier", ""}) {
        const std::string display = wedge.X().Display();
        test::RunToEnd(*setxkbmap, {"-display", display, "us", "-option", "", "-option", option});
        for (const char* expected : {"abC<Return>A", "abC<Return>a"}) {
            wedge.ClearReceived();
            wedge.Scan(
                "\x01"
                "abC\r");
            test::WaitUntil([&] { return wedge.RunFor(10), wedge.Received().size() >= 11; },
                            std::chrono::seconds(10));
            test::RunToEnd(*xdotool, {"key", "a"});  // shows the lock
            wedge.RunFor(100);
            EXPECT_EQ(wedge.Received(), expected) << option;
        }
    }
}

}  // namespace reradav
