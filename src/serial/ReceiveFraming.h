#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/AppSettings.h"
#include "common/MainWindowView.h"
#include "common/SettingsControls.h"
#include "serial/SerialComponent.h"

namespace reradav {

// Turns the serial byte stream into reads: the receive handler collects every byte, the
// 50 ms tick moves them into the read being built and completes it after three idle ticks.
// Framing goes on while a read is typed: the reads completed meanwhile wait, in order, and
// each is then handled as a read of its own.
class ReceiveFraming {
  public:
    static constexpr int TickInterval = 50;  // ms
    static constexpr int ReadTimeoutTicks = 3;
    // What may wait while a read is typed; a runaway device's surplus is dropped and reported.
    static constexpr std::size_t kMaxWaitingReads = 64;
    static constexpr std::size_t kMaxWaitingBytes = 16u << 20;
    // Far beyond any symbol: a device that never pauses cannot fill the memory.
    static constexpr std::size_t kMaxReadBytes = 16u << 20;

    using ReadSink = std::function<void(std::string& pendingRead)>;

    ReceiveFraming(SerialComponent& serial, const AppSettings& settings,
                   const SettingsControls& preferences, MainWindowView& window,
                   ReadSink processRead)
        : serial_(serial),
          settings_(settings),
          preferences_(preferences),
          window_(window),
          processRead_(std::move(processRead)) {}

    // The serial component's OnComm event.
    void OnComm();
    // The Timer1 tick.
    void Timer1_Timer();
    // The line hung up: what arrived before it is a read now, as if silence had ended it,
    // handled while the user is still where they scanned.
    void LineEnded();
    // Quitting: what arrived is a read now, as at a hang-up; from when `stopped` holds, reads
    // are no longer handled, and how many were not is said.
    void Quit(std::function<bool()> stopped);

    // Opening the port starts the idle count afresh, with nothing of an earlier opening.
    void ResetIdleTicks() {
        idleTicks_ = 0;
        inputBuffer_.clear();
        pendingRead_.clear();
        charsPending_ = false;
    }

    bool Busy() const { return busy_; }

    const std::string& InputBuffer() const { return inputBuffer_; }
    const std::string& PendingRead() const { return pendingRead_; }
    int IdleTicks() const { return idleTicks_; }
    bool CharsPending() const { return charsPending_; }

  private:
    static bool Numeric(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }
    void TakeInput();
    void CompleteRead();
    void CompleteRead(std::string read);

    SerialComponent& serial_;
    const AppSettings& settings_;
    const SettingsControls& preferences_;
    MainWindowView& window_;
    ReadSink processRead_;

    std::deque<std::string> waiting_;  // reads completed while one is typed
    std::size_t waitingBytes_ = 0;
    std::size_t dropped_ = 0;
    std::size_t notTyped_ = 0;
    std::function<bool()> stopped_;
    std::string inputBuffer_;
    std::string taking_;  // the buffer being taken by a tick; kept to reuse its memory
    std::string pendingRead_;
    int idleTicks_ = 0;  // 0..255
    bool charsPending_ = false;
    bool dsrToggle_ = false;
    bool busy_ = false;
};

}  // namespace reradav
