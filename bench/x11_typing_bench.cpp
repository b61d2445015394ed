// Typing into a real X window: the rate over one long read, the latency from the last byte
// written to the pseudo-terminal to the first key at the target, and how soon the program,
// quit in the middle of a read that would type for a minute, stops typing and ends.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "common/CodePage1252.h"
#include "common/Utf8ToWindows1252.h"
#include "support/TempFolder.h"
#include "support/X11Wedge.h"

using reradav::test::X11Wedge;

namespace {

using Clock = std::chrono::steady_clock;

// Typing runs inside the event loop, so the target's file is watched from another thread:
// the times at which it first holds some text and at which it holds `size` bytes.
struct Arrival {
    Clock::time_point first, complete;
    Clock::duration longestPause{};  // between two arrivals: a wait for a key to lend
};

Arrival Watch(const std::string& path, std::size_t size, const std::atomic<bool>& stop) {
    Arrival a{};
    bool seen = false;
    off_t seenSize = 0;
    Clock::time_point last{};
    while (!stop) {
        struct stat st {};
        const auto now = Clock::now();
        if (stat(path.c_str(), &st) == 0 && st.st_size > 0) {
            if (!seen) {
                a.first = now;
                seen = true;
            }
            if (st.st_size != seenSize) {
                a.longestPause =
                    std::max(a.longestPause, seenSize != 0 ? now - last : Clock::duration{});
                seenSize = st.st_size;
                last = now;
            }
            if (static_cast<std::size_t>(st.st_size) >= size) {
                a.complete = now;
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return a;
}

// Sends one scan and runs the event loop until the watcher saw `size` bytes of UTF-8 (or 60 s
// passed).
Arrival ScanAndWatch(X11Wedge& wedge, const std::string& scan, std::size_t size,
                     Clock::time_point* sent) {
    wedge.ClearReceived();
    std::atomic<bool> stop{false};
    Arrival arrival{};
    std::thread watcher([&] { arrival = Watch(wedge.OutputPath(), size, stop); });
    *sent = Clock::now();
    wedge.Scan(scan);
    const auto deadline = *sent + std::chrono::seconds(60);
    while (wedge.Received().size() < size && Clock::now() < deadline) {
        wedge.RunFor(1);
    }
    stop = true;
    watcher.join();
    return arrival;
}

// CPU time of the calling thread, which is the one that types.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::size_t Misplaced(const std::string& sent, const std::string& received) {
    std::size_t bad = sent.size() > received.size() ? sent.size() - received.size() : 0;
    for (std::size_t i = 0; i < std::min(sent.size(), received.size()); ++i) {
        bad += sent[i] != received[i];
    }
    return bad;
}

// One read of `count` characters drawn from the alphabet (UTF-8, one character an entry).
void TypingRate(X11Wedge& wedge, const std::vector<std::string>& alphabet, const char* layout,
                std::size_t count = 2000) {
    if (!wedge.X().SetLayout(layout)) {
        std::printf("%s: cannot set the layout\n", layout);
        return;
    }
    wedge.RunFor(200);
    std::string scan;
    std::string expected;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& character = alphabet[(i * 7) % alphabet.size()];
        scan += reradav::Utf8ToWindows1252(character).bytes;
        expected += character;
    }
    Clock::time_point sent;
    const double cpuBefore = ThreadCpuMs();
    const Arrival read = ScanAndWatch(wedge, scan, expected.size(), &sent);
    const double cpuMs = ThreadCpuMs() - cpuBefore;
    wedge.RunFor(200);
    const double seconds = Ms(read.complete - read.first) / 1000.0;
    std::printf("%s: typing rate: %.0f characters/s over %zu characters (target >= 300)\n", layout,
                static_cast<double>(scan.size()) / seconds, scan.size());
    std::printf("%s: lost or misplaced bytes: %zu; longest pause %.0f ms\n", layout,
                Misplaced(expected, wedge.Received()), Ms(read.longestPause));
    std::printf(
        "%s: CPU time: %.1f ms per 1,000 typed characters, %.1f %% of a core while typing\n",
        layout, cpuMs * 1000.0 / static_cast<double>(scan.size()), cpuMs / (seconds * 10.0));
}

std::vector<std::string> Characters(const std::string& ascii) {
    std::vector<std::string> out;
    for (char c : ascii) {
        out.emplace_back(1, c);
    }
    return out;
}

// Each run starts the program headless on a pseudo-terminal of its own, sends 20,000
// characters, and once 200 have arrived sends the quit signal: the times from the signal to
// the last key at the target and to the program's end, and the characters typed after it.
void QuitDuringARead(X11Wedge& wedge, int runs) {
    using reradav::test::ReadBytes;
    reradav::test::TempFolder folder;
    reradav::test::ScannerPty pty;
    std::string error;
    if (!pty.Open(&error)) {
        std::printf("quit during a read: %s\n", error.c_str());
        return;
    }
    const std::filesystem::path program = folder / "reradav";
    std::filesystem::copy_file(RERADAV_PROGRAM_PATH, program);
    setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);  // kept out of the user's session
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    const std::string log = program.string() + ".log";
    double stopTotal = 0, stopWorst = 0, endTotal = 0, endWorst = 0;
    std::size_t afterWorst = 0;
    for (int run = 0; run < runs; ++run) {
        reradav::test::WriteBytes(
            folder / "default.vav",
            "[Reradav]\r\nComPort=16\r\nDevice16=" + pty.SlavePath() + "\r\nPostamble=\r\n");
        reradav::test::WriteBytes(log, "");
        const pid_t pid = reradav::test::Spawn(
            "/bin/sh", {"-c", "exec \"$0\" --headless 2>>\"$0.log\"", program.string()});
        const bool active = reradav::test::WaitUntil(
            [&] { return ReadBytes(log).find("port: Active") != std::string::npos; },
            std::chrono::seconds(20));
        wedge.ClearReceived();
        pty.Scan(std::string(20000, 'z'));
        const bool typing =
            active && reradav::test::WaitUntil([&] { return wedge.Received().size() >= 200; },
                                               std::chrono::seconds(10));
        if (!typing) {
            std::printf("quit during a read: the program did not type: %s\n",
                        ReadBytes(log).c_str());
            reradav::test::Stop(pid);
            return;
        }
        const std::size_t atQuit = wedge.Received().size();
        const auto quit = Clock::now();
        kill(pid, SIGTERM);
        std::size_t size = atQuit;
        Clock::time_point lastKey = quit;
        int status = 0;
        pid_t ended = 0;
        while ((ended = waitpid(pid, &status, WNOHANG)) == 0 &&
               Clock::now() - quit < std::chrono::minutes(2)) {
            if (struct stat st{}; stat(wedge.OutputPath().c_str(), &st) == 0 &&
                                  static_cast<std::size_t>(st.st_size) != size) {
                size = static_cast<std::size_t>(st.st_size);
                lastKey = Clock::now();
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (ended != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::printf("quit during a read: the program did not end well: %s\n",
                        ReadBytes(log).c_str());
            if (ended != pid) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
            return;
        }
        const double stopMs = Ms(lastKey - quit);
        const double endMs = Ms(Clock::now() - quit);
        stopTotal += stopMs, stopWorst = std::max(stopWorst, stopMs);
        endTotal += endMs, endWorst = std::max(endWorst, endMs);
        afterWorst = std::max(afterWorst, wedge.Received().size() - atQuit);
    }
    std::printf(
        "quit during a 20,000-character read, over %d runs: typing stopped mean %.0f ms, worst "
        "%.0f ms after the signal (grace 2000); the program ended mean %.0f ms, worst %.0f ms; "
        "at most %zu characters typed after the signal\n",
        runs, stopTotal / runs, stopWorst, endTotal / runs, endWorst, afterWorst);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    X11Wedge wedge;
    std::string error;
    if (!wedge.Start(&error)) {
        std::fprintf(stderr, "cannot start: %s\n", error.c_str());
        return 1;
    }

    TypingRate(wedge,
               Characters("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,-/"),
               "us");
    // Umlauts and ß have keys of their own, @ { } [ ] \\ ~ | € µ ² need AltGr, é and ^ a
    // dead key (a lent key here).
    wedge.settings.KeyTrans[0x80] = "\x80";
    std::vector<std::string> german = Characters("abcxyzABCXYZ0189.,-@{}[]\\~|");
    for (const char* c : {"ä", "ö", "ü", "Ä", "Ö", "Ü", "ß", "€", "µ", "²", "é", "^"}) {
        german.emplace_back(c);
    }
    TypingRate(wedge, german, "de");

    // Through lent keys only: 30 characters fit the spare keys' two levels, so the rate is that
    // of typing; a read of 40 from 0xA1 up needs more, and waits once for a loan to be kept
    // long enough (5 s), which the longest pause shows.
    std::vector<std::string> lent;
    for (int c = 0xA1; c <= 0xC8; ++c) {
        const char32_t u = reradav::Windows1252ToUnicode(static_cast<std::uint8_t>(c));
        lent.push_back({static_cast<char>(0xC0 | (u >> 6)), static_cast<char>(0x80 | (u & 0x3F))});
    }
    TypingRate(wedge, {lent.begin(), lent.begin() + 30}, "us", 500);
    TypingRate(wedge, lent, "us", 40);
    TypingRate(wedge, Characters("https://example.com/item?id=42"), "ru", 500);
    wedge.X().SetLayout("us");

    Clock::time_point sent;
    std::vector<double> latencies;
    const std::string code = "4006381333931";
    for (int i = 0; i < 100; ++i) {
        const Arrival a = ScanAndWatch(wedge, code, code.size(), &sent);
        latencies.push_back(Ms(a.first - sent));
        wedge.RunFor(20);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf(
        "latency last byte -> first key over %zu scans: p50 %.1f ms, p99 %.1f ms "
        "(target p99 <= 210)\n",
        latencies.size(), latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100]);

    wedge.StopWedge();  // its keys given back: the program types alone
    QuitDuringARead(wedge, 5);
    return 0;
}
