// The program without windows, in this process: settings in and out of plain values, a
// pseudo-terminal as the scanner, and the log lines that stand in for the window.
#include "app/Headless.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <regex>
#include <sstream>

#include "keys/RecordingKeyboard.h"
#include "support/Fakes.h"
#include "support/Processes.h"
#include "support/ScannerPty.h"
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

class HeadlessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(pty_->Open(&error)) << error;
    }
    void Start(const std::string& settings) {
        WriteBytes(settings_, "[Reradav]\r\nDevice16=" + pty_->SlavePath() + "\r\n" + settings);
        log_.str("");
        headless_.reset();
        headless_ =
            std::make_unique<Headless>(beeper_, log_, std::make_unique<RecordingKeyboard>());
        headless_->Load(settings_);
        pty_->CloseSlave();
    }
    bool Logged(const std::string& pattern) const {
        return std::regex_match(log_.str(), std::regex(pattern));
    }
    // The exit status the quit hands over (at once when no read is being typed); a second
    // quit is ignored.
    int Quit() {
        int status = -1;
        headless_->Quit([&](int s) { status = s; });
        headless_->Quit([&](int) { status = 99; });
        return status;
    }

    TempFolder folder_;
    fs::path settings_ = folder_ / "default.vav";
    std::unique_ptr<ScannerPty> pty_ = std::make_unique<ScannerPty>();
    FakeBeeper beeper_;
    std::ostringstream log_;
    std::unique_ptr<Headless> headless_;
};

// The port outcomes are checked on the real program; here what only a test can set up.
TEST_F(HeadlessTest, AnUnreadableFileIsLoggedTheDefaultsAreUsedAndTheSaveFails) {
    fs::create_directory(settings_);
    Start("");
    EXPECT_EQ(Quit(), 1);
    EXPECT_TRUE(
        Logged("reradav: Cannot read .*; the defaults are used\nport: Inactive\n"
               "reradav: the settings could not be saved: .*\n"))
        << log_.str();
}

}  // namespace
}  // namespace reradav
