#include "serial/PortControl.h"

#include <gtest/gtest.h>

#include "support/Fakes.h"

namespace reradav {
namespace {

using namespace test;

struct FakeTimer : FramingTimer {
    void SetInterval(int ms) override { interval = ms; }
    void SetEnabled(bool on) override { enabled = on; }
    int interval = 0;
    bool enabled = true;
};

class PortControlTest : public ::testing::Test {
  protected:
    PortControlTest() { serial.open = false; }

    AppSettings settings;
    FakeSettingsControls prefs;
    FakeSerial serial;
    FakeWindow window;
    FakeTimer timer;
    ReceiveFraming framing{serial, settings, prefs, window, [](std::string& r) { r.clear(); }};
    PortControl port{settings, serial, framing, timer, window};
};

TEST_F(PortControlTest, OpeningSetsTheComponentUpInOrderAndStartsTheTimer) {
    settings.CommSettings = "19200,E,7,2";
    settings.Handshake = 1;
    timer.enabled = false;
    port.SelectPort(3);
    EXPECT_EQ(serial.log,
              "CommPort=3 Settings=19200,E,7,2 DTREnable=1 Handshaking=3 RTSEnable=1 WatchDsr=0 "
              "PortOpen=1");
    EXPECT_TRUE(serial.open);
    EXPECT_TRUE(timer.enabled);
    EXPECT_EQ(timer.interval, 50);
    EXPECT_EQ(window.captions, std::vector<std::string>{"Reradav (Active On COM3)"});
    EXPECT_EQ(settings.ComPort, 3);
    EXPECT_EQ(settings.ComPortText, "3");
}

TEST_F(PortControlTest, FlowControlChoicesReachTheComponent) {
    // Only Opto-RS watches DSR; a choice outside the list leaves the line options alone.
    const std::pair<std::int16_t, std::string> cases[] = {
        {0, "Handshaking=0 RTSEnable=1 WatchDsr=0"},
        {2, "Handshaking=2 RTSEnable=1 WatchDsr=0"},
        {3, "Handshaking=0 RTSEnable=0 WatchDsr=1"},
        {7, "WatchDsr=0"}};
    for (const auto& [handshake, expected] : cases) {
        settings.Handshake = handshake;
        serial.log.clear();
        serial.open = false;
        port.TogglePort();
        EXPECT_NE(serial.log.find("DTREnable=1 " + expected + " PortOpen=1"), std::string::npos)
            << serial.log;
    }
}

TEST_F(PortControlTest, ChoosingAnotherPortClosesFirstAndClearsTheDisplay) {
    port.SelectPort(1);
    window.display = "old read";
    window.captions.clear();
    port.SelectPort(3);
    EXPECT_EQ(window.captions,
              (std::vector<std::string>{"Reradav (Inactive)", "Reradav (Active On COM3)"}));
    EXPECT_EQ(window.display, "");
    EXPECT_EQ(serial.log.substr(serial.log.find("PortOpen=0")),
              "PortOpen=0 CommPort=3 "
              "Settings=9600,N,8,1 DTREnable=1 Handshaking=0 RTSEnable=1 WatchDsr=0 PortOpen=1");
}

TEST_F(PortControlTest, NoneClosesAndLeavesTheTimerRunning) {
    port.SelectPort(2);
    port.SelectPort(0);
    EXPECT_FALSE(serial.open);
    EXPECT_TRUE(timer.enabled);
    EXPECT_EQ(window.captions.back(), "Reradav (Inactive)");
    window.captions.clear();
    port.SelectPort(0);  // already closed: only the display is cleared
    EXPECT_TRUE(window.captions.empty());
}

TEST_F(PortControlTest, AFailedOpeningShowsTheReasonAndStopsTheTimer) {
    serial.failOpen = true;
    serial.error = {2, "/dev/ttyS4: No such file or directory"};
    port.SelectPort(13);
    EXPECT_EQ(window.captions,
              std::vector<std::string>{"Reradav (Error: /dev/ttyS4: No such file or directory)"});
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(settings.ComPort, 13);  // the choice stays, to be saved
}

TEST_F(PortControlTest, RefusedSettingsAreReportedAndThePortStaysClosed) {
    serial.refuseSettings = true;
    serial.error = {22, "1.5 stop bits are not supported on Linux"};
    settings.CommSettings = "9600,N,8,1.5";
    port.SelectPort(1);
    EXPECT_EQ(serial.log.find("PortOpen=1"), std::string::npos);
    EXPECT_FALSE(serial.open);
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(window.captions.back(), "Reradav (Error: 1.5 stop bits are not supported on Linux)");
}

TEST_F(PortControlTest, OpeningRestartsTheIdleCount) {
    port.SelectPort(1);
    serial.Receive("7");
    framing.OnComm();
    framing.Timer1_Timer();
    framing.Timer1_Timer();
    ASSERT_EQ(framing.IdleTicks(), 1);
    port.SelectPort(1);  // the same port: closed and opened again
    EXPECT_TRUE(serial.open);
    EXPECT_EQ(framing.IdleTicks(), 0);
}

TEST_F(PortControlTest, ALostPortShowsTheErrorAndStopsTheTimer) {
    port.SelectPort(5);
    serial.open = false;
    serial.error = {5, "/dev/ttyUSB0: the device was disconnected"};
    port.PortLost();
    EXPECT_EQ(window.captions.back(), "Reradav (Error: /dev/ttyUSB0: the device was disconnected)");
    EXPECT_FALSE(timer.enabled);
}

TEST_F(PortControlTest, NewSettingsReopenAnOpenPortWithoutTouchingDtrOrThePortNumber) {
    port.SelectPort(4);
    serial.log.clear();
    window.captions.clear();
    settings.CommSettings = "1200,M,7,1.5";
    settings.Handshake = 3;
    port.ReapplySettings();
    EXPECT_EQ(serial.log,
              "PortOpen=0 Settings=1200,M,7,1.5 Handshaking=0 RTSEnable=0 WatchDsr=1 PortOpen=1");
    EXPECT_TRUE(serial.open);
    EXPECT_TRUE(window.captions.empty());  // still shown as active on COM4
}

TEST_F(PortControlTest, NewSettingsWaitForTheNextOpeningOfAClosedPort) {
    settings.CommSettings = "4800,E,7,2";
    port.ReapplySettings();
    EXPECT_EQ(serial.log, "");
    EXPECT_FALSE(serial.open);
}

TEST_F(PortControlTest, AFailedReopenLeavesThePortClosedAndSaysWhy) {
    port.SelectPort(4);
    serial.failOpen = true;
    serial.error = {16, "/dev/ttyS3: Device or resource busy"};
    settings.Handshake = -1;  // outside the list: the modes are left alone
    serial.log.clear();
    port.ReapplySettings();
    EXPECT_EQ(serial.log, "PortOpen=0 Settings=9600,N,8,1 WatchDsr=0 PortOpen=1");
    EXPECT_FALSE(serial.open);
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(window.captions.back(), "Reradav (Error: /dev/ttyS3: Device or resource busy)");
}

}  // namespace
}  // namespace reradav
