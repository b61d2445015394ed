// Typing into a Wayland window (wev under a headless sway) through the virtual keyboard: the
// rate over one 2,000-character read, from the first key to the last at the target.
#include <chrono>
#include <cstdio>
#include <thread>

#include "support/ScannerPty.h"
#include "support/SwayDesk.h"

using namespace reradav::test;
using Clock = std::chrono::steady_clock;

int main() {
    SwayDesk desk;
    ScannerPty pty;
    std::string error;
    if (!desk.Start(&error) || !pty.Open(&error)) {
        std::fprintf(stderr, "wayland_typing_bench: %s\n", error.c_str());
        return 1;
    }
    desk.Give(pty.SlavePath());
    std::filesystem::copy_file(RERADAV_PROGRAM_PATH, desk.Folder() / "reradav");
    WriteBytes(desk.Folder() / "default.vav",
               "[Reradav]\r\nComPort=16\r\nDevice16=" + pty.SlavePath() + "\r\nPostamble=\r\n");
    desk.Give(desk.Folder() / "default.vav");
    desk.Run((desk.Folder() / "reradav").string(), {"--headless"}, {"XKB_DEFAULT_LAYOUT=us"});
    const auto log = [&] { return ReadBytes(desk.Folder() / "reradav.log"); };
    if (!WaitUntil([&] { return log().find("port: Active") != std::string::npos; },
                   std::chrono::seconds(20))) {
        std::fprintf(stderr, "wayland_typing_bench: the program did not start: %s\n",
                     log().c_str());
        return 1;
    }
    pty.CloseSlave();
    std::string scan;
    for (int i = 0; scan.size() < 2000; ++i) {
        scan += "abcdefghijABCDEFGHIJ0123456789.-/:"[i % 34];
    }
    pty.Scan(scan);
    Clock::time_point first{}, last{};
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    std::string received;
    while (received.size() < scan.size() && Clock::now() < deadline) {
        received = desk.Received();
        if (!received.empty() && first == Clock::time_point{}) {
            first = Clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    last = Clock::now();
    const double seconds = std::chrono::duration<double>(last - first).count();
    std::size_t lost = 0;
    for (std::size_t i = 0; i < scan.size(); ++i) {
        lost += i >= received.size() || received[i] != scan[i];
    }
    std::printf(
        "Wayland virtual keyboard (sway headless -> wev), us: %zu characters in %.2f s, "
        "%.0f characters/s, %zu lost or wrong\n",
        scan.size(), seconds, static_cast<double>(scan.size() - 1) / seconds, lost);
    return lost == 0 ? 0 : 1;
}
