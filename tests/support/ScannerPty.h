#pragma once

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <utility>

#include "common/Files.h"

namespace reradav::test {

// A pseudo-terminal that plays the scanner: the program opens the slave path.
class ScannerPty {
  public:
    ScannerPty() = default;
    ~ScannerPty() { CloseSlave(), HangUp(); }
    ScannerPty(const ScannerPty&) = delete;
    ScannerPty& operator=(const ScannerPty&) = delete;

    bool Open(std::string* error) {
        char name[256];
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            *error = "no pseudo-terminal";
            return false;
        }
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        slavePath_ = name;
        return true;
    }
    const std::string& SlavePath() const { return slavePath_; }
    // The master end: reads what the program wrote; tcgetattr on it reads the slave's settings.
    int Master() const { return master_; }
    // Sends bytes as the scanner would.
    void Scan(std::string_view bytes) { WriteAll(master_, bytes); }
    // Drops the slave end this side keeps open; call once the program has opened it.
    void CloseSlave() { close(std::exchange(slave_, -1)); }
    // Closes the master end, as an unplugged scanner would: the program reads a hang-up.
    void HangUp() { close(std::exchange(master_, -1)); }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace reradav::test
