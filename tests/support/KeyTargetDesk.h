#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "support/Processes.h"
#include "support/ScannerPty.h"
#include "support/TempFolder.h"

namespace reradav::test {

// A private X server with the key target window in focus; what the window receives is read
// back as text. Sets DISPLAY for this process and its children.
class KeyTargetDesk {
  public:
    ~KeyTargetDesk() { Stop(target_); }
    // Without the target the desk is a bare X server (the target takes the focus back
    // whenever it loses it).
    bool Start(std::string* error, bool withTarget = true) {
        int fds[2];
        if (!x_.Start(error) || pipe2(fds, O_CLOEXEC) != 0) {
            return false;
        }
        setenv("DISPLAY", x_.Display().c_str(), 1);
        unsetenv("QT_QPA_PLATFORM");  // the test main's offscreen platform is not for children
        ClearReceived();
        target_ = withTarget ? Spawn(KEY_TARGET_PATH, {outputPath_}, fds[1]) : -1;
        close(fds[1]);
        // The target says "ready" once it has the focus.
        pollfd p{fds[0], POLLIN, 0};
        char line[7] = {};
        const bool ready = poll(&p, 1, 10000) == 1 && read(fds[0], line, 6) > 0;
        close(fds[0]);
        *error = "the key target window did not get the focus";
        return !withTarget || (ready && std::string(line) == "ready\n");
    }
    std::string Received() const { return ReadBytes(outputPath_); }
    void ClearReceived() { WriteBytes(outputPath_, ""); }
    const std::string& OutputPath() const { return outputPath_; }
    // A temporary folder removed with the desk.
    std::string Folder() const { return folder_.path().string(); }
    XvfbServer& X() { return x_; }
    pid_t Target() const { return target_; }

  private:
    XvfbServer x_;
    pid_t target_ = -1;
    TempFolder folder_;
    std::string outputPath_ = (folder_ / "received").string();
};

}  // namespace reradav::test
