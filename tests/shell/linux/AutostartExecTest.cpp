#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/linux/Autostart.h"
#include "support/DesktopEntryParser.h"
#include "support/Processes.h"
#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

// A folder name with every character that needs care in an Exec line or in a shell.
const std::string kAwkwardName = "it's \"odd\" $HOME `id` \\ 100% %f; a|b&c<d>e ~*?#() tab\tnl\n";

// A program that records whether the entry was still there, then its own path and arguments,
// NUL-separated, into $RERADAV_STUB_OUT.
void WriteStub(const fs::path& path) {
    WriteBytes(path,
               "#!/bin/sh\n"
               "if [ -e \"$RERADAV_STUB_ENTRY\" ]; then state=present; else state=gone; fi\n"
               "printf '%s\\000' \"$state\" \"$0\" \"$@\" > \"$RERADAV_STUB_OUT\"\n");
    fs::permissions(path, fs::perms::owner_all);
}

std::vector<std::string> SplitNul(const std::string& bytes) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : bytes) {
        if (c == '\0') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    return parts;
}

// Starts the entry's command the way a desktop does: parsed, then run without a shell of its own.
int LaunchEntry(const fs::path& entry) {
    const auto command = test::DesktopEntryCommand(ReadBytes(entry));
    if (!command || command->empty()) {
        ADD_FAILURE() << "unreadable Exec in\n" << ReadBytes(entry);
        return -1;
    }
    std::vector<std::string> args(command->begin() + 1, command->end());
    return test::RunToEnd(command->front(), args);
}

class AutostartExec : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(temp_ / kAwkwardName);
        program_ = temp_ / kAwkwardName / ("re ra\"dav'" + kAwkwardName);
        WriteStub(program_);
        config_ = temp_ / kAwkwardName / "config";
        entry_ = AutostartEntryPath(config_.string());
        out_ = temp_ / "out";
        ::setenv("RERADAV_STUB_OUT", out_.c_str(), 1);
        ::setenv("RERADAV_STUB_ENTRY", entry_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("RERADAV_STUB_OUT");
        ::unsetenv("RERADAV_STUB_ENTRY");
    }

    TempFolder temp_;
    fs::path program_;
    fs::path config_;
    fs::path entry_;
    fs::path out_;
};

TEST_F(AutostartExec, RemovesTheEntryThenRunsTheProgramMinimised) {
    ASSERT_TRUE(RegisterStartup(true, program_.string() + " /M", config_.string()));
    ASSERT_TRUE(fs::exists(entry_));

    EXPECT_EQ(LaunchEntry(entry_), 0);
    EXPECT_FALSE(fs::exists(entry_));
    EXPECT_THAT(SplitNul(ReadBytes(out_)), ElementsAre("gone", program_.string(), "/M"));
    EXPECT_TRUE(fs::is_empty(config_ / "autostart"));
}

TEST_F(AutostartExec, RunsTheProgramWithoutArgumentsWhenNotMinimised) {
    ASSERT_TRUE(RegisterStartup(true, program_.string(), config_.string()));

    EXPECT_EQ(LaunchEntry(entry_), 0);
    EXPECT_FALSE(fs::exists(entry_));
    EXPECT_THAT(SplitNul(ReadBytes(out_)), ElementsAre("gone", program_.string()));
}

}  // namespace
}  // namespace reradav
