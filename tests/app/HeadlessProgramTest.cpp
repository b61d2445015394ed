// `reradav --headless` as a kiosk runs it: a settings file points COM16 at a pseudo-terminal, a
// scan is typed into a window of a private X server, standard error tells what happened, and
// SIGTERM or SIGHUP end it with the settings saved. Also its options, which need no display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
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

extern char** environ;

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::KeyTargetDesk;
using test::ReadBytes;
using test::ScannerPty;
using test::WaitForExit;
using test::WaitUntil;

// Starts the program with its standard output and error written to files.
pid_t SpawnProgram(const fs::path& program, std::vector<std::string> args, const fs::path& out,
                   const fs::path& err) {
    args.insert(args.begin(), program.string());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A portable copy of the program in a folder of its own, so the settings file is beside it.
class HeadlessProgram : public ::testing::Test {
  protected:
    void UseFolder(const fs::path& folder) {
        folder_ = folder;
        program_ = folder_ / "reradav";
        settings_ = folder_ / "default.vav";
        fs::copy_file(RERADAV_PROGRAM_PATH, program_);
        setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    }

    // Runs the program to its end; its exit status.
    int Run(const std::vector<std::string>& args, const std::string& name) {
        const pid_t pid = SpawnProgram(program_, args, Out(name), Err(name));
        return pid > 0 ? WaitForExit(pid, 20s) : -1;
    }
    pid_t Start(const std::vector<std::string>& args, const std::string& name) {
        return SpawnProgram(program_, args, Out(name), Err(name));
    }
    fs::path Out(const std::string& name) const { return folder_ / (name + ".out"); }
    fs::path Err(const std::string& name) const { return folder_ / (name + ".err"); }
    bool Said(const std::string& name, const std::string& line) const {
        return ReadBytes(Err(name)).find(line + "\n") != std::string::npos;
    }

    fs::path folder_, program_, settings_;
};

class HeadlessOnADesk : public HeadlessProgram {
  protected:
    void SetUp() override {
        std::string error;
        if (!desk_.Start(&error)) {
            GTEST_SKIP() << "no X server: " << error;
        }
        ASSERT_TRUE(pty_.Open(&error)) << error;
        UseFolder(desk_.Folder());
    }

    KeyTargetDesk desk_;
    ScannerPty pty_;
};

TEST_F(HeadlessOnADesk, ScansAreTypedAndLoggedAndSigtermSavesTheSettingsUnchanged) {
    std::ofstream(settings_, std::ios::binary)
        << "[Reradav]\r\nRemoveReturns=1\r\nPostamble={TAB}\r\nDevice16=" << pty_.SlavePath()
        << "\r\nComPort=16\r\nWindowState=2\r\nStation=by hand\r\n";

    // "/M" is the window's switch: accepted, and the window state stays as it was.
    const pid_t program = Start({"--headless", "/M"}, "headless");
    ASSERT_GT(program, 0);
    ASSERT_TRUE(WaitUntil([&] { return Said("headless", "port: Active On COM16"); }, 20s))
        << ReadBytes(Err("headless"));
    pty_.CloseSlave();

    pty_.Scan("4006381333931\r\n");
    EXPECT_TRUE(WaitUntil([&] { return Said("headless", "read: 4006381333931{TAB}"); }, 10s))
        << ReadBytes(Err("headless"));
    const std::string first = "4006381333931<Tab>";
    EXPECT_TRUE(WaitUntil([&] { return desk_.Received().size() >= first.size(); }, 10s));
    pty_.Scan("A\tb\r");
    const std::string both = first + "A<Tab>b<Tab>";
    EXPECT_TRUE(WaitUntil([&] { return desk_.Received().size() >= both.size(); }, 10s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(desk_.Received(), both);
    EXPECT_TRUE(Said("headless", "read: A\\tb{TAB}")) << ReadBytes(Err("headless"));

    kill(program, SIGTERM);
    EXPECT_EQ(WaitForExit(program, 10s), 0);
    const std::string log = ReadBytes(Err("headless"));
    EXPECT_EQ(log.find("keyboard:"), std::string::npos) << log;
    EXPECT_EQ(log.find("reradav:"), std::string::npos) << log;
    const std::string saved = ReadBytes(settings_);
    EXPECT_NE(saved.find("ComPort=16\r\n"), std::string::npos) << saved.substr(0, 400);
    EXPECT_NE(saved.find("WindowState=2\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Postamble={TAB}\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Device16=" + pty_.SlavePath() + "\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Station=by hand\r\n"), std::string::npos);
    EXPECT_NE(saved.find("KeyTrans255="), std::string::npos);
}

// Without a display: nothing here needs one.
class HeadlessAlone : public HeadlessProgram {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/reradav-headless-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        UseFolder(folder);
        unsetenv("DISPLAY");
    }
    void TearDown() override { fs::remove_all(folder_); }
};

TEST_F(HeadlessAlone, ASecondCopyIsRefusedAndSighupEndsTheFirstInOrder) {
    std::ofstream(settings_, std::ios::binary) << "[Reradav]\r\nIgnoreDups=1\r\n";
    const pid_t first = Start({"--headless"}, "first");
    ASSERT_GT(first, 0);
    ASSERT_TRUE(WaitUntil([&] { return Said("first", "port: Inactive"); }, 20s))
        << ReadBytes(Err("first"));

    EXPECT_EQ(Run({"--headless"}, "second"), 1);
    EXPECT_TRUE(Said("second", "reradav: Reradav is already running.")) << ReadBytes(Err("second"));

    kill(first, SIGHUP);
    EXPECT_EQ(WaitForExit(first, 10s), 0);
    const std::string saved = ReadBytes(settings_);
    EXPECT_NE(saved.find("IgnoreDups=1\r\n"), std::string::npos) << saved.substr(0, 400);
    EXPECT_NE(saved.find("KeyTrans0="), std::string::npos);
}

TEST_F(HeadlessAlone, HelpAndVersionGoToStandardOutputAndEndAtOnce) {
    EXPECT_EQ(Run({"--help"}, "help"), 0);
    EXPECT_EQ(ReadBytes(Out("help")).rfind("Usage: reradav", 0), 0u) << ReadBytes(Out("help"));
    EXPECT_EQ(ReadBytes(Err("help")), "");
    EXPECT_EQ(Run({"--version"}, "version"), 0);
    EXPECT_EQ(ReadBytes(Out("version")).rfind("reradav 1.", 0), 0u) << ReadBytes(Out("version"));
    EXPECT_FALSE(fs::exists(settings_)) << "neither touches the settings";
}

TEST_F(HeadlessAlone, AnUnknownOptionIsRefusedWithStatusTwo) {
    EXPECT_EQ(Run({"--headles", "--kiosk"}, "bad"), 2);
    EXPECT_EQ(ReadBytes(Out("bad")), "");
    EXPECT_TRUE(Said("bad", "reradav: unrecognized option '--kiosk'")) << ReadBytes(Err("bad"));
    EXPECT_FALSE(fs::exists(settings_));
}

}  // namespace
}  // namespace reradav
