#include <gtest/gtest.h>

#include <functional>

#include "serial/ComDevices.h"
#include "serial/LineSettings.h"
#include "serial/PortControl.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

using namespace test;
using Strings = std::vector<std::string>;

TEST(ComDevicesTest, BuiltInFamiliesAndOverrides) {
    ComDevices devices;
    devices.Set(5, "/dev/by-id");
    devices.Set(6, "/dev/a");
    devices.Set(6, "");  // an empty path removes the override
    std::string seen;
    for (int port : {0, 1, 4, 5, 6, 7, 9, 12, 13, 16, 17})
        seen += ComDevices::DefaultDeviceFor(port) + ">" + devices.DeviceFor(port) + " ";
    EXPECT_EQ(seen,
              "> /dev/ttyS0>/dev/ttyS0 /dev/ttyS3>/dev/ttyS3 /dev/ttyUSB0>/dev/by-id "
              "/dev/ttyUSB1>/dev/ttyUSB1 /dev/ttyUSB2>/dev/ttyUSB2 /dev/ttyACM0>/dev/ttyACM0 "
              "/dev/ttyACM3>/dev/ttyACM3 /dev/ttyS4>/dev/ttyS4 /dev/ttyS7>/dev/ttyS7 > ");
    EXPECT_EQ(devices.Overrides().size(), 1u);
}

// Good texts come back canonical; a bad one's message quotes it and names the faulty field.
TEST(ParsePortSettingsTest, ReadsEveryFieldOrNamesTheFaultyOne) {
    std::string seen;
    for (const char* text : {"9600,N,8,1",   "1,n,5,2",           "110,O,6,1.5",
                             "300,o,7,1",    "4800,E,8,2",        "4800,e,8,1",
                             "1200,M,7,1",   "1200,m,7,1",        "2400,S,8,2",
                             "2400,s,8,2",   " 96 ,\tE\t,7 , 1 ", "",
                             "9600,N,8",     "9600,N,8,1,",       ",N,8,1",
                             "0,N,8,1",      "-9600,N,8,1",       "+9600,N,8,1",
                             "96 00,N,8,1",  "99999999999,N,8,1", "9600,X,8,1",
                             "9600,,8,1",    "9600,NN,8,1",       "9600,N,4,1",
                             "9600,N,9,1",   "9600,N,8x,1",       "9600,N,8,3",
                             "9600,N,8,1.0", "9600,N,8,"}) {
        const PortSettingsParse p = ParsePortSettings(text);
        const std::string quoted = "Bad line settings \"" + std::string(text) + "\": ";
        seen += p.ok && p.error.empty()         ? FormatPortSettings(p.settings) + " "
                : p.error.rfind(quoted, 0) == 0 ? p.error.substr(quoted.size(), 1)
                                                : "?";
    }
    EXPECT_EQ(seen,
              "9600,N,8,1 1,N,5,2 110,O,6,1.5 300,O,7,1 4800,E,8,2 4800,E,8,1 1200,M,7,1 "
              "1200,M,7,1 2400,S,8,2 2400,S,8,2 96,E,7,1 eeettttttpppdddsss");
}

// The dialog's lists: the rate is matched whole, the rest searched for after the first ",".
TEST(LineSettingsTest, ParsePlacesEachPartOrFallsBack) {
    std::string seen;
    for (const char* text : {"9600,N,8,1", "19200,E,7,2", "4800,S,5,1.5", "115200,M,6,1",
                             "110,O,8,2", "14400,O,8,1", "9600,n,8,1", "9600,", "9600"}) {
        LineIndexes indexes{1, 4, 0, 2};
        seen += ParseLineSettings(text, indexes) ? "" : "!";
        seen += BuildLineSettings(indexes) + " ";
    }
    EXPECT_EQ(seen,
              "9600,N,8,1 19200,E,7,2 4800,S,5,1.5 115200,M,6,1 110,O,8,2 300,O,8,1 9600,E,8,1 "
              "9600,E,7,1 !300,S,5,2 ");
    EXPECT_EQ(BuildLineSettings({-1, -1, -1, -1}) + BuildLineSettings({11, 5, 4, 3}),
              "0,E,7,10,E,7,1");
}

// The timer and the captions join the component's log: one transcript shows the order.
class SerialTest : public ::testing::Test, public FramingTimer, public FakeWindow {
  protected:
    void SetInterval(int ms) override { serial.Log("Interval=" + std::to_string(ms)); }
    void SetEnabled(bool on) override { serial.Log("Timer=" + std::to_string(on)); }
    void SetCaption(const std::string& text) override { serial.Log("[" + text + "]"); }
    void Receive(const std::string& bytes, int ticks) {
        if (!bytes.empty())
            serial.Receive(bytes);
        serial.event = SerialComponent::comEvReceive;
        framing.OnComm();
        while (ticks-- > 0)
            framing.Timer1_Timer();
    }

    AppSettings settings;
    FakeSettingsControls prefs;
    FakeSerial serial;
    Strings reads;
    std::function<void()> duringRead;
    ReceiveFraming framing{serial, settings, prefs, *this, [this](std::string& read) {
                               if (duringRead)
                                   duringRead();
                               reads.push_back(read);
                           }};
    PortControl port{settings, serial, framing, *this, *this};
};

// A read ends when three ticks in a row take nothing; the count then wraps without effect.
TEST_F(SerialTest, FramingJoinsFiltersAndPollsButNotOnAClosedPort) {
    Receive("A", 3);  // the first tick takes "A", two are idle
    Receive("B", 3);
    Receive("", 1);  // the third idle tick ends "AB"
    const std::string bytes("\0\x7f\x80\xff", 4);
    serial.Receive(bytes.substr(0, 2));  // two chunks waiting, both taken
    Receive(bytes.substr(2), 600);
    Receive("a1", 1);
    prefs.Box(CheckBox::NumFilter) = 1;  // read afresh at every tick
    Receive("b-2.5,+\r\n", 4);
    Receive("ABC", 4);
    serial.event = SerialComponent::comEvDSR;  // Opto-RS polls on every other DSR change
    for (std::int16_t handshake : {0, 3, 3, 3, 3, 1})
        settings.Handshake = handshake, framing.OnComm();
    serial.open = false;  // a closed port: nothing is taken
    Receive("12", 5);
    EXPECT_EQ(std::to_string(serial.inputLen) + framing.InputBuffer() + serial.output, "012?\r?\r");
    EXPECT_EQ(reads, (Strings{"AB", bytes, "a1-2.5", ""}));
}

// Caught a real fault: a tick while a read is handled (and typed) returns at once; the new
// bytes wait and the read being handled stays intact.
TEST_F(SerialTest, ATickDuringAReadReturnsAtOnce) {
    duringRead = [this] {
        duringRead = nullptr;
        Receive("b", 4);
        EXPECT_EQ(framing.InputBuffer(), "b");
    };
    Receive("a", 4);
    Receive("", 4);
    EXPECT_EQ(reads, (Strings{"a", "b"}));
}

TEST_F(SerialTest, PortsOpenSwitchCloseAndFailInOrder) {
    serial.open = false;
    settings.CommSettings = "19200,E,7,2";
    settings.Handshake = 1;
    port.SelectPort(3);
    Receive("7", 2);
    settings.Handshake = 3;
    port.SelectPort(5);
    EXPECT_EQ(framing.IdleTicks(), 0);  // opening starts the idle count afresh
    settings.Handshake = 7;             // outside the list: the modes stay
    port.TogglePort();
    port.TogglePort();
    port.SelectPort(0);
    port.SelectPort(0);  // already closed: nothing but the display
    EXPECT_EQ(serial.log,
              "CommPort=3 Settings=19200,E,7,2 DTREnable=1 Handshaking=3 RTSEnable=1 WatchDsr=0 "
              "PortOpen=1 Interval=50 Timer=1 [Reradav (Active On COM3)] PortOpen=0 [Reradav "
              "(Inactive)] CommPort=5 Settings=19200,E,7,2 DTREnable=1 Handshaking=0 RTSEnable=0 "
              "WatchDsr=1 PortOpen=1 Interval=50 Timer=1 [Reradav (Active On COM5)] PortOpen=0 "
              "[Reradav (Inactive)] CommPort=5 Settings=19200,E,7,2 DTREnable=1 WatchDsr=0 "
              "PortOpen=1 Interval=50 Timer=1 [Reradav (Active On COM5)] PortOpen=0 [Reradav "
              "(Inactive)]");
    EXPECT_EQ(std::to_string(displayCount) + settings.ComPortText, "40");

    // Refused settings and a failed reopen show the reason and stop the timer.
    serial.log.clear();
    serial.error = {5, "busy"};
    settings.Handshake = 2;
    serial.refuseSettings = true;
    port.SelectPort(1);
    port.ReapplySettings();  // closed: the settings wait for the next opening
    serial.open = true;
    port.ReapplySettings();
    serial.refuseSettings = false;
    serial.open = serial.failOpen = true;
    port.ReapplySettings();
    serial.failOpen = false;
    serial.open = true;
    port.ReapplySettings();
    const std::string reopen =
        " PortOpen=0 Settings=19200,E,7,2 Handshaking=2 RTSEnable=1 WatchDsr=0";
    const std::string error = " [Reradav (Error: busy)] Timer=0";
    EXPECT_EQ(serial.log,
              "CommPort=1 Settings=19200,E,7,2 DTREnable=1 Handshaking=2 RTSEnable=1 WatchDsr=0" +
                  error + reopen + error + reopen + " PortOpen=1" + error + reopen + " PortOpen=1");
}

}  // namespace
}  // namespace reradav
