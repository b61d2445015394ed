#include "engine/Engine.h"

#include <QEventLoop>
#include <QTimer>

namespace reradav {

void ServiceQtEvents() {
    QEventLoop wait;
    QTimer::singleShot(1, Qt::PreciseTimer, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

namespace {

constexpr int kReopenIntervalMs = 1000;

std::unique_ptr<KeyboardPlatform> OpenSessionKeyboard(std::string& problem,
                                                      std::string& description) {
    OpenedKeyboard opened = OpenKeyboard(ServiceQtEvents);
    problem = opened.reason;
    description = opened.description;
    return std::move(opened.keyboard);
}

}  // namespace

Engine::Engine(AppSettings& settings, const ComDevices& devices, SettingsControls& preferences,
               MainWindowView& window, Beeper& beeper, std::unique_ptr<KeyboardPlatform> keyboard)
    : keyboard_(keyboard ? std::move(keyboard)
                         : OpenSessionKeyboard(keyboardProblem_, keyboardDescription_)),
      emitter_(keyboard_ ? std::make_unique<KeyboardEmitter>(*keyboard_) : nullptr),
      serial_(devices),
      handler_({settings, preferences, serial_, beeper, window, clock_, emitter_.get()}),
      framing_(serial_, settings, preferences, window,
               [this](std::string& read) { handler_.ProcessRead(read); }),
      port_(settings, serial_, framing_, *this, window) {
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
    serial_.SetOnComm([this] { framing_.OnComm(); });
    serial_.SetOnHangUp([this] { port_.PortLost(); });
    serial_.SetOnOutputDropped(
        [&window](const std::string& why) { window.SetStatus("port", why); });
    timer_.setInterval(ReceiveFraming::TickInterval);
    // A timer does not fire again while its own handler runs, and a read is typed inside the
    // tick that completes it: posted, the tick leaves the timer free to frame meanwhile.
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        QMetaObject::invokeMethod(
            &timer_, [this] { framing_.Timer1_Timer(); }, Qt::QueuedConnection);
    });
    timer_.start();
    // Polling once a second costs nothing measurable and needs no device events.
    reopen_.setInterval(kReopenIntervalMs);
    QObject::connect(&reopen_, &QTimer::timeout, [this] { port_.RetryOpen(); });
    port_.SetOnWatch([this](bool watching) { watching ? reopen_.start() : reopen_.stop(); });
}

Engine::~Engine() {
    timer_.stop();
}

void Engine::SetEnabled(bool enabled) {
    if (enabled) {
        timer_.start();
    } else {
        timer_.stop();
    }
}

}  // namespace reradav
