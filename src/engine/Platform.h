#pragma once

#include <functional>
#include <memory>

#include "common/EventLoop.h"
#include "keys/KeyboardPlatform.h"
#include "readproc/DateTokens.h"
#include "serial/ComDevices.h"
#include "serial/SerialComponent.h"

namespace reradav {

// The adapters the engine wires together, one set per platform (linux/, windows/).

// The event loop of this thread (on Linux the QCoreApplication's, which must exist).
std::unique_ptr<EventLoop> NewEventLoop();
// The serial port, whose events arrive through `loop`.
std::unique_ptr<SerialComponent> NewSerialPort(const ComDevices& devices, EventLoop& loop);
// The best keyboard of this session; `serviceEvents` runs the loop between two keys.
OpenedKeyboard OpenSessionKeyboard(std::function<void()> serviceEvents);
// The machine's local time.
std::unique_ptr<Clock> NewClock();

}  // namespace reradav
