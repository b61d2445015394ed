#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "support/Processes.h"

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

// A pseudo-terminal that plays the scanner: the program opens the slave path.
class ScannerPty {
  public:
    ScannerPty() = default;
    ~ScannerPty();
    ScannerPty(const ScannerPty&) = delete;
    ScannerPty& operator=(const ScannerPty&) = delete;

    bool Open(std::string* error);
    const std::string& SlavePath() const { return slavePath_; }
    // Sends bytes as the scanner would, in one write.
    void Scan(std::string_view bytes);
    // Drops the slave end this side keeps open; call once the program has opened it.
    void CloseSlave();

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace reradav::test
