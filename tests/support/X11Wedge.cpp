#include "support/X11Wedge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "keys/VirtualKeys.h"
#include "keys/linux/XTestKeyboard.h"
#include "readproc/KeyTrans.h"

namespace reradav::test {

X11Wedge::X11Wedge() {
    InitKeyTrans(settings.KeyTrans);
}

X11Wedge::~X11Wedge() {
    engine_.reset();
}

bool X11Wedge::Start(std::string* error) {
    if (!desk_.Start(error) || !pty_.Open(error)) {
        return false;
    }
    devices.Set(16, pty_.SlavePath());
    std::string keyboardError;
    auto keyboard =
        XTestKeyboard::Open(ServiceQtEvents, &keyboardError, desk_.X().Display().c_str());
    if (!keyboard) {
        *error = keyboardError;
        return false;
    }
    keyboard_ = keyboard.get();
    engine_ = std::make_unique<Engine>(settings, devices, preferences, window, beeper,
                                       std::move(keyboard));
    engine_->Port().SelectPort(16);
    pty_.CloseSlave();
    if (!engine_->Serial().PortOpen()) {
        *error = "the pseudo-terminal did not open: " + engine_->Serial().LastError().description;
        return false;
    }
    return true;
}

void X11Wedge::RunFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(500);
    }
}

std::string X11Wedge::WaitForText(std::size_t bytes, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    std::string text = Received();
    while (text.size() < bytes && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(500);
        text = Received();
    }
    RunFor(50);  // anything more that arrives shows up as a mismatch
    return Received();
}

bool X11Wedge::CapsLock() {
    KeyboardState state{};
    keyboard_->GetKeyboardState(state);
    return (state[VK_CAPITAL] & 1) != 0;
}

}  // namespace reradav::test

namespace reradav::test {

void X11Wedge::SetCapsLock(bool on) {
    if (CapsLock() != on) {
        keyboard_->keybd_event(VK_CAPITAL, 0, 0);
        keyboard_->keybd_event(VK_CAPITAL, 0, KeyboardPlatform::KEYEVENTF_KEYUP);
        RunFor(100);
    }
}

}  // namespace reradav::test
