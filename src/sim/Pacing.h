#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace reradav::sim {

using Nanos = std::chrono::nanoseconds;

// Time the line takes for n bytes at `baud`: 10 bits a byte (start, 8 data, stop). Exact
// integer arithmetic, so deadlines computed from one start never accumulate rounding.
Nanos LineTime(std::size_t bytes, unsigned baud);

// Byte n of a scan that starts at `start` goes out at start + n × 10 / baud s.
Nanos ByteDeadline(Nanos start, std::size_t n, unsigned baud);

// Deadlines of every byte of every scan when nothing runs late: scan k + 1 starts once the
// line has carried scan k's last byte plus `pause`.
std::vector<std::vector<Nanos>> PlanScans(Nanos start, const std::vector<std::size_t>& lengths,
                                          unsigned baud, std::chrono::milliseconds pause);

// Where the bytes go and the clock they are paced by (CLOCK_MONOTONIC in the program).
class PacedLine {
  public:
    virtual ~PacedLine() = default;
    virtual Nanos Now() = 0;
    // False when interrupted for good (a signal to quit).
    virtual bool SleepUntil(Nanos deadline) = 0;
    virtual bool Write(char byte) = 0;
};

// Sends one scan no earlier than `start`, byte n at its deadline. A byte more than one byte
// time late (the process was stalled) restarts the schedule from that byte, so the backlog is
// never sent faster than the line rate. Returns when the line has carried the last byte
// (the earliest start of the next scan, before the pause), or nullopt on a failed write or
// sleep.
std::optional<Nanos> SendScan(PacedLine& line, std::string_view bytes, Nanos start, unsigned baud);

}  // namespace reradav::sim
