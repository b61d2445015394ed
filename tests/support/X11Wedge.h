#pragma once

#include "engine/Engine.h"
#include "keys/linux/KeymapGuard.h"
#include "support/Fakes.h"
#include "support/KeyTargetDesk.h"

namespace reradav::test {

// The engine under a private X server: a pseudo-terminal plays the scanner on COM16, the
// engine types through XTest into the key target window. Needs a QCoreApplication.
class X11Wedge {
  public:
    // Lent keys are kept `keepMs` after their last use (0: lent again at once).
    bool Start(std::string* error, std::uint32_t keepMs = kLentKeyKeepMs);
    // Ends the engine: its keys are let go and given back.
    void StopWedge() { engine_.reset(); }
    void Scan(std::string_view bytes) { pty_.Scan(bytes); }
    ScannerPty& Scanner() { return pty_; }
    Engine& Wedge() { return *engine_; }
    // Runs the event loop for a while.
    void RunFor(int milliseconds);
    std::string Received() const { return desk_.Received(); }
    const std::string& OutputPath() const { return desk_.OutputPath(); }
    void ClearReceived() { desk_.ClearReceived(); }
    XvfbServer& X() { return desk_.X(); }
    pid_t Target() const { return desk_.Target(); }

    AppSettings settings;
    ComDevices devices;
    FakeSettingsControls preferences;
    FakeWindow window;
    FakeBeeper beeper;

  private:
    KeyTargetDesk desk_;
    ScannerPty pty_;
    std::unique_ptr<Engine> engine_;  // last: it goes first
};

}  // namespace reradav::test
