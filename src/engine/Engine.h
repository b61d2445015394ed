#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/EventLoop.h"
#include "keys/KeyboardEmitter.h"
#include "readproc/ReadHandler.h"
#include "serial/ComDevices.h"
#include "serial/PortControl.h"
#include "serial/ReceiveFraming.h"
#include "serial/SerialComponent.h"

namespace reradav {

// The wedge itself, for a window or for none: the serial port, framing on a 50 ms timer, the
// read handler and the keyboard chosen for this session, all on the thread of its event loop.
class Engine : private FramingTimer {
  public:
    // The references must outlive the engine. `keyboard` replaces the session's own keyboard
    // (tests); without it the best backend is opened.
    Engine(AppSettings& settings, const ComDevices& devices, SettingsControls& preferences,
           MainWindowView& window, Beeper& beeper,
           std::unique_ptr<KeyboardPlatform> keyboard = nullptr);
    ~Engine() override;

    PortControl& Port() { return port_; }
    ReceiveFraming& Framing() { return framing_; }
    SerialComponent& Serial() { return *serial_; }
    EventLoop& Loop() { return *loop_; }
    const ReadHandler& Reads() const { return handler_; }

    // Why nothing can be typed, as a sentence for the user; empty when a keyboard is open.
    const std::string& KeyboardProblem() const { return keyboardProblem_; }
    // The keyboard backend and layout in use, e.g. "XTest, layout de"; empty when none.
    const std::string& KeyboardDescription() const { return keyboardDescription_; }
    // Quitting: no further read starts; one being typed ends whole if it ends within two
    // seconds, else it stops there with no key left down.
    void StopReading() {
        timer_->Stop();
        if (emitter_) {
            emitter_->RequestStop();
        }
        framing_.Quit([this] { return emitter_ && emitter_->StopDue(); });
    }
    // Called when the keyboard can type no more because its display went away (the X server
    // ended); the status line has said why.
    void SetOnKeyboardLost(std::function<void()> lost) { onKeyboardLost_ = std::move(lost); }
    // True while a key string is being typed (quitting waits for it).
    bool Typing() const { return emitter_ && emitter_->Typing(); }
    // Calls `then` once no key string is being typed: at once, or from the event loop when the
    // one being typed ends (a quit arrives from inside the keyboard's pacing wait).
    void AfterTyping(std::function<void()> then);

  private:
    void SetInterval(int milliseconds) override;
    void SetEnabled(bool enabled) override;

    std::unique_ptr<EventLoop> loop_;
    std::unique_ptr<Clock> clock_;
    std::string keyboardProblem_;
    std::string keyboardDescription_;
    std::function<void()> onKeyboardLost_;
    std::unique_ptr<KeyboardPlatform> keyboard_;
    std::unique_ptr<KeyboardEmitter> emitter_;
    std::unique_ptr<SerialComponent> serial_;
    ReadHandler handler_;
    ReceiveFraming framing_;
    PortControl port_;
    int interval_ = ReceiveFraming::TickInterval;
    std::unique_ptr<EventLoop::Timer> timer_;
    std::unique_ptr<EventLoop::Timer> reopen_;  // while the port waits for its device
    std::unique_ptr<EventLoop::Timer> typingEnd_;
    std::function<void()> afterTyping_;
};

}  // namespace reradav
