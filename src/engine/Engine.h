#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "keys/KeyboardEmitter.h"
#include "keys/linux/KeyboardBackend.h"
#include "readproc/ReadHandler.h"
#include "readproc/linux/SystemClock.h"
#include "serial/ComDevices.h"
#include "serial/PortControl.h"
#include "serial/ReceiveFraming.h"
#include "serial/linux/TermiosSerialPort.h"

namespace reradav {

// What the keyboard does while it waits between two keys: runs the program's events for up to
// a millisecond, sleeping while there are none, so the pacing wait costs no processor time.
// User input waits for the end of the key string: no dialog opens while a key is down.
void ServiceQtEvents();

// The wedge itself, for a window or for none: the serial port, framing on a 50 ms timer, the
// read handler and the keyboard chosen for this session, all on the Qt thread.
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
    TermiosSerialPort& Serial() { return serial_; }
    const ReadHandler& Reads() const { return handler_; }

    // Why nothing can be typed, as a sentence for the user; empty when a keyboard is open.
    const std::string& KeyboardProblem() const { return keyboardProblem_; }
    // The keyboard backend and layout in use, e.g. "XTest, layout de"; empty when none.
    const std::string& KeyboardDescription() const { return keyboardDescription_; }
    // Quitting: no further read starts; one being typed ends whole if it ends within two
    // seconds, else it stops there with no key left down.
    void StopReading() {
        timer_.stop();
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

  private:
    void SetInterval(int milliseconds) override { timer_.setInterval(milliseconds); }
    void SetEnabled(bool enabled) override;

    SystemClock clock_;
    std::string keyboardProblem_;
    std::string keyboardDescription_;
    std::function<void()> onKeyboardLost_;
    std::unique_ptr<KeyboardPlatform> keyboard_;
    std::unique_ptr<KeyboardEmitter> emitter_;
    TermiosSerialPort serial_;
    ReadHandler handler_;
    ReceiveFraming framing_;
    PortControl port_;
    QTimer timer_;
    QTimer reopen_;  // while the port waits for its device
};

}  // namespace reradav
