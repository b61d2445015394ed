#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/Engine.h"
#include "serial/ComDevices.h"
#include "support/Fakes.h"
#include "support/KeyTargetDesk.h"

namespace reradav::test {

// The engine under a private X server: a pseudo-terminal plays the scanner on COM16, the
// engine types through XTest into the key target window. Needs a QCoreApplication.
class X11Wedge {
  public:
    X11Wedge();
    ~X11Wedge();

    bool Start(std::string* error);
    void Scan(std::string_view bytes) { pty_.Scan(bytes); }
    // Runs the event loop until the target has `bytes` bytes of text or the time is up.
    std::string WaitForText(std::size_t bytes, int timeoutMs);
    // Runs the event loop for a while.
    void RunFor(int milliseconds);
    std::string Received() const { return desk_.Received(); }
    const std::string& OutputPath() const { return desk_.OutputPath(); }
    void ClearReceived() { desk_.ClearReceived(); }
    bool CapsLock();
    void SetCapsLock(bool on);

    XvfbServer& X() { return desk_.X(); }
    Engine& Wedge() { return *engine_; }

    AppSettings settings;
    ComDevices devices;
    FakeSettingsControls preferences;
    FakeWindow window;
    FakeBeeper beeper;

  private:
    KeyTargetDesk desk_;
    ScannerPty pty_;
    KeyboardPlatform* keyboard_ = nullptr;
    std::unique_ptr<Engine> engine_;
};

}  // namespace reradav::test
