// Engine cost without devices: framing throughput for large bursts taken as one read, and the
// cost of handling and typing one scan into a keyboard that does not wait.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "keys/KeyboardEmitter.h"
#include "keys/RecordingKeyboard.h"
#include "readproc/KeyTrans.h"
#include "readproc/ReadHandler.h"
#include "serial/ReceiveFraming.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

using namespace test;

// Keys go nowhere and the clock moves on every reading, so typing never waits.
class NullKeyboard : public KeyboardPlatform {
  public:
    std::int16_t VkKeyScanA(std::uint8_t c) override { return UsLayoutVkKeyScan(c); }
    std::uint32_t MapVirtualKeyA(std::uint32_t, std::uint32_t) override { return 0; }
    void keybd_event(std::uint8_t vk, std::uint8_t, std::uint32_t) override {
        benchmark::DoNotOptimize(vk);
        ++events;
    }
    void GetKeyboardState(KeyboardState& s) override { s = {}; }
    void SetKeyboardState(const KeyboardState&) override {}
    std::uint32_t GetTickCount() override { return ++now; }
    void ServiceEvents() override {}
    std::uint32_t now = 0;
    std::size_t events = 0;
};

constexpr std::size_t kChunk = 4096;        // what one receive event typically hands over
constexpr std::size_t kChunksPerTick = 64;  // a fast line delivers many chunks per 50 ms tick

void BM_FramingBurst(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0)) << 20;
    std::string chunk(kChunk, '\0');
    for (std::size_t i = 0; i < kChunk; ++i) {
        chunk[i] = static_cast<char>('0' + i % 10);
    }
    AppSettings settings;
    FakeSettingsControls prefs;
    prefs.logging = false;
    FakeSerial serial;
    FakeWindow window;
    std::size_t readSize = 0;
    ReceiveFraming framing(serial, settings, prefs, window, [&](std::string& read) {
        readSize = read.size();
        read.clear();
    });
    for (auto _ : state) {
        for (std::size_t sent = 0, n = 0; sent < size; sent += kChunk, ++n) {
            serial.Receive(chunk);
            framing.OnComm();
            if (n % kChunksPerTick == 0) {
                framing.Timer1_Timer();
            }
        }
        for (int i = 0; i < 4; ++i) {
            framing.Timer1_Timer();
        }
        if (readSize != size) {
            state.SkipWithError("the burst did not arrive as one read");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_FramingBurst)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_TypeOneRead(benchmark::State& state) {
    AppSettings settings;
    InitKeyTrans(settings.KeyTrans);
    FakeSettingsControls prefs;
    prefs.logging = false;
    prefs.postamble = "{TAB}";
    FakeSerial serial;
    FakeBeeper beeper;
    FakeWindow window;
    FakeClock clock;
    NullKeyboard keyboard;
    KeyboardEmitter emitter(keyboard);
    ReadHandler handler({settings, prefs, serial, beeper, window, clock, &emitter});
    const std::string scan = "4006381333931A";  // 14 characters, one needs Shift
    for (auto _ : state) {
        std::string read = scan;
        handler.ProcessRead(read);
    }
    state.counters["events/read"] =
        static_cast<double>(keyboard.events) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TypeOneRead)->Unit(benchmark::kMicrosecond);

// Keeps the per-iteration times so the summary can compare them with the targets.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            seconds[r.benchmark_name()] = r.GetAdjustedRealTime() / 1e3 *
                                          (r.time_unit == benchmark::kMicrosecond ? 1e-3 : 1.0);
        }
    }
    std::map<std::string, double> seconds;  // per iteration
};

}  // namespace
}  // namespace reradav

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    reradav::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& s = reporter.seconds;
    const double t1 = s["BM_FramingBurst/1"], t8 = s["BM_FramingBurst/8"];
    const double perRead = s["BM_TypeOneRead"] * 1e6;
    if (t1 > 0 && t8 > 0 && perRead > 0) {
        const double mb1 = 1.048576 / t1, mb8 = 8 * 1.048576 / t8;
        std::printf("\nframing 1 MiB burst: %.0f MB/s\n", mb1);
        std::printf("framing 8 MiB burst: %.0f MB/s (target >= 50)\n", mb8);
        std::printf("8 MiB / 1 MiB time ratio: %.2f (target <= 10)\n", t8 / t1);
        std::printf("one 14-character read + {TAB}: %.2f us (target <= 50)\n", perRead);
    }
    benchmark::Shutdown();
    return 0;
}
