#include "serial/windows/Win32SerialPort.h"

#include <gmock/gmock.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <numeric>
#include <thread>

#include "common/windows/SystemText.h"
#include "common/windows/Win32EventLoop.h"
#include "serial/windows/SerialLink.h"

namespace reradav {
namespace {

using namespace std::chrono_literals;

// Rate, word, parity, stop bits, CTS flow, RTS mode and XON/XOFF (out + 2 * in) of each choice,
// over what a driver left behind; then what no DCB can carry.
TEST(ApplyPortDcb, SetsEveryChoiceAndRefusesWhatADcbCannotCarry) {
    using Fields = std::array<DWORD, 7>;
    const std::tuple<const char*, std::int16_t, bool, Fields> rows[] = {
        {"110,S,5,1.5", 0, true, {110, 5, SPACEPARITY, ONE5STOPBITS, 0, RTS_CONTROL_ENABLE, 0}},
        {"14400,O,6,2", 1, true, {14400, 6, ODDPARITY, TWOSTOPBITS, 0, RTS_CONTROL_ENABLE, 3}},
        {"50,E,7,1", 2, false, {50, 7, EVENPARITY, ONESTOPBIT, 1, RTS_CONTROL_HANDSHAKE, 0}},
        {"9600,M,8,1", 3, false, {9600, 8, MARKPARITY, ONESTOPBIT, 1, RTS_CONTROL_HANDSHAKE, 3}},
        {"921600,N,8,2", 0, false, {921600, 8, NOPARITY, TWOSTOPBITS, 0, RTS_CONTROL_DISABLE, 0}}};
    DCB dcb{};
    for (const auto& [text, flow, rts, fields] : rows) {
        dcb.fNull = dcb.fAbortOnError = dcb.fDsrSensitivity = dcb.fOutxDsrFlow = TRUE;
        ASSERT_TRUE(ApplyPortDcb(dcb, ParsePortSettings(text).settings, flow, true, rts)) << text;
        EXPECT_EQ((Fields{dcb.BaudRate, dcb.ByteSize, dcb.Parity, dcb.StopBits, dcb.fOutxCtsFlow,
                          dcb.fRtsControl, dcb.fOutX + 2u * dcb.fInX}),
                  fields)
            << text;
        EXPECT_TRUE(dcb.fBinary && !dcb.fNull && !dcb.fAbortOnError && !dcb.fDsrSensitivity &&
                    !dcb.fOutxDsrFlow && dcb.fDtrControl == DTR_CONTROL_ENABLE &&
                    dcb.fParity == (dcb.Parity != NOPARITY))
            << text;
    }
    for (const auto& [text, flow] : {std::pair("9600,N,8,1.5", 0),
                                     {"9600,N,6,1.5", 0},
                                     {"9600,N,5,2", 0},
                                     {"9600,N,8,1", 4},
                                     {"9600,N,8,1", -1}}) {
        EXPECT_FALSE(ApplyPortDcb(dcb, ParsePortSettings(text).settings, flow, true, true))
            << text << " " << flow;
    }
    // The RTS mode read back is no proof (Wine reports hardware flow as RTS on).
    DCB lost = dcb;
    lost.BaudRate = 38400;
    lost.StopBits = ONESTOPBIT;
    lost.fInX = !lost.fInX;
    lost.fRtsControl = RTS_CONTROL_ENABLE;
    EXPECT_EQ(DcbMismatch(dcb, lost), "baud rate, stop bits, flow control");
}

bool UnderWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

HANDLE OpenPlain(int port) {
    return ::CreateFileW((L"\\\\.\\COM" + std::to_wstring(port)).c_str(),
                         GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// COM16, the port under test, and COM17, the scanner at the other end of a null-modem pair.
class NullModemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const HANDLE probe = OpenPlain(16);
        scanner = OpenPlain(17);
        ::CloseHandle(probe);
        if (probe == INVALID_HANDLE_VALUE || scanner == INVALID_HANDLE_VALUE) {
            // Under CTest the pair is made first: then its absence is a failure.
            if (std::getenv("RERADAV_NULL_MODEM") != nullptr) {
                FAIL() << "COM16 and COM17 cannot both be opened";
            }
            GTEST_SKIP() << "COM16 and COM17 cannot both be opened: no null-modem pair (make one "
                            "with tests/serial/windows/null-modem.sh)";
        }
        // What an earlier test left on the line goes first; then a read waits up to 2 s.
        COMMTIMEOUTS timeouts{0, 0, 200, 0, 0};
        ::SetCommTimeouts(scanner, &timeouts);
        while (!Heard(1 << 16).empty()) {
        }
        timeouts.ReadTotalTimeoutConstant = 2000;
        ::SetCommTimeouts(scanner, &timeouts);
        port.SetCommPort(16);
    }
    void TearDown() override { ::CloseHandle(scanner); }

    void Scan(const std::string& bytes) {
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(scanner, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                nullptr));
    }
    std::string Heard(std::size_t size) {
        std::string bytes(size, '\0');
        DWORD got = 0;
        ::ReadFile(scanner, bytes.data(), static_cast<DWORD>(size), &got, nullptr);
        return bytes.substr(0, got);
    }
    template <typename Done>
    bool Pump(Done done, std::chrono::milliseconds limit = 5s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < end) {
            loop.ServiceEvents(10);
        }
        return done();
    }

    Win32EventLoop loop;
    ComDevices devices;
    Win32SerialPort port{devices, loop};
    HANDLE scanner = INVALID_HANDLE_VALUE;
};

// Every byte value arrives in order on the loop's thread, in pieces of at most InputLen, and
// goes out as sent; the port opens again after closing, and is destroyed open.
TEST_F(NullModemTest, BytesArriveInOrderAndGoOutAsSent) {
    std::string all(256, '\0');
    std::iota(all.begin(), all.end(), '\0');
    std::string got;
    std::size_t largest = 0;
    bool onLoopThread = true;
    port.SetOnComm([&, owner = std::this_thread::get_id()] {
        onLoopThread = onLoopThread && std::this_thread::get_id() == owner;
        while (port.CommEvent() == port.comEvReceive && port.InBufferCount() > 0) {
            const std::string piece = port.Input();
            largest = std::max(largest, piece.size());
            got += piece;
        }
    });
    port.SetInputLen(7);
    ASSERT_TRUE(port.SetPortOpen(true)) << port.LastError().description;
    Scan(all + all);
    ASSERT_TRUE(Pump([&] { return got.size() >= 2 * all.size(); })) << got.size();
    EXPECT_EQ(got, all + all);
    EXPECT_EQ(largest, 7u);
    EXPECT_TRUE(onLoopThread);
    port.Output(all);
    EXPECT_EQ(Heard(all.size()), all);

    Win32SerialPort second(devices, loop);
    second.SetCommPort(16);
    if (!UnderWine()) {  // Wine lets two handles share a COM port
        EXPECT_FALSE(second.SetPortOpen(true));
        EXPECT_EQ(second.LastError().description, "COM16 is in use by another program");
    }
    // What the scanner sends while the port is closed is no scan once it opens again.
    port.SetPortOpen(false);
    Scan("stale");
    std::this_thread::sleep_for(300ms);  // for the relay to put it in COM16's buffer
    got.clear();
    ASSERT_TRUE(port.SetPortOpen(true)) << port.LastError().description;
    Scan("again");
    ASSERT_TRUE(Pump([&] { return got.size() >= 5; }));
    EXPECT_EQ(got, "again");
}

TEST_F(NullModemTest, ErrorsSayWhatWentWrongInPlainWords) {
    using Act = std::function<void(Win32SerialPort&)>;
    const Act open = [](Win32SerialPort& p) { p.SetPortOpen(true); };
    const auto with = [](const char* line) {
        return [line](Win32SerialPort& p) { p.SetSettings(line), p.SetPortOpen(true); };
    };
    const std::string missing = "COM15: " + SystemMessage(ERROR_FILE_NOT_FOUND);
    const std::tuple<std::string, Act, int, std::string> rows[] = {
        {"\\\\.\\COM15", open, ENOENT, missing},
        {"NUL", open, ENOTTY, "NUL: Not a serial port"},
        {"", [](auto& p) { p.SetCommPort(17), p.SetPortOpen(true); }, ENODEV,
         "COM17 has no device"},
        {"COM16", with("9600,N,8,1.5"), EINVAL, "1.5 stop bits work only with 5 data bits"},
        {"COM16", with("9600,N,5,2"), EINVAL, "2 stop bits do not work with 5 data bits"},
        // A pty refuses 7 data bits, and takes parity and odd rates as none and 38400.
        {"COM16", with("9600,N,7,1"), EINVAL, "COM16: 9600,N,7,1 not accepted (data bits)"},
        {"COM16", with("9600,E,8,1"), EINVAL, "COM16: 9600,E,8,1 not accepted (parity)"},
        {"COM16", with("14400,N,8,1"), EINVAL, "COM16: 14400,N,8,1 not accepted (baud rate)"},
        {"", [](auto& p) { p.SetHandshaking(4); }, EINVAL,
         "Handshaking 4 is not a flow-control mode"},
        {"\\\\.\\COM15", [](auto& p) { p.SetPortOpen(true), p.Output("x"); }, ENOENT,
         missing} /* output keeps the error that closed the port */};
    for (const auto& [device, act, number, text] : rows) {
        devices.Set(16, device);
        Win32SerialPort fresh(devices, loop);
        fresh.SetCommPort(16);
        act(fresh);
        EXPECT_FALSE(fresh.PortOpen()) << text;
        EXPECT_EQ(fresh.LastError().description, text);
        EXPECT_EQ(fresh.LastError().number, number) << text;
    }
    EXPECT_EQ(OpenErrorText("COM16", ERROR_ACCESS_DENIED), "COM16 is in use by another program");
}

// Output is queued at once and dropped, with a word, when it cannot be sent or taken.
TEST_F(NullModemTest, OutputNobodyTakesIsDroppedAndSaidSo) {
    std::string dropped;
    port.SetOnOutputDropped([&](const std::string& why) { dropped = why; });
    port.Output("x");
    EXPECT_EQ(dropped, "1 bytes for the scanner dropped (the port is not open)");
    ASSERT_TRUE(port.SetPortOpen(true)) << port.LastError().description;
    port.Output(std::string(SerialLink::kMaxQueuedOutput + 1, 'x'));
    EXPECT_EQ(dropped,
              "COM16: 1048577 bytes for the scanner dropped (more than 1048576 bytes "
              "waiting)");
    port.Output(std::string(SerialLink::kMaxQueuedOutput, 'x'));  // more than the pair holds
    ASSERT_TRUE(Pump([&] { return dropped.find("takes") != std::string::npos; }, 8s));
    EXPECT_THAT(dropped, testing::MatchesRegex("COM16: \\d+ bytes for the scanner dropped "
                                               "\\(the device takes no data\\)"));
    EXPECT_EQ(port.LastError().number, ETIMEDOUT);
}

}  // namespace
}  // namespace reradav
