// The simulator's pseudo-terminal and link in this process, then the real reradav-sim read the
// way the wedge reads it.
#include "sim/Terminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "support/Processes.h"
#include "support/TempFolder.h"

namespace reradav::sim {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace test;

// What nothing read is said; a reader is counted while it has the terminal open, and the
// exclusive mode a reader left (killed before it could take it back) goes with the last one.
TEST(Terminal, CountsReadersAndTheBytesTheyHaveNotRead) {
    Terminal terminal;
    std::string error;
    ASSERT_TRUE(terminal.Open(&error)) << error;
    EXPECT_FALSE(terminal.WaitOpen(30ms, &error));
    EXPECT_EQ(error, "nothing opened " + terminal.SlavePath() + " in time");
    EXPECT_TRUE(terminal.Write('x') && terminal.Write('y') && !terminal.Drain(&error));
    EXPECT_EQ(error.rfind("2 bytes were not read", 0), 0u) << error;
    const int reader = open(terminal.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    EXPECT_TRUE(terminal.WaitOpen(std::nullopt, &error));
    EXPECT_EQ(terminal.Readers() * 10 + terminal.Unread(), 12);
    char bytes[3] = {};
    EXPECT_TRUE(read(reader, bytes, 2) == 2 && terminal.Drain(&error)) << bytes;
    ioctl(reader, TIOCEXCL);
    close(reader);
    EXPECT_EQ(terminal.Readers(), 0);
    const int next = open(terminal.SlavePath().c_str(), O_RDWR | O_NOCTTY);  // root opens anyway
    int exclusive = 1;
    EXPECT_TRUE(ioctl(next, TIOCGEXCL, &exclusive) == 0 && exclusive == 0);
    close(next);
}

TEST(TerminalLink, ReplacesOnlyALinkAndRemovesItsOwn) {
    TempFolder folder;
    const std::string link = folder / "scanner", file = folder / "file";
    fs::create_symlink("/nonexistent/stale", link);
    WriteBytes(file, "keep me");
    std::string error;
    {
        TerminalLink made, refused, nowhere;
        ASSERT_TRUE(made.Make(link, "/dev/pts/98", &error)) << error;
        EXPECT_EQ(fs::read_symlink(link), "/dev/pts/98");
        EXPECT_FALSE(refused.Make(file, "/dev/pts/98", &error));
        EXPECT_EQ(error, "refusing to replace " + file + ": it is not a symbolic link");
        EXPECT_FALSE(nowhere.Make(folder / "no" / "link", "/dev/pts/98", &error));
        EXPECT_EQ(error.rfind("cannot make the link", 0), 0u) << error;
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_EQ(ReadBytes(file), "keep me");
}

// Scans reach whoever opens the link, none before its deadline; the link goes at the end.
TEST(SimProgram, SendsPacedScansThroughTheLinkThenRemovesIt) {
    TempFolder folder;
    const std::string link = folder / "scanner";
    const pid_t sim =
        Spawn(RERADAV_SIM_PATH, {"--wait-open", "--timeout=10", "--baud=1200", "--pause=200",
                                 "--suffix=crlf", "--link=" + link, "A\u20ac!", "42"});
    ASSERT_TRUE(WaitUntil([&] { return fs::is_symlink(link); }, 10s));
    const auto opened = std::chrono::steady_clock::now();
    const int reader = open(link.c_str(), O_RDONLY | O_NOCTTY);
    std::string received;
    for (char c = 0; read(reader, &c, 1) == 1;) {  // to the hang-up at its end
        received += c;
    }
    close(reader);
    EXPECT_EQ(received, "A\x80!\r\n42\r\n");
    EXPECT_GE(std::chrono::steady_clock::now() - opened, PlanScans(0ns, {5, 4}, 1200, 200ms)[1][3]);
    EXPECT_EQ(WaitForExit(sim, 10s), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

}  // namespace reradav::sim
