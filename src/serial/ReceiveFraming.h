#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/AppSettings.h"
#include "common/MainWindowView.h"
#include "common/SettingsControls.h"
#include "serial/SerialComponent.h"

namespace reradav {

// Turns the serial byte stream into reads: the receive handler collects every byte, the
// 50 ms tick moves them into the read being built and completes it after three idle ticks.
class ReceiveFraming {
  public:
    static constexpr int TickInterval = 50;  // ms
    static constexpr int ReadTimeoutTicks = 3;

    using ReadSink = std::function<void(std::string& pendingRead)>;

    ReceiveFraming(SerialComponent& serial, const AppSettings& settings,
                   const SettingsControls& preferences, const MainWindowView& window,
                   ReadSink processRead)
        : serial_(serial),
          settings_(settings),
          preferences_(preferences),
          window_(window),
          processRead_(std::move(processRead)) {}

    // The serial component's OnComm event.
    void OnComm();
    // The Timer1 tick. While a read is being handled (and typed) a tick returns at once and
    // the bytes wait in `InputBuffer`, so the read being typed stays intact.
    void Timer1_Timer();

    // Opening the port starts the idle count afresh.
    void ResetIdleTicks() { idleTicks_ = 0; }

    bool WasMinimised() const { return wasMinimised_; }
    void ClearWasMinimised() { wasMinimised_ = false; }
    bool Busy() const { return busy_; }

    const std::string& InputBuffer() const { return inputBuffer_; }
    const std::string& PendingRead() const { return pendingRead_; }
    int IdleTicks() const { return idleTicks_; }
    bool CharsPending() const { return charsPending_; }

  private:
    static bool Numeric(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }

    SerialComponent& serial_;
    const AppSettings& settings_;
    const SettingsControls& preferences_;
    const MainWindowView& window_;
    ReadSink processRead_;

    std::string inputBuffer_;
    std::string taking_;  // the buffer being taken by a tick; kept to reuse its memory
    std::string pendingRead_;
    int idleTicks_ = 0;  // 0..255
    bool charsPending_ = false;
    bool wasMinimised_ = false;
    bool dsrToggle_ = false;
    bool busy_ = false;
};

}  // namespace reradav
