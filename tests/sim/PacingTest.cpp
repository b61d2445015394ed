#include "sim/Pacing.h"

#include <gtest/gtest.h>

namespace reradav::sim {
namespace {

using namespace std::chrono_literals;
const Nanos kByte = LineTime(1, 1200);

// A clock that sleeps exactly to the deadline, but `stall` longer before the third byte; the
// sleep before a fifth byte fails, and so does a write at 99 s.
struct FakeLine : PacedLine {
    Nanos Now() override { return now; }
    bool SleepUntil(Nanos deadline) override {
        now = std::max(now, deadline) + (writes.size() == 2 ? stall : 0ns);
        return writes.size() < 4;
    }
    bool Write(char) override { return writes.emplace_back(now), now != 99s; }
    Nanos now{}, stall{};
    std::vector<Nanos> writes;
};

// Ten bits a byte, from one start without drift, never before now. More than a byte time late
// restarts the schedule from that byte, so a backlog never goes out faster than the line rate;
// one byte time late keeps it.
TEST(Pacing, EveryByteAtItsDeadline) {
    EXPECT_EQ(kByte, 8333333ns);                   // rounded down
    EXPECT_EQ(ByteDeadline(5s, 9600, 9600), 15s);  // not 9600 rounded byte times
    EXPECT_EQ(PlanScans(1s, {2, 1}, 1200, 0ms),
              (std::vector<std::vector<Nanos>>{{1s, 1s + kByte}, {1s + LineTime(2, 1200)}}));
    FakeLine late, stalled, byteLate, noWrite, noSleep;
    late.now = 10s;
    EXPECT_EQ(SendScan(late, "12", 1s, 1200), 10s + LineTime(2, 1200));
    EXPECT_EQ(SendScan(late, "", 7s, 1200), 7s);
    stalled.stall = kByte + 1ns;
    byteLate.stall = kByte;
    EXPECT_EQ(SendScan(stalled, "abcd", 0s, 1200),
              LineTime(2, 1200) + kByte + 1ns + LineTime(2, 1200));
    EXPECT_EQ(SendScan(byteLate, "abcd", 0s, 1200), LineTime(4, 1200));
    EXPECT_EQ(byteLate.writes[3], LineTime(3, 1200));
    noWrite.now = 99s;
    EXPECT_FALSE(SendScan(noWrite, "ab", 0s, 1200));
    EXPECT_EQ(noWrite.writes.size(), 1u);
    EXPECT_FALSE(SendScan(noSleep, "abcde", 0s, 1200));
    EXPECT_EQ(noSleep.writes.size(), 4u);
}

}  // namespace
}  // namespace reradav::sim
