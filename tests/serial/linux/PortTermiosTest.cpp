#include "serial/linux/TermiosSerialPort.h"

#include <gtest/gtest.h>

#include <cstring>

namespace reradav {
namespace {

using Parity = PortSettings::Parity;
using StopBits = PortSettings::StopBits;

// Starts from a cooked terminal, so raw mode has something to undo.
termios Cooked() {
    termios tio;
    std::memset(&tio, 0, sizeof tio);
    tio.c_iflag = ICRNL | IXON | ISTRIP;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_cflag = CS7 | PARENB | CSTOPB | CRTSCTS | HUPCL;
    tio.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    cfsetispeed(&tio, B300);
    cfsetospeed(&tio, B300);
    return tio;
}

termios Built(const PortSettings& settings, std::int16_t handshaking = SerialComponent::comNone) {
    termios tio = Cooked();
    EXPECT_TRUE(ApplyPortTermios(tio, settings, handshaking));
    return tio;
}

TEST(PortTermiosTest, RawModeWithReceiverOnAndModemControlOff) {
    const termios tio = Built(PortSettings{});
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | ISTRIP | IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ(tio.c_cc[VMIN], 1);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

TEST(PortTermiosTest, EveryListedRateHasItsCode) {
    const struct {
        std::uint32_t baud;
        speed_t code;
    } rates[] = {{110, B110},     {300, B300},     {600, B600},       {1200, B1200},
                 {2400, B2400},   {4800, B4800},   {9600, B9600},     {19200, B19200},
                 {38400, B38400}, {57600, B57600}, {115200, B115200}, {921600, B921600}};
    for (const auto& r : rates) {
        PortSettings s;
        s.baud = r.baud;
        const termios tio = Built(s);
        EXPECT_EQ(cfgetispeed(&tio), r.code) << r.baud;
        EXPECT_EQ(cfgetospeed(&tio), r.code) << r.baud;
    }
}

TEST(PortTermiosTest, RatesWithoutATermiosCodeAreRefused) {
    for (std::uint32_t baud : {14400u, 28800u, 56000u, 128000u, 9601u}) {
        PortSettings s;
        s.baud = baud;
        termios tio = Cooked();
        EXPECT_FALSE(ApplyPortTermios(tio, s, SerialComponent::comNone)) << baud;
    }
}

TEST(PortTermiosTest, ParityIncludingMarkAndSpace) {
    const struct {
        Parity parity;
        tcflag_t set;
        tcflag_t clear;
    } cases[] = {
        {Parity::None, 0, PARENB | PARODD | CMSPAR}, {Parity::Odd, PARENB | PARODD, CMSPAR},
        {Parity::Even, PARENB, PARODD | CMSPAR},     {Parity::Mark, PARENB | PARODD | CMSPAR, 0},
        {Parity::Space, PARENB | CMSPAR, PARODD},
    };
    for (const auto& c : cases) {
        PortSettings s;
        s.parity = c.parity;
        const termios tio = Built(s);
        EXPECT_EQ(tio.c_cflag & c.set, c.set) << static_cast<int>(c.parity);
        EXPECT_EQ(tio.c_cflag & c.clear, 0u) << static_cast<int>(c.parity);
    }
}

TEST(PortTermiosTest, DataAndStopBits) {
    const struct {
        int bits;
        tcflag_t size;
    } sizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
    for (const auto& z : sizes) {
        PortSettings s;
        s.dataBits = z.bits;
        EXPECT_EQ(Built(s).c_cflag & CSIZE, z.size) << z.bits;
    }
    PortSettings one;
    EXPECT_EQ(Built(one).c_cflag & CSTOPB, 0u);
    PortSettings two;
    two.stopBits = StopBits::Two;
    EXPECT_EQ(Built(two).c_cflag & CSTOPB, CSTOPB);
}

TEST(PortTermiosTest, OneAndAHalfStopBitsCannotBeExpressed) {
    PortSettings s;
    s.stopBits = StopBits::OneAndHalf;
    termios tio = Cooked();
    EXPECT_FALSE(ApplyPortTermios(tio, s, SerialComponent::comNone));
}

TEST(PortTermiosTest, HandshakingModes) {
    const struct {
        std::int16_t mode;
        bool rtscts;
        bool xonxoff;
    } modes[] = {{SerialComponent::comNone, false, false},
                 {SerialComponent::comXOnXOff, false, true},
                 {SerialComponent::comRTS, true, false},
                 {SerialComponent::comRTSXOnXOff, true, true}};
    for (const auto& m : modes) {
        const termios tio = Built(PortSettings{}, m.mode);
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, m.rtscts) << m.mode;
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), m.xonxoff ? (IXON | IXOFF) : 0u) << m.mode;
        if (m.xonxoff) {
            EXPECT_EQ(tio.c_cc[VSTART], 0x11);
            EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
        }
    }
}

TEST(TermiosMismatchTest, NamesWhatTheDeviceChanged) {
    PortSettings s;
    s.parity = Parity::Mark;
    s.dataBits = 7;
    const termios wanted = Built(s, SerialComponent::comRTSXOnXOff);
    EXPECT_EQ(TermiosMismatch(wanted, wanted), "");

    termios actual = wanted;
    cfsetispeed(&actual, B4800);
    cfsetospeed(&actual, B4800);
    EXPECT_EQ(TermiosMismatch(wanted, actual), "baud rate");

    actual = wanted;
    actual.c_cflag &= ~CMSPAR;  // mark became odd
    EXPECT_EQ(TermiosMismatch(wanted, actual), "parity");

    actual = wanted;
    actual.c_cflag |= CSTOPB;
    EXPECT_EQ(TermiosMismatch(wanted, actual), "stop bits");

    actual = wanted;
    actual.c_iflag &= ~IXOFF;
    EXPECT_EQ(TermiosMismatch(wanted, actual), "flow control");
    actual = wanted;
    actual.c_cflag &= ~CRTSCTS;
    EXPECT_EQ(TermiosMismatch(wanted, actual), "flow control");

    // What a pseudo-terminal does to every setting: eight data bits, no parity.
    actual = wanted;
    actual.c_cflag = (actual.c_cflag & ~(CSIZE | PARENB)) | CS8;
    EXPECT_EQ(TermiosMismatch(wanted, actual), "data bits, parity");
}

TEST(TermiosMismatchTest, IgnoresParityDetailWhenParityIsOff) {
    const termios wanted = Built(PortSettings{});
    termios actual = wanted;
    actual.c_cflag |= CMSPAR | PARODD;
    EXPECT_EQ(TermiosMismatch(wanted, actual), "");
    // And flags outside the line settings are none of its business.
    actual.c_cflag |= HUPCL;
    actual.c_lflag |= NOFLSH;
    EXPECT_EQ(TermiosMismatch(wanted, actual), "");
}

}  // namespace
}  // namespace reradav
