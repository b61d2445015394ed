#include "sim/Pacing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace reradav::sim {
namespace {

using namespace std::chrono_literals;

TEST(LineTime, TenBitsAByte) {
    EXPECT_EQ(LineTime(0, 9600), 0ns);
    EXPECT_EQ(LineTime(1, 9600), 1041666ns);  // 10 / 9600 s, rounded down
    EXPECT_EQ(LineTime(96, 9600), 100ms);     // exact multiples stay exact
    EXPECT_EQ(LineTime(1, 300), 33333333ns);
    EXPECT_EQ(LineTime(3, 300), 100ms);
    EXPECT_EQ(LineTime(1152, 115200), 100ms);
    EXPECT_EQ(LineTime(1, 50), 200ms);
}

TEST(LineTime, DeadlinesFromOneStartDoNotDrift) {
    // Adding a rounded byte time 9600 times would lose 6.4 µs; the deadline of byte 9600 is
    // exactly ten seconds on.
    const Nanos start = 5s;
    EXPECT_EQ(ByteDeadline(start, 9600, 9600), start + 10s);
    EXPECT_LT(LineTime(1, 9600) * 9600, 10s);
    for (std::size_t n = 0; n < 50; ++n) {
        EXPECT_EQ(ByteDeadline(start, n, 9600), start + Nanos(n * 10'000'000'000 / 9600)) << n;
    }
}

TEST(PlanScans, BytesAtTheLineRateScansSeparatedByThePause) {
    const Nanos start = 1s;
    const auto plan = PlanScans(start, {3, 1, 2}, 1200, 500ms);
    ASSERT_EQ(plan.size(), 3u);
    ASSERT_EQ(plan[0].size(), 3u);
    ASSERT_EQ(plan[1].size(), 1u);
    ASSERT_EQ(plan[2].size(), 2u);
    const Nanos byte = LineTime(1, 1200);
    for (std::size_t n = 0; n < 3; ++n) {
        EXPECT_EQ(plan[0][n], start + LineTime(n, 1200));
    }
    // Scan 2 waits for the line to carry scan 1's last byte, then the pause.
    EXPECT_EQ(plan[1][0], start + LineTime(3, 1200) + 500ms);
    EXPECT_GT(plan[1][0] - plan[0][2], 500ms + byte - 1ns);
    EXPECT_EQ(plan[2][0], plan[1][0] + byte + 500ms);
    EXPECT_EQ(plan[2][1], plan[2][0] + byte);
    EXPECT_EQ(PlanScans(start, {2, 2}, 9600, 0ms)[1][0], start + LineTime(2, 9600));
    EXPECT_TRUE(PlanScans(start, {}, 9600, 0ms).empty());
}

// A line with a clock that sleeps exactly to the deadline, plus stalls injected at given bytes.
class FakeLine : public PacedLine {
  public:
    Nanos Now() override { return now_; }
    bool SleepUntil(Nanos deadline) override {
        now_ = std::max(now_, deadline);
        if (auto stall = stalls.find(writes.size()); stall != stalls.end()) {
            now_ += stall->second;
        }
        return sleepsLeft-- > 0;
    }
    bool Write(char byte) override {
        bytes.push_back(byte);
        writes.push_back(now_);
        return writeFails != bytes.size();
    }

    Nanos now_ = 0ns;
    std::map<std::size_t, Nanos> stalls;  // before write n, the process stalls this long
    std::vector<Nanos> writes;
    std::string bytes;
    std::size_t writeFails = 0;  // 1-based write that fails; 0: none
    int sleepsLeft = 1 << 30;
};

TEST(SendScan, EveryByteAtItsDeadline) {
    FakeLine line;
    line.now_ = 2s;
    const auto end = SendScan(line, "AB\x80\r", 3s, 9600);
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(line.bytes, "AB\x80\r");
    ASSERT_EQ(line.writes.size(), 4u);
    for (std::size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(line.writes[n], ByteDeadline(3s, n, 9600)) << n;
    }
    EXPECT_EQ(*end, 3s + LineTime(4, 9600));
}

TEST(SendScan, AStartInThePastBeginsNowAtTheLineRate) {
    FakeLine line;
    line.now_ = 10s;
    const auto end = SendScan(line, "1234", 1s, 300);
    ASSERT_TRUE(end.has_value());
    for (std::size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(line.writes[n], 10s + LineTime(n, 300)) << n;
    }
    EXPECT_EQ(*end, 10s + LineTime(4, 300));
}

TEST(SendScan, AStallIsNotMadeUpWithABurst) {
    FakeLine line;
    const Nanos byte = LineTime(1, 9600);
    line.stalls[3] = 20ms;  // far more than one byte time
    ASSERT_TRUE(SendScan(line, "0123456789", 0s, 9600).has_value());
    ASSERT_EQ(line.writes.size(), 10u);
    for (std::size_t n = 1; n < 10; ++n) {
        EXPECT_GE(line.writes[n] - line.writes[n - 1], byte) << n;
    }
    for (std::size_t n = 0; n < 10; ++n) {
        EXPECT_GE(line.writes[n], ByteDeadline(0s, n, 9600)) << n;
    }
    EXPECT_EQ(line.writes[9], line.writes[3] + LineTime(6, 9600));
}

TEST(SendScan, ASmallDelayKeepsTheOriginalDeadlines) {
    FakeLine line;
    const Nanos byte = LineTime(1, 1200);
    line.stalls[2] = byte / 2;
    const auto end = SendScan(line, "abcde", 0s, 1200);
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(line.writes[3], ByteDeadline(0s, 3, 1200));
    EXPECT_EQ(line.writes[4], ByteDeadline(0s, 4, 1200));
    EXPECT_EQ(*end, LineTime(5, 1200));
}

TEST(SendScan, TheEndIsNeverBeforeTheLastByteHasGoneOut) {
    FakeLine line;
    const Nanos byte = LineTime(1, 1200);
    line.stalls[4] = byte / 2;  // the last byte, late but not re-anchored
    const auto end = SendScan(line, "abcde", 0s, 1200);
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(*end, line.writes[4] + byte);
}

TEST(SendScan, FailuresStopTheScan) {
    FakeLine line;
    line.writeFails = 2;
    EXPECT_FALSE(SendScan(line, "abcd", 0s, 9600).has_value());
    EXPECT_EQ(line.bytes, "ab");

    FakeLine interrupted;
    interrupted.sleepsLeft = 3;
    EXPECT_FALSE(SendScan(interrupted, "abcd", 0s, 9600).has_value());
    EXPECT_EQ(interrupted.bytes, "abc");
}

}  // namespace
}  // namespace reradav::sim
