#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "support/Processes.h"
#include "support/ScannerPty.h"

namespace reradav::test {

// A private X server with the key target window in focus; what the window receives is read
// back as text. Sets DISPLAY for this process and its children.
class KeyTargetDesk {
  public:
    KeyTargetDesk() = default;
    ~KeyTargetDesk();
    KeyTargetDesk(const KeyTargetDesk&) = delete;
    KeyTargetDesk& operator=(const KeyTargetDesk&) = delete;

    // Without the target window the desk is a bare X server (the target takes the focus back
    // whenever it loses it).
    bool Start(std::string* error, bool withTarget = true);
    std::string Received() const;
    void ClearReceived();
    const std::string& OutputPath() const { return outputPath_; }
    // A temporary folder removed with the desk.
    const std::string& Folder() const { return folder_; }
    XvfbServer& X() { return x_; }

  private:
    XvfbServer x_;
    pid_t target_ = -1;
    std::string folder_;
    std::string outputPath_;
};

}  // namespace reradav::test
