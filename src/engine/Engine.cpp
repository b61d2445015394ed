#include "engine/Engine.h"

#include "engine/Platform.h"

#include <utility>

namespace reradav {
namespace {

constexpr int kReopenIntervalMs = 1000;
// How often a wait for the end of a key string looks again.
constexpr int kTypingEndPollMs = 20;
// The keyboard's wait between two keys runs the program's events for up to a millisecond,
// sleeping while there are none, so the pacing wait costs no processor time.
constexpr int kKeyPauseServiceMs = 1;

std::unique_ptr<KeyboardPlatform> OpenKeyboard(EventLoop& loop, std::string& problem,
                                               std::string& description) {
    OpenedKeyboard opened =
        OpenSessionKeyboard([&loop] { loop.ServiceEvents(kKeyPauseServiceMs); });
    problem = opened.reason;
    description = opened.description;
    return std::move(opened.keyboard);
}

}  // namespace

Engine::Engine(AppSettings& settings, const ComDevices& devices, SettingsControls& preferences,
               MainWindowView& window, Beeper& beeper, std::unique_ptr<KeyboardPlatform> keyboard)
    : loop_(NewEventLoop()),
      clock_(NewClock()),
      keyboard_(keyboard ? std::move(keyboard)
                         : OpenKeyboard(*loop_, keyboardProblem_, keyboardDescription_)),
      emitter_(keyboard_ ? std::make_unique<KeyboardEmitter>(*keyboard_) : nullptr),
      serial_(NewSerialPort(devices, *loop_)),
      handler_({settings, preferences, *serial_, beeper, window, *clock_, emitter_.get()}),
      framing_(*serial_, settings, preferences, window,
               [this](std::string& read) { handler_.ProcessRead(read); }),
      port_(settings, *serial_, framing_, *this, window) {
    if (keyboard_) {
        keyboard_->SetListener(
            {[&window](const std::string& status) { window.SetStatus("keyboard", status); },
             [this, &window](const std::string& why) {
                 window.SetStatus("keyboard", why);
                 if (onKeyboardLost_) {
                     onKeyboardLost_();
                 }
             }});
    }
    serial_->SetOnComm([this] { framing_.OnComm(); });
    serial_->SetOnHangUp([this] { port_.PortLost(); });
    serial_->SetOnOutputDropped(
        [&window](const std::string& why) { window.SetStatus("port", why); });
    // A timer does not fire again while its own handler runs, and a read is typed inside the
    // tick that completes it: posted, the tick leaves the timer free to frame meanwhile.
    timer_ = loop_->NewTimer([this] { loop_->Post([this] { framing_.Timer1_Timer(); }); });
    timer_->Start(interval_);
    // Polling once a second costs nothing measurable and needs no device events.
    reopen_ = loop_->NewTimer([this] { port_.RetryOpen(); });
    port_.SetOnWatch(
        [this](bool watching) { watching ? reopen_->Start(kReopenIntervalMs) : reopen_->Stop(); });
}

Engine::~Engine() {
    timer_->Stop();
}

void Engine::AfterTyping(std::function<void()> then) {
    if (!Typing()) {
        then();
        return;
    }
    afterTyping_ = std::move(then);
    if (!typingEnd_) {
        typingEnd_ = loop_->NewTimer([this] {
            if (!Typing()) {
                typingEnd_->Stop();
                std::exchange(afterTyping_, nullptr)();
            }
        });
    }
    typingEnd_->Start(kTypingEndPollMs);
}

void Engine::SetInterval(int milliseconds) {
    interval_ = milliseconds;
    if (timer_ && timer_->Active()) {
        timer_->Start(interval_);
    }
}

void Engine::SetEnabled(bool enabled) {
    if (!timer_) {
        return;  // the port control starts before the timer exists
    }
    if (enabled) {
        timer_->Start(interval_);
    } else {
        timer_->Stop();
    }
}

}  // namespace reradav
