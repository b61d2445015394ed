// The real reradav-sim on its own pseudo-terminal, read the way the wedge reads it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/Pacing.h"

namespace reradav::sim {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// reradav-sim with its standard streams on pipes.
class SimProcess {
  public:
    explicit SimProcess(const std::vector<std::string>& args) {
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            std::vector<char*> argv{const_cast<char*>(RERADAV_SIM_PATH)};
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        stderr_ = err[0];
    }
    ~SimProcess() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {stdin_, stdout_, stderr_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    // The first line of standard output (the terminal's path), or "" after 10 s.
    std::string FirstLine() {
        std::string line;
        char c;
        pollfd p{stdout_, POLLIN, 0};
        while (poll(&p, 1, 10000) > 0 && read(stdout_, &c, 1) == 1 && c != '\n') {
            line.push_back(c);
        }
        return line;
    }
    void Send(const std::string& text) {
        ASSERT_EQ(write(stdin_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void CloseStdin() {
        close(stdin_);
        stdin_ = -1;
    }
    void Signal(int s) { kill(pid_, s); }
    // Exit status, or 128 + signal; -1 when it did not end within 20 s.
    int Wait() {
        for (int i = 0; i < 2000; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(10000);
        }
        return -1;
    }
    std::string Drain(int fd) {
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }
    std::string Stdout() { return Drain(stdout_); }
    std::string Stderr() { return Drain(stderr_); }
    bool Started() const { return pid_ > 0; }

  private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int stdin_ = -1, stdout_ = -1, stderr_ = -1;
};

struct Arrival {
    char byte;
    Clock::time_point at;
};

// Reads `count` bytes from the terminal, each stamped with when it arrived.
std::vector<Arrival> ReadBytes(int fd, std::size_t count) {
    std::vector<Arrival> arrivals;
    pollfd p{fd, POLLIN, 0};
    while (arrivals.size() < count && poll(&p, 1, 10000) > 0) {
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        const auto at = Clock::now();
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            arrivals.push_back({buffer[i], at});
        }
    }
    return arrivals;
}

std::string BytesOf(const std::vector<Arrival>& arrivals) {
    std::string s;
    for (const Arrival& a : arrivals) {
        s.push_back(a.byte);
    }
    return s;
}

std::string TempPath(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    return (fs::path(dir ? dir : "/tmp") / (name + "." + std::to_string(getpid()))).string();
}

class SimRun : public ::testing::Test {
  protected:
    // Opens the simulator's terminal and reads `expected`, stamping each byte's arrival.
    void RunAndRead(const std::string& label, const std::string& expected, SimProcess& sim) {
        ASSERT_TRUE(sim.Started());
        const std::string path = sim.FirstLine();
        ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
        opened_ = Clock::now();  // with --wait-open nothing is sent before this
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0) << path;
        arrivals_ = ReadBytes(fd, expected.size());
        EXPECT_EQ(BytesOf(arrivals_), expected) << label;
        EXPECT_EQ(sim.Wait(), 0) << sim.Stderr();
        close(fd);
    }

    Clock::time_point opened_;
    std::vector<Arrival> arrivals_;
};

// The timing bounds hold for any reader: a byte can arrive late, never early. Each byte's
// arrival since the terminal was opened is at least its planned deadline (the simulator only
// ever falls behind its plan). Between arrivals the reader's own wake-up can eat into a
// measured interval, so those bounds leave one byte time of slack.
TEST_F(SimRun, ScansArriveInOrderPacedAndSeparated) {
    const unsigned baud = 300;
    const auto pause = 250ms;
    const std::vector<std::string> scans{
        "AB\x80"
        "1\r\n",
        "x\x96y\r\n", "42\r\n"};
    SimProcess sim({"--wait-open", "--timeout=10", "--baud=300", "--pause=250", "--suffix=crlf",
                    "AB\u20ac1", "x\u2013y", "42"});
    std::string expected;
    for (const auto& s : scans) {
        expected += s;
    }
    RunAndRead("three scans", expected, sim);
    ASSERT_EQ(arrivals_.size(), expected.size());

    const auto plan =
        PlanScans(0ns, {scans[0].size(), scans[1].size(), scans[2].size()}, baud, pause);
    std::size_t at = 0;
    for (std::size_t k = 0; k < scans.size(); ++k) {
        const std::size_t first = at;
        for (std::size_t n = 0; n < scans[k].size(); ++n, ++at) {
            EXPECT_GE(arrivals_[at].at - opened_, plan[k][n]) << "scan " << k << " byte " << n;
        }
        const std::size_t last = at - 1;
        EXPECT_GE(arrivals_[last].at - arrivals_[first].at, LineTime(scans[k].size() - 2, baud))
            << "scan " << k << " went out faster than " << baud << " baud";
        if (k > 0) {
            EXPECT_GE(arrivals_[first].at - arrivals_[first - 1].at, Nanos(pause))
                << "scan " << k << " followed the previous one within the pause";
        }
    }
}

TEST_F(SimRun, SuffixesAndRawBytes) {
    {
        SimProcess sim({"--wait-open", "--pause=200", "--suffix=tab", "--raw", "A\u20ac", "b"});
        RunAndRead("tab raw", "A\xe2\x82\xac\tb\t", sim);
    }
    {
        SimProcess sim({"--wait-open", "--pause=200", "--suffix", "none", "12", "34"});
        RunAndRead("none", "1234", sim);
    }
    {
        SimProcess sim({"--wait-open", "--pause=200", "--", "-5"});
        RunAndRead("default cr", "-5\r", sim);
    }
}

TEST_F(SimRun, LinesOfStandardInputAreScans) {
    SimProcess sim({"--wait-open", "--pause=200", "--baud=1200"});
    sim.Send("first\r\n\n\u00fcber\nlast");  // CR LF ends a line too; blank lines are skipped
    sim.CloseStdin();
    RunAndRead("stdin",
               "first\r\xfc"
               "ber\rlast\r",
               sim);
    const auto plan = PlanScans(0ns, {6, 5, 5}, 1200, 200ms);
    ASSERT_EQ(arrivals_.size(), 16u);
    EXPECT_GE(arrivals_[6].at - opened_, plan[1][0]);
    EXPECT_GE(arrivals_[15].at - opened_, plan[2][4]);
}

TEST_F(SimRun, ALinkIsMadeAndRemoved) {
    const std::string link = TempPath("reradav-sim-link");
    fs::remove(link);
    fs::create_symlink("/nonexistent/stale", link);  // an old link is replaced
    SimProcess sim({"--wait-open", "--link", link, "--pause=200", "L"});
    ASSERT_TRUE(sim.Started());
    const std::string path = sim.FirstLine();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), path);
    // Open through the link, as a user would configure the wedge.
    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(BytesOf(ReadBytes(fd, 2)), "L\r");
    EXPECT_EQ(sim.Wait(), 0) << sim.Stderr();
    close(fd);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "link left behind";
}

TEST_F(SimRun, TheLinkGoesOnSigtermToo) {
    const std::string link = TempPath("reradav-sim-term");
    fs::remove(link);
    SimProcess sim({"--wait-open", "--link=" + link});
    ASSERT_TRUE(sim.Started());
    ASSERT_FALSE(sim.FirstLine().empty());
    ASSERT_TRUE(fs::is_symlink(link));
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 128 + SIGTERM);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(SimRun, AFileInThePlaceOfTheLinkIsNeverReplaced) {
    const std::string file = TempPath("reradav-sim-file");
    {
        std::FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("keep me", f);
        std::fclose(f);
    }
    SimProcess sim({"--link", file, "x"});
    EXPECT_EQ(sim.Wait(), 1);
    EXPECT_NE(sim.Stderr().find("not a symbolic link"), std::string::npos);
    EXPECT_TRUE(sim.Stdout().empty()) << "announced a terminal it gave up on";
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(fs::file_size(file), 7u);
    fs::remove(file);
}

TEST(SimProgram, WaitOpenGivesUpAfterTheTimeout) {
    SimProcess sim({"--wait-open", "--timeout=0.3", "x"});
    const auto started = Clock::now();
    EXPECT_EQ(sim.Wait(), 1);
    EXPECT_GE(Clock::now() - started, 300ms);
    EXPECT_NE(sim.Stderr().find("in time"), std::string::npos);
}

TEST(SimProgram, UnreadBytesWithNoReaderAreAFailure) {
    SimProcess sim({"--pause=200", "lost"});
    EXPECT_EQ(sim.Wait(), 1);
    // The kernel may still be moving the last bytes into the queue when it counts them.
    const std::string err = sim.Stderr();
    const auto at = err.find(" bytes were not read");
    ASSERT_NE(at, std::string::npos) << err;
    const int count = std::atoi(err.substr(err.rfind(' ', at - 1) + 1).c_str());
    EXPECT_GE(count, 1) << err;
    EXPECT_LE(count, 5) << err;
}

TEST(SimProgram, HelpVersionAndUsageErrors) {
    {
        SimProcess sim({"--help"});
        EXPECT_EQ(sim.Wait(), 0);
        EXPECT_NE(sim.Stdout().find("Usage: reradav-sim"), std::string::npos);
    }
    {
        SimProcess sim({"--version"});
        EXPECT_EQ(sim.Wait(), 0);
        EXPECT_EQ(sim.Stdout().rfind("reradav-sim (Reradav) ", 0), 0u);
    }
    {
        SimProcess sim({"--baud=fast"});
        EXPECT_EQ(sim.Wait(), 2);
        const std::string err = sim.Stderr();
        EXPECT_NE(err.find("reradav-sim: invalid line rate"), std::string::npos) << err;
        EXPECT_NE(err.find("Try 'reradav-sim --help'"), std::string::npos) << err;
        EXPECT_TRUE(sim.Stdout().empty());
    }
    {
        SimProcess sim({"\u4e2d"});
        EXPECT_EQ(sim.Wait(), 2);
        EXPECT_NE(sim.Stderr().find("not in Windows-1252"), std::string::npos);
    }
    {
        SimProcess sim({"--pause=50", "--wait-open", "--timeout=0.1", "x"});
        EXPECT_EQ(sim.Wait(), 1);
        EXPECT_NE(sim.Stderr().find("warning: a pause of 50 ms"), std::string::npos);
    }
}

TEST(SimProgram, AnUnconvertibleLineStopsTheRun) {
    SimProcess sim({"--wait-open", "--pause=200"});
    const std::string path = sim.FirstLine();
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    sim.Send("ok\n\xff\nnever\n");
    sim.CloseStdin();
    EXPECT_EQ(BytesOf(ReadBytes(fd, 3)), "ok\r");
    EXPECT_EQ(sim.Wait(), 2);
    EXPECT_NE(sim.Stderr().find("line 2: invalid UTF-8"), std::string::npos);
    close(fd);
}

}  // namespace
}  // namespace reradav::sim
