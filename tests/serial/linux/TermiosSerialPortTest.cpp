#include "serial/linux/TermiosSerialPort.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace reradav {
namespace {

using namespace std::chrono_literals;

// Generous: these bound a wait for something that should happen at once, never a duration.
constexpr auto eventWait = 10s;

// Runs the event loop until `done` holds or the limit passes; returns `done()`.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = eventWait) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(5);
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Lets events run for a while, to show that something does NOT happen.
void RunFor(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes;
}

// A pseudo-terminal pair: the port under test opens the slave by its path, the test plays the
// scanner on the master.
class Pty {
  public:
    Pty() {
        char name[128];
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            path_ = name;
        }
    }
    ~Pty() {
        CloseMaster();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    int master() const { return master_; }
    int slave() const { return slave_; }

    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    void Write(std::string_view bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            ASSERT_GT(n, 0) << std::strerror(errno);
            done += static_cast<std::size_t>(n);
        }
    }

    // Reads from the master until `count` bytes came or nothing came for the wait.
    std::string Read(std::size_t count, std::chrono::milliseconds wait = eventWait) const {
        std::string got;
        char buffer[4096];
        while (got.size() < count) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(wait.count())) != 1) {
                break;
            }
            const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) {
                break;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    termios Attributes() const {
        termios tio{};
        EXPECT_EQ(tcgetattr(slave_, &tio), 0);
        return tio;
    }

    speed_t Speed() const {
        const termios tio = Attributes();
        return cfgetospeed(&tio);
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// The descriptor of this process open on `path`, other than `except`; -1 when none.
int DescriptorOf(const std::string& path, int except) {
    for (int fd = 0; fd < 1024; ++fd) {
        char link[PATH_MAX];
        const std::string entry = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t n = readlink(entry.c_str(), link, sizeof link);
        if (fd != except && n > 0 && std::string(link, static_cast<std::size_t>(n)) == path) {
            return fd;
        }
    }
    return -1;
}

// How often the event loop wakes in a while when nothing happens: a descriptor left in the
// poll set after its port closed would wake it without end. Bounded, not timed: an idle loop
// wakes a handful of times.
int WakeUpsWhileIdle() {
    int wakeUps = 0;
    const auto counter = QObject::connect(QAbstractEventDispatcher::instance(),
                                          &QAbstractEventDispatcher::awake, [&] { ++wakeUps; });
    RunFor(300ms);
    QObject::disconnect(counter);
    return wakeUps;
}

constexpr std::int16_t testPort = 5;

class TermiosSerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.ok()) << std::strerror(errno);
        devices_.Set(testPort, pty_.path());
        port_ = MakePort();
    }

    std::unique_ptr<TermiosSerialPort> MakePort() {
        auto port = std::make_unique<TermiosSerialPort>(devices_);
        port->SetCommPort(testPort);
        return port;
    }

    // The order of use when the program opens a port.
    bool OpenWith(const std::string& settings, std::int16_t handshaking) {
        EXPECT_TRUE(port_->SetSettings(settings)) << port_->LastError().description;
        port_->SetDTREnable(true);
        port_->SetHandshaking(handshaking);
        port_->SetRTSEnable(true);
        return port_->SetPortOpen(true);
    }

    void ExpectOpen() {
        EXPECT_TRUE(port_->PortOpen());
        EXPECT_EQ(port_->LastError().number, 0) << port_->LastError().description;
    }

    ComDevices devices_;
    Pty pty_;
    std::unique_ptr<TermiosSerialPort> port_;
};

// ---- Opening and line settings ----

TEST_F(TermiosSerialPortTest, OpensTheMappedDeviceRawWithTheDefaultSettings) {
    EXPECT_FALSE(port_->PortOpen());
    ASSERT_TRUE(port_->SetPortOpen(true)) << port_->LastError().description;
    ExpectOpen();
    EXPECT_EQ(port_->DevicePath(), pty_.path());

    const termios tio = pty_.Attributes();
    EXPECT_EQ(cfgetispeed(&tio), B9600);
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & CSIZE, CS8);
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cflag & CLOCAL, CLOCAL);

    EXPECT_TRUE(port_->SetPortOpen(true)) << "opening an open port keeps it open";
    EXPECT_TRUE(port_->SetPortOpen(false));
    EXPECT_FALSE(port_->PortOpen());
    EXPECT_EQ(port_->DevicePath(), "");
}

struct KeptCase {
    const char* settings;
    std::int16_t handshaking;
    speed_t speed;
    bool twoStopBits;
};

void PrintTo(const KeptCase& c, std::ostream* os) {
    *os << c.settings << " handshaking " << c.handshaking;
}

// A pseudo-terminal keeps the rate, stop bits and flow control it is given.
class LineSettingsReachTheTty : public TermiosSerialPortTest,
                                public ::testing::WithParamInterface<KeptCase> {};

TEST_P(LineSettingsReachTheTty, ReadBackFromTheTty) {
    const KeptCase& c = GetParam();
    ASSERT_TRUE(OpenWith(c.settings, c.handshaking)) << port_->LastError().description;
    ExpectOpen();
    const termios tio = pty_.Attributes();
    EXPECT_EQ(cfgetispeed(&tio), c.speed);
    EXPECT_EQ(cfgetospeed(&tio), c.speed);
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStopBits);
    const bool rtscts =
        c.handshaking == SerialComponent::comRTS || c.handshaking == SerialComponent::comRTSXOnXOff;
    const bool xonxoff = c.handshaking == SerialComponent::comXOnXOff ||
                         c.handshaking == SerialComponent::comRTSXOnXOff;
    EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, rtscts);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), xonxoff ? (IXON | IXOFF) : 0u);
}

INSTANTIATE_TEST_SUITE_P(Pty, LineSettingsReachTheTty,
                         ::testing::Values(KeptCase{"110,N,8,2", 0, B110, true},
                                           KeptCase{"1200,N,8,1", 1, B1200, false},
                                           KeptCase{"19200,n,8,2", 2, B19200, true},
                                           KeptCase{"115200,N,8,1", 3, B115200, false},
                                           KeptCase{"4800,N,8,1", 0, B4800, false}));

TEST_F(TermiosSerialPortTest, ChangesOnAnOpenPortTakeEffectAtOnce) {
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    ASSERT_TRUE(port_->SetSettings("38400,N,8,2")) << port_->LastError().description;
    termios tio = pty_.Attributes();
    EXPECT_EQ(cfgetospeed(&tio), B38400);
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);

    port_->SetHandshaking(SerialComponent::comRTSXOnXOff);
    tio = pty_.Attributes();
    EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), IXON | IXOFF);
    EXPECT_EQ(cfgetospeed(&tio), B38400) << "the rate stays";
    ExpectOpen();
}

struct RefusedCase {
    const char* settings;
    const char* lost;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.settings;
}

// A pseudo-terminal forces eight data bits and no parity on every change; the port must say
// so rather than run with settings nobody chose.
class RefusedSettings : public TermiosSerialPortTest,
                        public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedSettings, FailTheOpeningAndNameWhatWasRefused) {
    EXPECT_FALSE(OpenWith(GetParam().settings, SerialComponent::comNone));
    EXPECT_FALSE(port_->PortOpen());
    EXPECT_EQ(port_->LastError().number, EINVAL);
    EXPECT_EQ(port_->LastError().description,
              pty_.path() + ": " + GetParam().settings + " not accepted (" + GetParam().lost + ")");

    // The failed opening left no lock behind.
    auto other = MakePort();
    EXPECT_TRUE(other->SetPortOpen(true)) << other->LastError().description;
}

TEST_P(RefusedSettings, KeepTheOpenPortAsItWas) {
    ASSERT_TRUE(OpenWith("2400,N,8,1", SerialComponent::comNone));
    EXPECT_FALSE(port_->SetSettings(GetParam().settings));
    EXPECT_NE(port_->LastError().description.find(GetParam().lost), std::string::npos)
        << port_->LastError().description;
    EXPECT_TRUE(port_->PortOpen());
    const termios tio = pty_.Attributes();
    EXPECT_EQ(cfgetospeed(&tio), B2400);
    EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);

    // The old settings are still the ones in force: a change of handshaking keeps them.
    port_->SetHandshaking(SerialComponent::comRTS);
    EXPECT_EQ(pty_.Speed(), B2400);
    EXPECT_NE(pty_.Attributes().c_cflag & CRTSCTS, 0u);
}

INSTANTIATE_TEST_SUITE_P(Pty, RefusedSettings,
                         ::testing::Values(RefusedCase{"9600,E,8,1", "parity"},
                                           RefusedCase{"9600,O,8,2", "parity"},
                                           RefusedCase{"9600,M,8,1", "parity"},
                                           RefusedCase{"9600,S,8,1", "parity"},
                                           RefusedCase{"9600,N,7,1", "data bits"},
                                           RefusedCase{"9600,N,5,1", "data bits"},
                                           RefusedCase{"1200,E,7,1", "data bits, parity"}));

TEST_F(TermiosSerialPortTest, OneAndAHalfStopBitsFailWithTheirOwnMessage) {
    EXPECT_TRUE(port_->SetSettings("9600,N,8,1.5")) << "refused at opening, not before";
    EXPECT_FALSE(port_->SetPortOpen(true));
    EXPECT_FALSE(port_->PortOpen());
    EXPECT_EQ(port_->LastError().number, EINVAL);
    EXPECT_EQ(port_->LastError().description, "1.5 stop bits are not supported on Linux");

    // Even where the device could not have been opened anyway.
    devices_.Set(testPort, "/nonexistent/ttyQ0");
    EXPECT_FALSE(port_->SetPortOpen(true));
    EXPECT_EQ(port_->LastError().description, "1.5 stop bits are not supported on Linux");
}

TEST_F(TermiosSerialPortTest, OneAndAHalfStopBitsOnAnOpenPortAreRefused) {
    ASSERT_TRUE(OpenWith("9600,N,8,2", SerialComponent::comNone));
    EXPECT_FALSE(port_->SetSettings("9600,N,8,1.5"));
    EXPECT_EQ(port_->LastError().description, "1.5 stop bits are not supported on Linux");
    EXPECT_TRUE(port_->PortOpen());
    EXPECT_NE(pty_.Attributes().c_cflag & CSTOPB, 0u);
}

TEST_F(TermiosSerialPortTest, UnusableSettingsTextIsRefusedAndTheOldSettingsStay) {
    ASSERT_TRUE(port_->SetSettings("19200,N,8,1"));
    EXPECT_FALSE(port_->SetSettings("9600,X,8,1"));
    EXPECT_EQ(port_->LastError().number, EINVAL);
    EXPECT_NE(port_->LastError().description.find("parity"), std::string::npos);
    EXPECT_FALSE(port_->SetSettings("14400,N,8,1"));
    EXPECT_EQ(port_->LastError().description, "Baud rate 14400 is not supported");

    ASSERT_TRUE(port_->SetPortOpen(true)) << port_->LastError().description;
    EXPECT_EQ(pty_.Speed(), B19200);
}

TEST_F(TermiosSerialPortTest, HandshakingOutsideTheFourModesIsRefused) {
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comRTS));
    port_->SetHandshaking(4);
    EXPECT_EQ(port_->LastError().number, EINVAL);
    EXPECT_NE(pty_.Attributes().c_cflag & CRTSCTS, 0u) << "the old mode stays";
    port_->SetHandshaking(-1);
    EXPECT_EQ(port_->LastError().number, EINVAL);
    EXPECT_TRUE(port_->PortOpen());
}

// ---- Opening failures ----

TEST_F(TermiosSerialPortTest, MissingDeviceNamesThePath) {
    devices_.Set(testPort, "/nonexistent/ttyQ0");
    EXPECT_FALSE(port_->SetPortOpen(true));
    EXPECT_FALSE(port_->PortOpen());
    EXPECT_EQ(port_->LastError().number, ENOENT);
    EXPECT_EQ(port_->LastError().description, "/nonexistent/ttyQ0: No such file or directory");
}

TEST_F(TermiosSerialPortTest, PortWithoutDeviceSaysSo) {
    port_->SetCommPort(17);
    EXPECT_FALSE(port_->SetPortOpen(true));
    EXPECT_EQ(port_->LastError().number, ENODEV);
    EXPECT_EQ(port_->LastError().description, "COM17 has no device");
}

TEST_F(TermiosSerialPortTest, FileThatIsNoTerminalIsRefused) {
    char name[] = "/tmp/reradav-notatty-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    devices_.Set(testPort, name);
    EXPECT_FALSE(port_->SetPortOpen(true));
    EXPECT_FALSE(port_->PortOpen());
    EXPECT_EQ(port_->LastError().number, ENOTTY);
    EXPECT_EQ(port_->LastError().description, std::string(name) + ": Not a serial port");
    ::unlink(name);
}

TEST_F(TermiosSerialPortTest, SecondOpenerOfTheSameDeviceIsBusy) {
    std::string received;
    port_->SetOnComm([&] { received += port_->Input(); });
    ASSERT_TRUE(port_->SetPortOpen(true)) << port_->LastError().description;
    // Bytes waiting for the first opener when the second one tries...
    pty_.Write("abc");
    pollfd p{pty_.slave(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 10000), 1);
    auto second = MakePort();
    EXPECT_FALSE(second->SetPortOpen(true));
    EXPECT_FALSE(second->PortOpen());
    EXPECT_EQ(second->LastError().number, EBUSY);
    EXPECT_EQ(second->LastError().description, pty_.path() + ": Device or resource busy");
    EXPECT_TRUE(port_->PortOpen()) << "the first opener keeps the port";
    // ...are still there for it: the refused opener did not reset the tty.
    ASSERT_TRUE(RunUntil([&] { return received.size() >= 3; }));
    EXPECT_EQ(received, "abc");
    EXPECT_EQ(pty_.Attributes().c_cflag & CSIZE, CS8);

    port_->SetPortOpen(false);
    EXPECT_TRUE(second->SetPortOpen(true)) << second->LastError().description;
    EXPECT_EQ(second->LastError().number, 0) << "a successful opening clears the old error";
}

TEST_F(TermiosSerialPortTest, PermissionDeniedPointsAtTheDialoutGroup) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root opens any device";
    }
    ASSERT_EQ(fchmod(pty_.slave(), 0), 0);
    EXPECT_FALSE(port_->SetPortOpen(true));
    EXPECT_EQ(port_->LastError().number, EACCES);
    EXPECT_EQ(port_->LastError().description,
              pty_.path() + ": Permission denied (is the user in the dialout group?)");
}

// ---- Receiving ----

TEST_F(TermiosSerialPortTest, EveryByteArrivesInOrderThroughOnComm) {
    std::string received;
    std::vector<std::int16_t> events;
    port_->SetInputLen(0);
    port_->SetOnComm([&] {
        events.push_back(port_->CommEvent());
        received += port_->Input();
    });
    ASSERT_TRUE(OpenWith("115200,N,8,1", SerialComponent::comNone));

    // NUL, XON/XOFF, CR, LF and 0xFF among them; handshaking 0 passes them all.
    const std::string sent = AllByteValues() + "\r\n" + AllByteValues() + std::string(3, '\0');
    pty_.Write(sent.substr(0, 100));
    ASSERT_TRUE(RunUntil([&] { return received.size() >= 100; }));
    pty_.Write(sent.substr(100));
    ASSERT_TRUE(RunUntil([&] { return received.size() >= sent.size(); }));
    EXPECT_EQ(received, sent);
    ASSERT_FALSE(events.empty());
    for (const std::int16_t e : events) {
        EXPECT_EQ(e, SerialComponent::comEvReceive);
    }
    EXPECT_EQ(port_->InBufferCount(), 0);
}

TEST_F(TermiosSerialPortTest, InputLenLimitsEachInput) {
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    pty_.Write(
        std::string("ab\0\xff"
                    "efgh",
                    8));
    ASSERT_TRUE(RunUntil([&] { return port_->InBufferCount() == 8; }));
    port_->SetInputLen(3);
    EXPECT_EQ(port_->Input(), std::string("ab\0", 3));
    EXPECT_EQ(port_->InBufferCount(), 5);
    EXPECT_EQ(port_->Input(),
              "\xff"
              "ef");
    EXPECT_EQ(port_->Input(), "gh");
    EXPECT_EQ(port_->Input(), "");
    EXPECT_EQ(port_->InBufferCount(), 0);
}

TEST_F(TermiosSerialPortTest, UnreadBytesOfAnEarlierOpeningAreDropped) {
    // Bytes waiting in the tty before the port opens...
    pty_.Write("stale\n");  // a whole line, so the cooked tty reports it readable
    pollfd p{pty_.slave(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 10000), 1);
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    // ...and bytes read but not taken when it closes.
    pty_.Write("unread");
    ASSERT_TRUE(RunUntil([&] { return port_->InBufferCount() == 6; }));
    port_->SetPortOpen(false);
    EXPECT_EQ(port_->InBufferCount(), 0);
    EXPECT_EQ(port_->Input(), "");

    ASSERT_TRUE(port_->SetPortOpen(true)) << port_->LastError().description;
    pty_.Write("fresh");
    ASSERT_TRUE(RunUntil([&] { return port_->InBufferCount() >= 5; }));
    EXPECT_EQ(port_->Input(), "fresh");
}

TEST_F(TermiosSerialPortTest, ClosedPortLeavesNothingInTheEventLoop) {
    int comEvents = 0;
    port_->SetOnComm([&] { ++comEvents; });
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    const int portFd = DescriptorOf(pty_.path(), pty_.slave());
    ASSERT_GE(portFd, 0);
    port_->SetPortOpen(false);

    // Another file takes the old descriptor number and is readable at once.
    int spare[2];
    ASSERT_EQ(pipe(spare), 0);
    ASSERT_EQ(::write(spare[1], "x", 1), 1);
    ASSERT_EQ(dup2(spare[0], portFd), portFd);
    EXPECT_LT(WakeUpsWhileIdle(), 100);
    EXPECT_EQ(comEvents, 0);
    ::close(portFd);
    ::close(spare[0]);
    ::close(spare[1]);
}

TEST_F(TermiosSerialPortTest, ClosingFromTheHandlerStopsFurtherEvents) {
    int comEvents = 0;
    int hangUps = 0;
    port_->SetOnComm([&] {
        ++comEvents;
        port_->SetPortOpen(false);
    });
    port_->SetOnHangUp([&] { ++hangUps; });
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    pty_.Write("first");
    ASSERT_TRUE(RunUntil([&] { return comEvents > 0; }));
    pty_.Write("second");
    pty_.CloseMaster();
    RunFor(200ms);
    EXPECT_EQ(comEvents, 1);
    EXPECT_EQ(hangUps, 0) << "a closed port has nothing to lose";
    EXPECT_FALSE(port_->PortOpen());
}

TEST_F(TermiosSerialPortTest, HandlerThatServicesEventsIsNotReentered) {
    // The typing routine lets events run while it waits; more bytes may come meanwhile.
    std::string received;
    int depth = 0;
    int deepest = 0;
    port_->SetOnComm([&] {
        deepest = std::max(deepest, ++depth);
        received += port_->Input();
        if (received == "one") {
            pty_.Write("two");
            RunFor(150ms);
        }
        --depth;
    });
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    pty_.Write("one");
    ASSERT_TRUE(RunUntil([&] { return received.size() >= 6; }));
    EXPECT_EQ(received, "onetwo");
    EXPECT_EQ(deepest, 1);
}

TEST_F(TermiosSerialPortTest, ReopeningFromTheHandlerKeepsReceiving) {
    std::string received;
    int reopened = 0;
    port_->SetOnComm([&] {
        received += port_->Input();
        if (reopened++ == 0) {
            port_->SetPortOpen(false);
            ASSERT_TRUE(port_->SetPortOpen(true)) << port_->LastError().description;
        }
    });
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    pty_.Write("one");
    ASSERT_TRUE(RunUntil([&] { return reopened > 0; }));
    pty_.Write("two");
    ASSERT_TRUE(RunUntil([&] { return received.size() >= 6; }));
    EXPECT_EQ(received, "onetwo");
}

// ---- Sending ----

TEST_F(TermiosSerialPortTest, OutputIsByteExact) {
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    const std::string sent = AllByteValues() + "\r\n\n" + std::string(2, '\0');
    port_->Output(sent);
    EXPECT_EQ(port_->LastError().number, 0) << port_->LastError().description;
    EXPECT_EQ(pty_.Read(sent.size()), sent);
    port_->Output("");
    EXPECT_EQ(port_->LastError().number, 0);
}

TEST_F(TermiosSerialPortTest, OutputLargerThanTheTtyBufferWaitsForTheReader) {
    ASSERT_TRUE(OpenWith("115200,N,8,1", SerialComponent::comNone));
    std::string sent;
    for (int i = 0; i < 1024; ++i) {
        sent += AllByteValues();
    }
    std::string read;
    std::thread reader([&] { read = pty_.Read(sent.size()); });
    port_->Output(sent);
    reader.join();
    EXPECT_EQ(port_->LastError().number, 0) << port_->LastError().description;
    EXPECT_EQ(read.size(), sent.size());
    EXPECT_TRUE(read == sent);
}

TEST_F(TermiosSerialPortTest, OutputNobodyTakesIsReportedWithWhatWasSent) {
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    std::string sent;
    for (int i = 0; i < 4096; ++i) {
        sent += AllByteValues();
    }
    port_->Output(sent);  // 1 MiB: far more than a tty buffers
    const auto error = port_->LastError();
    EXPECT_EQ(error.number, ETIMEDOUT);
    const std::string prefix = pty_.path() + ": ";
    ASSERT_EQ(error.description.rfind(prefix, 0), 0u) << error.description;
    const std::size_t claimed =
        std::strtoul(error.description.c_str() + prefix.size(), nullptr, 10);
    EXPECT_NE(error.description.find(" of 1048576 bytes sent (the device takes no data)"),
              std::string::npos)
        << error.description;
    ASSERT_GT(claimed, 0u);
    ASSERT_LT(claimed, sent.size());

    // Exactly the bytes it says went out reached the other end.
    const std::string read = pty_.Read(sent.size(), 500ms);
    EXPECT_EQ(read.size(), claimed);
    EXPECT_TRUE(read == sent.substr(0, read.size()));
    EXPECT_TRUE(port_->PortOpen());
}

TEST_F(TermiosSerialPortTest, OutputOnAClosedPortIsReported) {
    port_->Output("x");
    EXPECT_EQ(port_->LastError().number, EBADF);
    EXPECT_EQ(port_->LastError().description, "Port is not open");
}

// ---- Hang-up ----

TEST_F(TermiosSerialPortTest, HangUpClosesThePortOnceAndTellsOnce) {
    int hangUps = 0;
    int comEvents = 0;
    bool openInHandler = true;
    port_->SetOnComm([&] { ++comEvents; });
    int spare[2] = {-1, -1};
    int portFd = -1;
    port_->SetOnHangUp([&] {
        ++hangUps;
        openInHandler = port_->PortOpen();
        // Whatever the handler opens may get the port's old descriptor number; a notifier
        // still watching that number would fire for this readable pipe without end.
        ASSERT_EQ(pipe(spare), 0);
        ASSERT_EQ(::write(spare[1], "x", 1), 1);
        ASSERT_EQ(dup2(spare[0], portFd), portFd);
    });
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    const std::string path = pty_.path();
    portFd = DescriptorOf(path, pty_.slave());
    ASSERT_GE(portFd, 0);

    pty_.CloseMaster();
    ASSERT_TRUE(RunUntil([&] { return hangUps > 0; }));

    const int wakeUps = WakeUpsWhileIdle();

    EXPECT_EQ(hangUps, 1);
    EXPECT_EQ(comEvents, 0);
    EXPECT_FALSE(openInHandler) << "the port is closed before the handler runs";
    EXPECT_FALSE(port_->PortOpen());
    EXPECT_EQ(port_->LastError().number, ENODEV);
    EXPECT_EQ(port_->LastError().description, path + ": Device disconnected");
    EXPECT_LT(wakeUps, 100);

    // Nothing left behind: closing again and destroying are harmless.
    EXPECT_TRUE(port_->SetPortOpen(false));
    EXPECT_EQ(hangUps, 1);
    ::close(spare[0]);
    ::close(spare[1]);
    ::close(portFd);
}

TEST_F(TermiosSerialPortTest, HangUpHandlerMayTryToReopen) {
    int hangUps = 0;
    bool reopened = true;
    port_->SetOnHangUp([&] {
        ++hangUps;
        reopened = port_->SetPortOpen(true);
    });
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    pty_.CloseMaster();
    ASSERT_TRUE(RunUntil([&] { return hangUps > 0; }));
    RunFor(200ms);
    EXPECT_EQ(hangUps, 1);
    EXPECT_FALSE(reopened) << "the other end is gone";
    EXPECT_FALSE(port_->PortOpen());
    EXPECT_NE(port_->LastError().number, 0);
}

TEST_F(TermiosSerialPortTest, HangUpWhileReadingStillEndsInOneCall) {
    int hangUps = 0;
    std::string received;
    port_->SetOnComm([&] { received += port_->Input(); });
    port_->SetOnHangUp([&] { ++hangUps; });
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    pty_.Write("abc");
    ASSERT_TRUE(RunUntil([&] { return received.size() == 3; }));
    pty_.Write("late");
    pty_.CloseMaster();
    ASSERT_TRUE(RunUntil([&] { return hangUps > 0; }));
    RunFor(200ms);
    EXPECT_EQ(hangUps, 1);
    // Whether the pty hands over "late" before the hang-up is the kernel's affair; what did
    // arrive is in order.
    EXPECT_EQ(received.substr(0, 3), "abc");
    EXPECT_TRUE(received == "abc" || received == "abclate") << received;
}

// ---- DSR ----

// A pseudo-terminal has no modem lines, so the DSR line comes from the test.
class FakeModemPort : public TermiosSerialPort {
  public:
    using TermiosSerialPort::TermiosSerialPort;
    std::atomic<int> lines{0};
    int reads = 0;

  protected:
    int ReadModemLines(int, int& out) override {
        ++reads;
        out = lines;
        return 0;
    }
};

class DsrTest : public TermiosSerialPortTest {
  protected:
    void SetUp() override {
        TermiosSerialPortTest::SetUp();
        modem_ = std::make_unique<FakeModemPort>(devices_);
        modem_->SetCommPort(testPort);
        modem_->SetOnComm([this] { events_.push_back(modem_->CommEvent()); });
    }
    void TearDown() override { modem_.reset(); }

    std::unique_ptr<FakeModemPort> modem_;
    std::vector<std::int16_t> events_;
};

TEST_F(DsrTest, ChangesRaiseOnCommOnlyWhileWatched) {
    EXPECT_FALSE(modem_->WatchDsr());
    ASSERT_TRUE(modem_->SetPortOpen(true)) << modem_->LastError().description;
    modem_->lines = TIOCM_DSR;
    RunFor(150ms);
    EXPECT_TRUE(events_.empty()) << "not watched by default";

    modem_->SetWatchDsr(true);
    RunFor(100ms);
    EXPECT_TRUE(events_.empty()) << "the state at the start of watching is no change";
    modem_->lines = 0;
    ASSERT_TRUE(RunUntil([&] { return events_.size() == 1; }));
    modem_->lines = TIOCM_DSR | TIOCM_CTS;
    ASSERT_TRUE(RunUntil([&] { return events_.size() == 2; }));
    modem_->lines = TIOCM_DSR;  // CTS is not watched
    RunFor(150ms);
    EXPECT_EQ(events_,
              (std::vector<std::int16_t>{SerialComponent::comEvDSR, SerialComponent::comEvDSR}));
    EXPECT_EQ(modem_->CommEvent(), SerialComponent::comEvDSR);

    modem_->SetWatchDsr(false);
    modem_->lines = 0;
    RunFor(150ms);
    EXPECT_EQ(events_.size(), 2u);
}

TEST_F(DsrTest, WatchingSurvivesReopeningAndStopsWhenClosed) {
    modem_->SetWatchDsr(true);  // set while closed
    ASSERT_TRUE(modem_->SetPortOpen(true)) << modem_->LastError().description;
    modem_->lines = TIOCM_DSR;
    ASSERT_TRUE(RunUntil([&] { return events_.size() == 1; }));

    modem_->SetPortOpen(false);
    const int readsWhenClosed = modem_->reads;
    modem_->lines = 0;
    RunFor(150ms);
    EXPECT_EQ(events_.size(), 1u);
    EXPECT_EQ(modem_->reads, readsWhenClosed) << "no polling of a closed port";

    ASSERT_TRUE(modem_->SetPortOpen(true));
    modem_->lines = TIOCM_DSR;
    ASSERT_TRUE(RunUntil([&] { return events_.size() == 2; }));
}

TEST_F(TermiosSerialPortTest, WatchingDsrOnADeviceWithoutModemLinesIsQuiet) {
    std::vector<std::int16_t> events;
    port_->SetOnComm([&] { events.push_back(port_->CommEvent()); });
    port_->SetWatchDsr(true);
    ASSERT_TRUE(OpenWith("9600,N,8,1", SerialComponent::comNone));
    RunFor(100ms);
    ExpectOpen();
    EXPECT_TRUE(events.empty());
    pty_.Write("x");
    ASSERT_TRUE(RunUntil([&] { return !events.empty(); }));
    EXPECT_EQ(events.front(), SerialComponent::comEvReceive);
}

}  // namespace
}  // namespace reradav
