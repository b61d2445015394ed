#include "support/X11Wedge.h"

#include <QEventLoop>
#include <QTimer>

#include "common/linux/QtEventLoop.h"
#include "keys/linux/XTestKeyboard.h"
#include "readproc/KeyTrans.h"

namespace reradav::test {

bool X11Wedge::Start(std::string* error, std::uint32_t keepMs) {
    if (!desk_.Start(error) || !pty_.Open(error)) {
        return false;
    }
    InitKeyTrans(settings.KeyTrans);
    devices.Set(16, pty_.SlavePath());
    auto keyboard = XTestKeyboard::Open([] { QtEventLoop().ServiceEvents(1); }, error,
                                        desk_.X().Display().c_str(), keepMs);
    if (!keyboard) {
        return false;
    }
    engine_ = std::make_unique<Engine>(settings, devices, preferences, window, beeper,
                                       std::move(keyboard));
    engine_->Port().SelectPort(16);
    pty_.CloseSlave();
    *error = "the pseudo-terminal did not open: " + engine_->Serial().LastError().description;
    return engine_->Serial().PortOpen();
}

void X11Wedge::RunFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace reradav::test
