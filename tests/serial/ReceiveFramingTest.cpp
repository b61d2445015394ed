#include "serial/ReceiveFraming.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/RecordingKeyboard.h"
#include "readproc/KeyTrans.h"
#include "readproc/ReadHandler.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

using namespace test;

class FramingTest : public ::testing::Test {
  protected:
    void Receive(const std::string& bytes) {
        serial.Receive(bytes);
        serial.event = SerialComponent::comEvReceive;
        framing.OnComm();
    }
    void Dsr() {
        serial.event = SerialComponent::comEvDSR;
        framing.OnComm();
    }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            framing.Timer1_Timer();
        }
    }

    AppSettings settings;
    FakeSettingsControls prefs;
    FakeSerial serial;
    FakeWindow window;
    std::vector<std::string> reads;
    ReceiveFraming framing{serial, settings, prefs, window, [this](std::string& read) {
                               reads.push_back(read);
                               read.clear();
                           }};
};

TEST_F(FramingTest, AReadEndsAfterThreeIdleTicks) {
    Receive("12345\r\n");
    Tick(3);
    EXPECT_TRUE(reads.empty());
    EXPECT_EQ(framing.PendingRead(), "12345\r\n");
    Tick();
    ASSERT_EQ(reads, std::vector<std::string>{"12345\r\n"});
    EXPECT_FALSE(framing.CharsPending());
    EXPECT_EQ(framing.PendingRead(), "");
}

TEST_F(FramingTest, TheNumericFilterKeepsDigitsPointAndMinus) {
    prefs.Box(CheckBox::NumFilter) = 1;
    Receive("12345\r\n");
    Tick(4);
    Receive("-12.5");
    Tick(4);
    Receive("+12,5");
    Tick(4);
    EXPECT_EQ(reads, (std::vector<std::string>{"12345", "-12.5", "125"}));
}

TEST_F(FramingTest, TheFilterIsReadAfreshAtEveryTick) {
    Receive("a1");
    Tick();
    prefs.Box(CheckBox::NumFilter) = 1;
    Receive("b2");
    Tick(4);
    EXPECT_EQ(reads, std::vector<std::string>{"a12"});
}

TEST_F(FramingTest, FilteredCharactersStillEndInAnEmptyRead) {
    prefs.Box(CheckBox::NumFilter) = 1;
    Receive("ABC");
    Tick(4);
    EXPECT_EQ(reads, std::vector<std::string>{""});
}

TEST_F(FramingTest, ScansJoinUnlessThreeTicksTakeNothing) {
    for (int gap = 1; gap <= 4; ++gap) {
        reads.clear();
        Receive("A");
        Tick();         // takes "A"
        Tick(gap - 1);  // idle ticks before the next scan arrives
        Receive("B");
        Tick(4);
        const auto expected =
            gap <= 3 ? std::vector<std::string>{"AB"} : std::vector<std::string>{"A", "B"};
        EXPECT_EQ(reads, expected) << "B taken by tick " << gap << " after A";
    }
}

TEST_F(FramingTest, EveryByteArrivesInOrderIncludingZero) {
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all += static_cast<char>(i);
    }
    Receive(all.substr(0, 100));
    Receive(all.substr(100));
    Tick(4);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0], all);
}

TEST_F(FramingTest, ReceiveDrainsEveryChunkWaiting) {
    serial.Receive("ab");
    serial.Receive("cd");
    serial.event = SerialComponent::comEvReceive;
    framing.OnComm();
    EXPECT_EQ(serial.inputLen, 0);
    EXPECT_TRUE(serial.chunks.empty());
    EXPECT_EQ(framing.InputBuffer(), "abcd");
}

TEST_F(FramingTest, OtherEventsChangeNothing) {
    serial.Receive("x");
    for (std::int16_t event : {1, 3, 5, 1004, 1006}) {
        serial.event = event;
        framing.OnComm();
    }
    EXPECT_EQ(framing.InputBuffer(), "");
    EXPECT_EQ(serial.output, "");
}

TEST_F(FramingTest, WithThePortClosedOnlyTheWindowIsSampled) {
    Receive("12");
    serial.open = false;
    window.minimised = true;
    Tick(10);
    EXPECT_TRUE(framing.WasMinimised());
    EXPECT_EQ(framing.InputBuffer(), "12");
    window.minimised = false;
    Tick();
    EXPECT_FALSE(framing.WasMinimised());
    serial.open = true;
    Tick(4);
    EXPECT_EQ(reads, std::vector<std::string>{"12"});
}

TEST_F(FramingTest, APartialReadCompletesThreeTicksAfterTheReopen) {
    Receive("12");
    Tick(2);
    serial.open = false;
    Tick(5);
    serial.open = true;
    framing.ResetIdleTicks();
    Tick(2);
    EXPECT_TRUE(reads.empty());
    Tick();
    EXPECT_EQ(reads, std::vector<std::string>{"12"});
}

TEST_F(FramingTest, OptoRsPollsOnEveryOtherDsrChange) {
    for (int i = 0; i < 4; ++i) {
        Dsr();
    }
    EXPECT_EQ(serial.output, "");
    settings.Handshake = HandshakeOptoRs;
    for (int i = 0; i < 4; ++i) {
        Dsr();
    }
    EXPECT_EQ(serial.output, "?\r?\r");
    settings.Handshake = 1;
    Dsr();
    EXPECT_EQ(serial.output, "?\r?\r");
}

TEST_F(FramingTest, AnIdleLineWrapsTheCountWithoutEffect) {
    Receive("1");
    Tick(4);
    Tick(600);
    EXPECT_EQ(reads.size(), 1u);
    EXPECT_LT(framing.IdleTicks(), 256);
    Receive("2");
    Tick(4);
    EXPECT_EQ(reads, (std::vector<std::string>{"1", "2"}));
}

TEST_F(FramingTest, AMegabyteBurstIsOneRead) {
    std::string burst;
    for (int i = 0; i < (1 << 20); ++i) {
        burst += static_cast<char>('0' + i % 10);
    }
    for (std::size_t at = 0; at < burst.size(); at += 4096) {
        Receive(burst.substr(at, 4096));
        if (at % (64 * 4096) == 0) {
            Tick();
        }
    }
    Tick(4);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0], burst);
}

// A read arriving while the previous one is typed waits in the buffer; the read being typed
// is not touched and nothing is typed twice or out of order.
TEST(FramingWhileTyping, ANewScanWaitsUntilTheTypingIsDone) {
    AppSettings settings;
    InitKeyTrans(settings.KeyTrans);
    FakeSettingsControls prefs;
    FakeSerial serial;
    FakeWindow window;
    FakeBeeper beeper;
    FakeClock clock;
    RecordingKeyboard kb;
    KeyboardEmitter emitter(kb);
    ReadHandler handler({settings, prefs, serial, beeper, window, clock, &emitter});
    std::vector<std::string> handled;
    ReceiveFraming framing(serial, settings, prefs, window, [&](std::string& read) {
        handled.push_back(read);
        handler.ProcessRead(read);
    });
    auto receive = [&](const std::string& bytes) {
        serial.Receive(bytes);
        serial.event = SerialComponent::comEvReceive;
        framing.OnComm();
    };

    int serviced = 0;
    kb.SetClockStep(3);
    kb.SetOnServiceEvents([&] {
        // The event loop runs while keys are typed: a second scan arrives, ticks go by.
        if (++serviced == 1) {
            receive("b");
        }
        framing.Timer1_Timer();
    });
    receive("a");
    for (int i = 0; i < 4; ++i) {
        framing.Timer1_Timer();
    }
    ASSERT_EQ(handled, std::vector<std::string>{"a"});
    EXPECT_EQ(framing.InputBuffer(), "b");
    kb.SetOnServiceEvents(nullptr);
    for (int i = 0; i < 4; ++i) {
        framing.Timer1_Timer();
    }
    EXPECT_EQ(handled, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(kb.Actions(), "(65 d) (65 u) (66 d) (66 u)");
}

}  // namespace
}  // namespace reradav
