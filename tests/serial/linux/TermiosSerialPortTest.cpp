#include "serial/linux/TermiosSerialPort.h"

#include <gmock/gmock.h>
#include <QCoreApplication>

#include "support/Processes.h"
#include "support/ScannerPty.h"
#include "support/TempFolder.h"

namespace reradav {
namespace {

using namespace std::chrono_literals;
using Port = TermiosSerialPort;

// Lets Qt's event loop run until `done` holds; false when the time ran out first.
template <typename Done>
bool Pump(Done done, std::chrono::milliseconds limit = 10s) {
    return test::WaitUntil([&] { return QCoreApplication::processEvents(), done(); }, limit);
}

// Parity and data bits, which a pty refuses, from a cooked terminal with every line flag set.
TEST(ApplyPortTermios, SetsTheFlagsOfEveryChoiceAndTermiosMismatchNamesTheLost) {
    const tcflag_t line = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    const std::tuple<const char*, std::int16_t, speed_t, tcflag_t> rows[] = {
        {"110,S,5,1", 0, B110, CS5 | PARENB | CMSPAR},
        {"300,N,5,1.5", 0, B300, CS5 | CSTOPB},
        {"4000000,O,6,2", 1, B4000000, CS6 | PARENB | PARODD | CSTOPB},
        {"50,E,7,1", 2, B50, CS7 | PARENB | CRTSCTS},
        {"9600,M,8,1", 3, B9600, CS8 | PARENB | PARODD | CMSPAR | CRTSCTS},
        {"115200,N,8,2", 0, B115200, CS8 | CSTOPB}};
    termios tio{};
    for (const auto& [settings, flow, speed, cflag] : rows) {
        tio.c_iflag = ICRNL | IXON | IXOFF | IXANY;
        tio.c_cflag = line;
        ASSERT_TRUE(ApplyPortTermios(tio, ParsePortSettings(settings).settings, flow));
        EXPECT_EQ(tio.c_cflag & (line | CLOCAL | CREAD), cflag | CLOCAL | CREAD) << settings;
        EXPECT_EQ(tio.c_iflag, flow % 2 ? IXON | IXOFF : 0u) << settings;
        EXPECT_EQ(std::pair(cfgetispeed(&tio), cfgetospeed(&tio)), std::pair(speed, speed));
    }
    // Odd/even and mark/space mean nothing without parity; the pty below loses the rest.
    termios lost = tio;
    lost.c_cflag ^= CSTOPB | PARODD | CMSPAR;
    lost.c_iflag ^= IXOFF;
    cfsetospeed(&lost, B4800);
    EXPECT_EQ(TermiosMismatch(tio, lost), "baud rate, stop bits, flow control");
}

class PortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Open(&tty)) << tty;
        tty = pty.SlavePath();
        devices.Set(5, tty);
        port.SetCommPort(5);
    }
    // Rate, stop bits, hardware and XON flow control and canonical mode as the pty has them.
    std::pair<speed_t, tcflag_t> Line() {
        termios t{};
        tcgetattr(pty.Master(), &t);
        return {cfgetospeed(&t),
                (t.c_cflag & (CSTOPB | CRTSCTS)) | (t.c_iflag & IXON) | (t.c_lflag & ICANON)};
    }

    test::ScannerPty pty;
    std::string tty;
    ComDevices devices;
    Port port{devices};
};

// A pty keeps rate, stop bits and flow control but forces 8 data bits and no parity: the port
// must refuse to run with settings nobody chose and put the line back as it was.
TEST_F(PortTest, LineChangesApplyAtOnceOrAreRefusedByName) {
    ASSERT_TRUE(port.SetPortOpen(true)) << port.LastError().description;
    const std::tuple<const char*, std::int16_t, speed_t, tcflag_t, std::string> rows[] = {
        {"110,N,8,2", 0, B110, CSTOPB, ""},
        {"9600,E,8,1", 1, B110, CSTOPB | IXON, tty + ": 9600,E,8,1 not accepted (parity)"},
        {"1200,n,8,1", 2, B1200, CRTSCTS, ""},
        {"9600,N,7,1", 3, B1200, CRTSCTS | IXON, tty + ": 9600,N,7,1 not accepted (data bits)"},
        {"9600,N,8,1.5", 2, B1200, CRTSCTS, "1.5 stop bits work only with 5 data bits"},
        {"115200,N,8,1", 3, B115200, CRTSCTS | IXON, ""}};
    for (const auto& [settings, flow, speed, flags, error] : rows) {
        port.SetHandshaking(flow);
        EXPECT_EQ(port.SetSettings(settings), error.empty()) << settings;
        EXPECT_EQ(Line(), std::pair(speed, flags)) << settings;
        EXPECT_THAT(port.LastError().description, testing::EndsWith(error));
    }
}

TEST_F(PortTest, ErrorsSayWhatWentWrongInPlainWords) {
    const auto open = [](Port& p) { p.SetPortOpen(true); };
    const std::tuple<std::string, std::function<void(Port&)>, std::string> rows[] = {
        {"/no/ttyQ0", open, "/no/ttyQ0: No such file or directory"},
        {"", [](Port& p) { p.SetCommPort(17), p.SetPortOpen(true); }, "COM17 has no device"},
        {"/dev/null", open, "/dev/null: Not a serial port"},
        {"/dev/ptmx", open, "/dev/ptmx: Not a serial port"},
        {"/no/ttyQ0", [](Port& p) { p.SetSettings("9600,N,8,1.5"), p.SetPortOpen(true); },
         "1.5 stop bits work only with 5 data bits"},
        {tty, [](Port& p) { p.SetSettings("1200,O,7,1"), p.SetPortOpen(true); },
         tty + ": 1200,O,7,1 not accepted (data bits, parity)"},
        {tty, [this](Port& p) { port.SetPortOpen(true), p.SetPortOpen(true); },
         tty + ": Device or resource busy"},
        {tty, [](Port& p) { p.SetSettings("14400,N,8,1"); }, "Baud rate 14400 is not supported"},
        {tty, [](Port& p) { p.SetHandshaking(4); }, "Handshaking 4 is not a flow-control mode"},
        {"/no/ttyQ0", [](Port& p) { p.SetPortOpen(true), p.Output("x"); },
         "/no/ttyQ0: No such file or directory"} /* output keeps the error that closed it */};
    for (const auto& [device, act, text] : rows) {
        devices.Set(5, device);
        Port fresh(devices);
        fresh.SetCommPort(5);
        act(fresh);
        EXPECT_FALSE(fresh.PortOpen()) << text;
        EXPECT_EQ(fresh.LastError().description, text);
    }
}

// A port another program holds by a UUCP lock is refused with its PID; a dead one's lock is
// taken over. Ours holds while the port is open; closing removes it and puts the line back.
TEST_F(PortTest, LockFilesAreHonouredAndTheLineIsPutBack) {
    test::TempFolder locks;
    port.SetLockDirectory(locks.path().string());
    const std::string lock = locks / ("LCK.." + std::filesystem::path(tty).filename().string());
    const pid_t dead = test::Spawn("/bin/true", {});
    test::WaitForExit(dead, 5s);
    const auto before = Line();
    for (pid_t holder : {getppid(), dead}) {
        test::WriteBytes(lock, std::to_string(holder) + "\n");
        EXPECT_EQ(port.SetPortOpen(true), holder == dead) << holder;
    }
    EXPECT_EQ(port.LastError().description, "");
    char ours[16];
    std::snprintf(ours, sizeof ours, "%10d\n", getpid());
    EXPECT_EQ(test::ReadBytes(lock), ours);
    port.SetSettings("1200,N,8,2");
    port.SetPortOpen(false);
    EXPECT_FALSE(std::filesystem::exists(lock));
    EXPECT_EQ(Line(), before);
    test::WriteBytes(lock, std::to_string(getppid()));
    port.SetPortOpen(true);
    EXPECT_EQ(port.LastError().description, tty + ": in use by PID " + std::to_string(getppid()));
}

// A pty that another user made (root gives this one away) is refused: it could type into our
// session.
TEST_F(PortTest, ADeviceAnotherUserOwnsIsRefused) {
    if (chown(tty.c_str(), 65534, static_cast<gid_t>(-1)) != 0) {
        GTEST_SKIP() << "only root can give the pty to another user";
    }
    EXPECT_FALSE(port.SetPortOpen(true));
    EXPECT_EQ(port.LastError().description, tty + ": owned by another user");
}

// Bytes arrive as sent (NUL, XON/XOFF, CR, LF and 0xFF among them) and go out byte for byte, or
// the port says how much did; a hang-up closes the port once and tells once.
TEST_F(PortTest, ReceivesSendsAndHangsUp) {
    const std::string all("\0\x11\x13\r\n\xff abc", 10);
    std::string got;
    int hangUps = 0;
    port.SetOnComm([&] { got += port.CommEvent() == port.comEvReceive ? port.Input() : "?"; });
    port.SetOnHangUp([&] { hangUps += port.PortOpen() ? 100 : 1; });
    ASSERT_TRUE(port.SetPortOpen(true)) << port.LastError().description;
    pty.Scan(all);
    ASSERT_TRUE(Pump([&] { return got.size() >= all.size(); }));
    EXPECT_EQ(got, all);
    port.Output(all);
    char sent[16];
    EXPECT_EQ(std::string(sent, read(pty.Master(), sent, sizeof sent)), all);
    // Far more than a tty holds, and nobody reads: queued at once, dropped once stalled.
    std::string dropped;
    port.SetOnOutputDropped([&](const std::string& why) { dropped = why; });
    port.Output(std::string(1 << 20, 'x'));
    EXPECT_EQ(port.LastError().description, "");
    ASSERT_TRUE(Pump([&] { return !dropped.empty(); }, 7s));
    EXPECT_THAT(dropped, testing::MatchesRegex(tty + ": [1-9][0-9]* bytes for the scanner dropped "
                                                     "\\(the device takes no data\\)"));
    pty.HangUp();
    ASSERT_TRUE(Pump([&] { return hangUps > 0; }));
    Pump([] { return false; }, 200ms);
    EXPECT_EQ(hangUps, 1) << "once, with the port already closed";
    EXPECT_EQ(port.LastError().description, tty + ": Device disconnected");
}

// A scanner in Opto-RS mode signals with DSR: each change is told once, only while watched (the
// modem lines come through the seam: a pty has none).
TEST_F(PortTest, DsrChangesAreToldOnceEachAndOnlyWhileWatched) {
    struct OptoRsPort : Port {
        using Port::Port;
        int ReadModemLines(int, int& out) override { return out = lines, 0; }
        int lines = 0;
    } opto{devices};
    opto.SetCommPort(5);
    int told = 0;
    opto.SetOnComm([&] { told += opto.CommEvent() == opto.comEvDSR ? 1 : 100; });
    opto.SetWatchDsr(true);
    ASSERT_TRUE(opto.SetPortOpen(true)) << opto.LastError().description;
    opto.lines = TIOCM_DSR;
    ASSERT_TRUE(Pump([&] { return told >= 1; }));
    opto.lines |= TIOCM_CTS;
    Pump([&] { return false; }, 100ms);  // five polls: none tells
    opto.lines = 0;
    ASSERT_TRUE(Pump([&] { return told >= 2; }));
    EXPECT_EQ(told, 2) << "DSR up and down, CTS not at all";
    opto.SetWatchDsr(false);
    opto.lines = TIOCM_DSR;
    Pump([&] { return false; }, 100ms);
    EXPECT_EQ(told, 2);
}

}  // namespace
}  // namespace reradav
