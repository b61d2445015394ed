#include "engine/Platform.h"

#include "common/linux/QtEventLoop.h"
#include "keys/linux/KeyboardBackend.h"
#include "readproc/linux/SystemClock.h"
#include "serial/linux/TermiosSerialPort.h"

namespace reradav {

std::unique_ptr<EventLoop> NewEventLoop() {
    return std::make_unique<QtEventLoop>();
}

// The tty announces itself through Qt's own notifiers.
std::unique_ptr<SerialComponent> NewSerialPort(const ComDevices& devices, EventLoop&) {
    return std::make_unique<TermiosSerialPort>(devices);
}

OpenedKeyboard OpenSessionKeyboard(std::function<void()> serviceEvents) {
    return OpenKeyboard(std::move(serviceEvents));
}

std::unique_ptr<Clock> NewClock() {
    return std::make_unique<SystemClock>();
}

}  // namespace reradav
