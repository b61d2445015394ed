#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>

#include "app/Engine.h"
#include "serial/ComDevices.h"
#include "support/Fakes.h"
#include "support/Processes.h"

namespace reradav::test {

// The whole wedge under a private X server: a pseudo-terminal plays the scanner on COM16, the
// engine types through XTest, and a key target window records what arrives. Needs a
// QCoreApplication.
class X11Wedge {
  public:
    X11Wedge();
    ~X11Wedge();

    bool Start(std::string* error);
    // Sends bytes as the scanner would, in one write.
    void Scan(std::string_view bytes);
    // Runs the event loop until the target has `bytes` bytes of text or the time is up.
    std::string WaitForText(std::size_t bytes, int timeoutMs);
    // Runs the event loop for a while.
    void RunFor(int milliseconds);
    std::string Received() const;
    const std::string& OutputPath() const { return outputPath_; }
    void ClearReceived();
    bool CapsLock();
    void SetCapsLock(bool on);

    XvfbServer& X() { return x_; }
    Engine& Wedge() { return *engine_; }

    AppSettings settings;
    ComDevices devices;
    FakePreferences preferences;
    FakeWindow window;
    FakeBeeper beeper;

  private:
    XvfbServer x_;
    pid_t target_ = -1;
    std::string folder_;
    std::string outputPath_;
    int master_ = -1;
    KeyboardPlatform* keyboard_ = nullptr;
    std::unique_ptr<Engine> engine_;
};

}  // namespace reradav::test
