#include "serial/PortControl.h"

#include <gtest/gtest.h>
#include <functional>

#include "support/Fakes.h"

namespace reradav {
namespace {

using namespace test;
using Strings = std::vector<std::string>;

// The timer and the captions join the component's log: one transcript shows the order.
class PortControlTest : public ::testing::Test, public FramingTimer, public FakeWindow {
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
TEST_F(PortControlTest, FramingJoinsFiltersAndPollsButNotOnAClosedPort) {
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

// Framing goes on while a read is typed: scans that arrive meanwhile stay reads of their own,
// handled in order after it, up to a bound beyond which they are dropped and said so. A hang-up
// ends the read at once; nothing of it waits for a later opening.
TEST_F(PortControlTest, ScansDuringTypingStaySeparateAndAHangUpEndsTheRead) {
    duringRead = [this] {
        duringRead = nullptr;
        Receive("b", 4);
        Receive("c", 4);
        Receive("d", 1);  // still being framed when the typing ends
    };
    Receive("a", 4);
    Receive("", 3);
    EXPECT_EQ(reads, (Strings{"a", "b", "c", "d"}));
    duringRead = [this] {
        duringRead = nullptr;
        for (int i = 0; i < 70; ++i)
            Receive("x", 4);
    };
    Receive("y", 4);
    EXPECT_EQ(reads.size(), 4u + 1u + ReceiveFraming::kMaxWaitingReads);
    EXPECT_EQ(status, "port: 6 reads were dropped: they came faster than they could be typed");
    reads.clear();
    Receive("978", 1);
    serial.open = false;  // the component closed the port it lost
    port.PortLost();
    serial.Receive("old");
    framing.OnComm();
    port.TogglePort();
    Receive("", 4);
    EXPECT_EQ(reads, (Strings{"978"}));
}

// A read without a pause ends at 16 MiB, and says so. A quit frames what arrived as a read at
// once; the reads waiting behind the one being typed are handled while the quit's grace lasts,
// then only counted.
TEST_F(PortControlTest, ReadsAreBoundedAndAQuitCountsTheReadsItDoesNotType) {
    Receive(std::string(ReceiveFraming::kMaxReadBytes + 3, 'x'), 4);
    EXPECT_EQ(Strings({reads.at(0).substr(ReceiveFraming::kMaxReadBytes - 1), reads.at(1)}),
              Strings({"x", "xxx"}));
    EXPECT_EQ(status, "port: a read of 16 MiB without a pause was ended there");
    reads.clear();
    duringRead = [this] {
        duringRead = nullptr;
        Receive("b", 4);
        Receive("c", 4);
        Receive("d", 1);
        framing.Quit([this] { return reads.size() >= 2; });  // the grace ends after "b"
    };
    Receive("a", 4);
    EXPECT_EQ(reads, (Strings{"a", "b"}));
    EXPECT_EQ(status, "port: 2 reads were not typed: Reradav was quitting");
}

TEST_F(PortControlTest, PortsOpenSwitchCloseAndFailInOrder) {
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

    // Refused settings and a failed reopen show the reason and stop the timer; a device that
    // may come back (EIO here) is watched for until the port opens, a refused setting is not.
    serial.log.clear();
    port.SetOnWatch([this](bool on) { serial.Log(on ? "Watch" : "Unwatch"); });
    serial.error = {5, "busy"};
    settings.Handshake = 2;
    serial.refuseSettings = true;
    port.SelectPort(1);
    port.ReapplySettings();  // closed: opened with them
    serial.open = true;
    port.ReapplySettings();
    serial.refuseSettings = false;
    serial.open = serial.failOpen = true;
    port.ReapplySettings();
    serial.failOpen = serial.open = false;
    port.RetryOpen();  // the device is back
    port.RetryOpen();  // open: nothing to do
    const std::string open =
        "CommPort=1 Settings=19200,E,7,2 DTREnable=1 Handshaking=2 RTSEnable=1 WatchDsr=0";
    const std::string reopen =
        " PortOpen=0 Settings=19200,E,7,2 Handshaking=2 RTSEnable=1 WatchDsr=0";
    const std::string error = " [Reradav (Error: busy)] Timer=0";
    EXPECT_EQ(serial.log, open + error + " Watch " + open + error + reopen + error + reopen +
                              " PortOpen=1" + error + " " + open +
                              " PortOpen=1 Interval=50 Timer=1 [Reradav (Active On COM1)] Unwatch");
}

}  // namespace
}  // namespace reradav
