#include "support/ScannerPty.h"

#include <fcntl.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

namespace reradav::test {

ScannerPty::~ScannerPty() {
    CloseSlave();
    if (master_ >= 0) {
        close(master_);
    }
}

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

void ScannerPty::Scan(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void ScannerPty::CloseSlave() {
    if (slave_ >= 0) {
        close(slave_);
        slave_ = -1;
    }
}

}  // namespace reradav::test
