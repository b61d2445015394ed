#include "app/X11Wedge.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "keys/VirtualKeys.h"
#include "keys/linux/XTestKeyboard.h"
#include "readproc/KeyTrans.h"

namespace reradav::test {

X11Wedge::X11Wedge() {
    InitKeyTrans(settings.KeyTrans);
}

X11Wedge::~X11Wedge() {
    engine_.reset();
    Stop(target_);
    if (master_ >= 0) {
        close(master_);
    }
    if (!folder_.empty()) {
        std::filesystem::remove_all(folder_);
    }
}

bool X11Wedge::Start(std::string* error) {
    if (!x_.Start(error)) {
        return false;
    }
    setenv("DISPLAY", x_.Display().c_str(), 1);

    char folder[] = "/tmp/reradav-x11-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        *error = "no temporary folder";
        return false;
    }
    folder_ = folder;
    outputPath_ = folder_ + "/received";
    std::ofstream(outputPath_).close();

    int fds[2];
    if (pipe(fds) != 0) {
        *error = "no pipe";
        return false;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    target_ = Spawn(KEY_TARGET_PATH, {outputPath_}, fds[1]);
    close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    std::string line;
    char c = 0;
    while (poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    close(fds[0]);
    if (line != "ready") {
        *error = "the key target window did not get the focus";
        return false;
    }

    int slave = -1;
    char name[256];
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
        *error = "no pseudo-terminal";
        return false;
    }
    devices.Set(16, name);
    std::string keyboardError;
    auto keyboard = XTestKeyboard::Open(ServiceQtEvents, &keyboardError, x_.Display().c_str());
    if (!keyboard) {
        *error = keyboardError;
        close(slave);
        return false;
    }
    keyboard_ = keyboard.get();
    engine_ = std::make_unique<Engine>(settings, devices, preferences, window, beeper,
                                       std::move(keyboard));
    engine_->Port().SelectPort(16);
    close(slave);
    if (!engine_->Serial().PortOpen()) {
        *error = "the pseudo-terminal did not open: " + engine_->Serial().LastError().description;
        return false;
    }
    return true;
}

void X11Wedge::Scan(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
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

std::string X11Wedge::Received() const {
    std::ifstream in(outputPath_, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void X11Wedge::ClearReceived() {
    std::filesystem::resize_file(outputPath_, 0);
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
