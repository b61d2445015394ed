// The real program with a tray host under a private X server: it starts in the tray, the
// icon's double-click and menu work, and a second copy is refused.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
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
using test::Spawn;
using test::Stop;
using test::WaitForExit;
using test::WaitUntil;

class TrayProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        xdotool_ = FindProgram("xdotool");
        const auto trayer = FindProgram("trayer");
        if (!xdotool_ || !trayer) {
            GTEST_SKIP() << "xdotool and trayer are needed";
        }
        std::string error;
        if (!desk_.Start(&error, false)) {
            GTEST_SKIP() << "no X server: " << error;
        }
        folder_ = desk_.Folder();
        program_ = folder_ / "reradav";
        fs::copy_file(RERADAV_PROGRAM_PATH, program_);
        setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        tray_ = Spawn(*trayer, {"--edge", "top", "--align", "left", "--widthtype", "pixel",
                                "--width", "64", "--height", "32", "--SetDockType", "false"});
        ASSERT_TRUE(
            WaitUntil([&] { return Visible("^panel$") || Exists("--class", "trayer"); }, 10s));
        std::ofstream(folder_ / "default.vav", std::ios::binary) << "[Reradav]\r\nComPort=0\r\n";
    }
    void TearDown() override {
        for (pid_t pid : programs_) {
            Stop(pid);
        }
        Stop(tray_);
    }

    bool Exists(const std::string& how, const std::string& what) {
        return RunToEnd(*xdotool_, {"search", how, what}) == 0;
    }
    bool Visible(const std::string& title) {
        return RunToEnd(*xdotool_, {"search", "--onlyvisible", "--name", title}) == 0;
    }
    pid_t Start(std::vector<std::string> args = {}) {
        pid_t pid = Spawn(program_.string(), std::move(args));
        programs_.push_back(pid);
        return pid;
    }
    // The icon sits at the start of the tray.
    void ClickIcon(const std::string& button, int times) {
        RunToEnd(*xdotool_, {"mousemove", "12", "16", "click", "--repeat", std::to_string(times),
                             "--delay", "80", button});
    }

    KeyTargetDesk desk_;
    std::optional<std::string> xdotool_;
    fs::path folder_, program_;
    pid_t tray_ = -1;
    std::vector<pid_t> programs_;
};

TEST_F(TrayProgramTest, StartsInTheTrayAndComesBackThroughTheIconMenu) {
    Start({"/M"});
    ASSERT_TRUE(WaitUntil([&] { return Exists("--name", "^Reradav \\(Inactive\\)$"); }, 20s));
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(Visible("^Reradav \\(Inactive\\)$")) << "a /M start shows only the icon";

    ClickIcon("1", 2);
    EXPECT_TRUE(WaitUntil([&] { return Visible("^About Reradav$"); }, 10s))
        << "double-click shows the about box";
    EXPECT_FALSE(Visible("^Reradav \\(Inactive\\)$"));
    RunToEnd(*xdotool_,
             {"search", "--name", "^About Reradav$", "windowfocus", "--sync", "key", "Escape"});
    EXPECT_TRUE(WaitUntil([&] { return !Visible("^About Reradav$"); }, 10s));

    ClickIcon("3", 1);
    std::this_thread::sleep_for(500ms);
    RunToEnd(*xdotool_, {"key", "Down", "Return"});  // the first item: Open Reradav
    EXPECT_TRUE(WaitUntil([&] { return Visible("^Reradav \\(Inactive\\)$"); }, 10s))
        << "Open Reradav restores the window";
}

TEST_F(TrayProgramTest, ASecondCopyIsRefusedAndTheFirstGoesOn) {
    const pid_t first = Start();
    ASSERT_TRUE(WaitUntil([&] { return Visible("^Reradav \\(Inactive\\)$"); }, 20s));
    struct stat before {};
    ASSERT_EQ(stat((folder_ / "default.vav").c_str(), &before), 0);

    const pid_t second = Start();
    EXPECT_TRUE(WaitUntil([&] { return Visible("^Reradav$"); }, 20s)) << "the refusal message box";
    RunToEnd(*xdotool_, {"search", "--onlyvisible", "--name", "^Reradav$", "windowfocus", "--sync",
                         "key", "Return"});
    int status = -1;
    EXPECT_TRUE(WaitUntil([&] { return waitpid(second, &status, WNOHANG) == second; }, 10s));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    struct stat after {};
    ASSERT_EQ(stat((folder_ / "default.vav").c_str(), &after), 0);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first copy still runs";
    EXPECT_TRUE(Visible("^Reradav \\(Inactive\\)$"));
}

}  // namespace
}  // namespace reradav
