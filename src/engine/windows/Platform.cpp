#include "engine/Platform.h"

#include "common/windows/Win32EventLoop.h"
#include "keys/windows/SendInputKeyboard.h"
#include "readproc/windows/LocalClock.h"
#include "serial/windows/Win32SerialPort.h"

namespace reradav {

std::unique_ptr<EventLoop> NewEventLoop() {
    return std::make_unique<Win32EventLoop>();
}

std::unique_ptr<SerialComponent> NewSerialPort(const ComDevices& devices, EventLoop& loop) {
    return std::make_unique<Win32SerialPort>(devices, loop);
}

OpenedKeyboard OpenSessionKeyboard(std::function<void()> serviceEvents) {
    return OpenSendInputKeyboard(std::move(serviceEvents));
}

std::unique_ptr<Clock> NewClock() {
    return std::make_unique<LocalClock>();
}

}  // namespace reradav
