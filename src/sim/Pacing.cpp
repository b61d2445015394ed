#include "sim/Pacing.h"

#include <algorithm>
#include <optional>

namespace reradav::sim {

Nanos LineTime(std::size_t bytes, unsigned baud) {
    // 10 bits a byte, 1e9 ns a second; fits 64 bits for any scan this program sends.
    return Nanos(static_cast<long long>(bytes) * 10'000'000'000LL / static_cast<long long>(baud));
}

Nanos ByteDeadline(Nanos start, std::size_t n, unsigned baud) {
    return start + LineTime(n, baud);
}

std::vector<std::vector<Nanos>> PlanScans(Nanos start, const std::vector<std::size_t>& lengths,
                                          unsigned baud, std::chrono::milliseconds pause) {
    std::vector<std::vector<Nanos>> plan;
    Nanos scanStart = start;
    for (std::size_t length : lengths) {
        std::vector<Nanos> deadlines;
        for (std::size_t n = 0; n < length; ++n) {
            deadlines.push_back(ByteDeadline(scanStart, n, baud));
        }
        plan.push_back(std::move(deadlines));
        scanStart += LineTime(length, baud) + pause;
    }
    return plan;
}

std::optional<Nanos> SendScan(PacedLine& line, std::string_view bytes, Nanos start, unsigned baud) {
    const Nanos byteTime = LineTime(1, baud);
    Nanos anchor = start;
    std::size_t anchorIndex = 0;
    Nanos lastWrite = start;
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const Nanos deadline = ByteDeadline(anchor, n - anchorIndex, baud);
        if (!line.SleepUntil(deadline)) {
            return std::nullopt;
        }
        lastWrite = line.Now();
        if (lastWrite - deadline > byteTime) {
            anchor = lastWrite;
            anchorIndex = n;
        }
        if (!line.Write(bytes[n])) {
            return std::nullopt;
        }
    }
    if (bytes.empty()) {
        return start;
    }
    return std::max(ByteDeadline(anchor, bytes.size() - anchorIndex, baud), lastWrite + byteTime);
}

}  // namespace reradav::sim
