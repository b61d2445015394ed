#include "support/ScannerPty.h"

#include <fcntl.h>
#include <pty.h>

namespace reradav::test {

bool ScannerPty::Open(std::string* error) {
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

}  // namespace reradav::test
