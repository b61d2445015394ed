// The real program under a private X server: a settings file points COM16 at a
// pseudo-terminal, a scan is typed into another window, and SIGTERM saves the settings.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/KeyTargetDesk.h"
#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FindProgram;
using test::KeyTargetDesk;
using test::ReadBytes;
using test::RunToEnd;
using test::ScannerPty;
using test::Spawn;
using test::WaitForExit;
using test::WaitUntil;

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        if (!desk_.Start(&error)) {
            GTEST_SKIP() << "no X server: " << error;
        }
        ASSERT_TRUE(pty_.Open(&error)) << error;
        folder_ = desk_.Folder();
        // A portable copy: the settings file lives beside the program.
        program_ = folder_ / "reradav";
        fs::copy_file(RERADAV_PROGRAM_PATH, program_);
        setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        xdotool_ = FindProgram("xdotool");
    }

    bool WindowTitled(const std::string& title) {
        return xdotool_ && RunToEnd(*xdotool_, {"search", "--name", "^" + title + "$"}) == 0;
    }

    KeyTargetDesk desk_;
    ScannerPty pty_;
    fs::path folder_, program_;
    std::optional<std::string> xdotool_;
};

TEST_F(ProgramTest, AScanIsTypedIntoTheFocusedWindowAndTheSettingsSurviveSigterm) {
    ASSERT_TRUE(xdotool_) << "xdotool is needed to see the window caption";
    const fs::path settings = folder_ / "default.vav";
    std::ofstream(settings, std::ios::binary)
        << "[Reradav]\r\nRemoveReturns=1\r\nPostamble={TAB}\r\nDevice16=" << pty_.SlavePath()
        << "\r\nComPort=16\r\nStation=by hand\r\n";

    const pid_t program = Spawn(program_.string(), {});
    ASSERT_GT(program, 0);
    ASSERT_TRUE(WaitUntil([&] { return WindowTitled("Reradav \\(Active On COM16\\)"); }, 20s))
        << "the port was not opened";
    pty_.CloseSlave();

    pty_.Scan("4006381333931\r\n");
    const std::string expected = "4006381333931<Tab>";
    EXPECT_TRUE(WaitUntil([&] { return desk_.Received().size() >= expected.size(); }, 10s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(desk_.Received(), expected);

    kill(program, SIGTERM);
    EXPECT_EQ(WaitForExit(program, 10s), 0);
    const std::string saved = ReadBytes(settings);
    EXPECT_NE(saved.find("ComPort=16\r\n"), std::string::npos) << saved.substr(0, 400);
    EXPECT_NE(saved.find("Postamble={TAB}\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Device16=" + pty_.SlavePath() + "\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Station=by hand\r\n"), std::string::npos);
    EXPECT_NE(saved.find("KeyTrans255="), std::string::npos);
}

TEST_F(ProgramTest, QuittingWhileAReadIsTypedFinishesTheReadFirst) {
    ASSERT_TRUE(xdotool_) << "xdotool is needed to see the window caption";
    const fs::path settings = folder_ / "default.vav";
    std::ofstream(settings, std::ios::binary)
        << "[Reradav]\r\nDevice16=" << pty_.SlavePath() << "\r\nComPort=16\r\n";
    const pid_t program = Spawn(program_.string(), {});
    ASSERT_GT(program, 0);
    ASSERT_TRUE(WaitUntil([&] { return WindowTitled("Reradav \\(Active On COM16\\)"); }, 20s));
    pty_.CloseSlave();

    std::string scan;
    for (int i = 0; i < 600; ++i) {
        scan += static_cast<char>('a' + i % 26);
    }
    pty_.Scan(scan);
    ASSERT_TRUE(WaitUntil([&] { return desk_.Received().size() >= 20; }, 10s));
    kill(program, SIGTERM);  // in the middle of the read
    EXPECT_EQ(WaitForExit(program, 30s), 0);
    EXPECT_EQ(desk_.Received(), scan);
    EXPECT_NE(ReadBytes(settings).find("KeyTrans0="), std::string::npos) << "settings saved";
}

TEST_F(ProgramTest, AMissingPortIsShownInTheCaptionAndNothingIsLost) {
    ASSERT_TRUE(xdotool_) << "xdotool is needed to see the window caption";
    const fs::path settings = folder_ / "default.vav";
    std::ofstream(settings, std::ios::binary)
        << "[Reradav]\r\nDevice9=" << (folder_ / "gone").string() << "\r\nComPort=9\r\n";
    const pid_t program = Spawn(program_.string(), {});
    ASSERT_GT(program, 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return WindowTitled("Reradav \\(Error: .*No such file or directory.*\\)"); }, 20s));
    kill(program, SIGTERM);
    EXPECT_EQ(WaitForExit(program, 10s), 0);
    EXPECT_NE(ReadBytes(settings).find("ComPort=9\r\n"), std::string::npos);
}

}  // namespace
}  // namespace reradav
