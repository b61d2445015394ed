#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "keys/KeyboardPlatform.h"

namespace reradav {

// A keyboard with a US layout that writes every key event as text, e.g.
// "(16 d) (65 d) (65 u) (16 u)"; events with the extended-key flag carry an "x": "(20 dx)", and
// a character typed by no key is written with a "c": "(c233 d)".
// Caps Lock follows the presses of its key, as a real one does.
class RecordingKeyboard : public KeyboardPlatform {
  public:
    std::int16_t VkKeyScanA(std::uint8_t character) override;
    std::uint32_t MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) override;
    void keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void GetKeyboardState(KeyboardState& state) override;
    void SetKeyboardState(const KeyboardState& state) override;
    std::uint32_t GetTickCount() override;
    void ServiceEvents() override;

    // The events so far, separated by blanks.
    const std::string& Actions() const { return actions_; }
    void ClearActions() { actions_.clear(); }
    std::size_t EventCount() const { return events_; }

    bool CapsLock() const { return capsLock_; }
    void SetCapsLock(bool on) { capsLock_ = on; }
    std::string Failure() override { return failure_; }
    void SetFailure(std::string failure) { failure_ = std::move(failure); }
    const KeyboardState& ThreadState() const { return threadState_; }
    void SetThreadState(const KeyboardState& state) { threadState_ = state; }

    // The clock moves one millisecond every `reads` readings; 1 (the default) never waits.
    void SetClockStep(unsigned reads) { clockStep_ = reads == 0 ? 1 : reads; }
    void SetTickCount(std::uint32_t now) { now_ = now; }
    // Runs while the emitter waits for the clock, as the program's event loop would.
    void SetOnServiceEvents(std::function<void()> handler) { onService_ = std::move(handler); }
    std::size_t ServiceCount() const { return serviced_; }

  private:
    std::string actions_;
    std::size_t events_ = 0;
    bool capsLock_ = false;
    std::string failure_;
    KeyboardState threadState_{};
    std::uint32_t now_ = 1000;
    unsigned clockStep_ = 1;
    unsigned reads_ = 0;
    std::function<void()> onService_;
    std::size_t serviced_ = 0;
};

// Windows' answer on a US layout: low byte the virtual key, 0x100 Shift, 0x200 Control;
// -1 for a character no key produces.
std::int16_t UsLayoutVkKeyScan(std::uint8_t character);

}  // namespace reradav
