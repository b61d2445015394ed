// The program without windows, in this process: settings in and out of plain values, a
// pseudo-terminal as the scanner, and the log lines that stand in for the window.
#include "app/Headless.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "keys/RecordingKeyboard.h"
#include "support/Fakes.h"
#include "support/TempFolder.h"

namespace reradav {
namespace {

namespace fs = std::filesystem;
using namespace test;

TEST(ReadableText, ShowsEveryByteUnambiguously) {
    EXPECT_EQ(ReadableText("plain {TAB}~+^% 123"), "plain {TAB}~+^% 123");
    EXPECT_EQ(ReadableText("\r\n\t\\"), "\\r\\n\\t\\\\");
    EXPECT_EQ(ReadableText(std::string("\x00\x1f\x20\x7e\x7f", 5)), "\\x00\\x1f ~\\x7f");
    // Windows-1252: 0x80 is the euro sign, 0x9F Y diaeresis, 0xA0 a no-break space; 0x81 and
    // 0x9D are undefined there.
    EXPECT_EQ(ReadableText("\x80\x81\x9d\x9f\xa0"), "\u20ac\\x81\\x9d\u0178\u00a0");
}

// The port outcomes are checked on the real program; here what only a test can set up. A
// second quit is ignored.
TEST(Headless, AnUnreadableFileIsLoggedTheDefaultsAreUsedAndTheSaveFails) {
    TempFolder folder;
    fs::create_directory(folder / "default.vav");
    FakeBeeper beeper;
    std::ostringstream log;
    Headless headless(beeper, log, std::make_unique<RecordingKeyboard>());
    headless.Load(folder / "default.vav");
    int status = -1;
    headless.Quit([&](int s) { status = s; });
    headless.Quit([&](int) { status = 99; });
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(
        std::regex_match(log.str(), std::regex("reradav: Cannot read .*; the defaults are used\n"
                                               "port: Inactive\nreradav: the settings could not be "
                                               "saved: .*\n")))
        << log.str();
}

}  // namespace
}  // namespace reradav
