// The real program under a headless sway, typing through the compositor's virtual keyboard
// into wev, as the session's (unprivileged) user; a pseudo-terminal is the scanner on COM16.
#include <gmock/gmock.h>
#include <signal.h>

#include <thread>

#include "common/ui/Windows1252.h"
#include "support/ScannerPty.h"
#include "support/SwayDesk.h"

namespace reradav::test {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
constexpr std::size_t npos = std::string::npos;

// Umlauts and AltGr characters of de, characters de has no key for, a read while Caps Lock is
// on, and 2,000 characters at the pacing floor arrive exactly; a quit in the middle of a long
// read leaves no key down. The windowed program is a Wayland client of the same compositor.
TEST(WaylandProgram, EveryReadArrivesExactlyThroughTheVirtualKeyboard) {
    SwayDesk desk;
    ScannerPty pty;
    std::string error;
    if (!desk.Start(&error)) {
        GTEST_SKIP() << "no headless sway: " << error;
    }
    ASSERT_TRUE(pty.Open(&error)) << error;
    desk.Give(pty.SlavePath());
    std::filesystem::copy_file(RERADAV_PROGRAM_PATH, desk.Folder() / "reradav");
    // A de layout, and the table typing the euro sign, which it leaves out by default.
    WriteBytes(desk.Folder() / "default.vav",
               "[Reradav]\r\nComPort=16\r\nDevice16=" + pty.SlavePath() +
                   "\r\nRemoveReturns=1\r\nPostamble={ENTER}\r\nKeyTrans1={CAPSLOCK}\r\n"
                   "KeyTrans128=\x80\r\n");
    desk.Give(desk.Folder() / "default.vav");
    const auto start = [&](const std::string& args) {
        return desk.Run((desk.Folder() / "reradav").string(), {args}, {"XKB_DEFAULT_LAYOUT=de"});
    };
    const auto log = [&] { return ReadBytes(desk.Folder() / "reradav.log"); };
    const auto utf8 = [](const std::string& bytes) { return FromWindows1252(bytes).toStdString(); };
    pid_t program = start("--headless");
    ASSERT_TRUE(WaitUntil([&] { return log().find("port: Active On COM16") != npos; }, 20s));
    EXPECT_THAT(log(), HasSubstr("keyboard: Wayland virtual keyboard, layout de"));
    pty.CloseSlave();
    std::string expected;
    for (const std::string scan : {"Gr\xFC\xDF"
                                   "e @\x80{[]}\\~|\xB5\xB2",
                                   "\xF1\xE7\xF8", "\x01", "abC"}) {
        pty.Scan(scan + "\r");
        expected += (scan == "\x01" ? "" : scan) + "<Return>";
        std::this_thread::sleep_for(300ms);
    }
    std::string mix;
    for (int c = 0; mix.size() < 2000; c = (c + 7) % 95) {
        mix += static_cast<char>(c + 0x20 == '$' || c + 0x20 == '%' ? 'x' : c + 0x20);
    }
    pty.Scan(mix + "\xE4\xF6\xFC\r");
    expected += mix + "\xE4\xF6\xFC<Return>";
    ASSERT_TRUE(WaitUntil([&] { return desk.Received().size() >= utf8(expected).size(); }, 20s));
    EXPECT_EQ(desk.Received(), utf8(expected));

    pty.Scan(std::string(20000, 'z'));
    ASSERT_TRUE(WaitUntil([&] { return desk.Received().size() > utf8(expected).size(); }, 10s));
    kill(program, SIGTERM);
    EXPECT_EQ(WaitForExit(program, 30s), 0);
    int down = 0;
    EXPECT_TRUE(!desk.Received(&down).empty() && down == 0) << down << " keys left down";

    program = start("--");
    EXPECT_TRUE(desk.HasWindow(RERADAV_APP_ID));
}

}  // namespace
}  // namespace reradav::test
