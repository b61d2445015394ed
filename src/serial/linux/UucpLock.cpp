#include "serial/linux/UucpLock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace reradav {

bool UucpLock::Take(const std::string& devicePath, pid_t* holder) {
    Release();
    // The device's own name, as the other tools name it: links (by-id) resolved.
    char real[PATH_MAX];
    const std::string device = realpath(devicePath.c_str(), real) != nullptr ? real : devicePath;
    const std::string file =
        directory_ + "/LCK.." + std::filesystem::path(device).filename().string();
    // HDB format: the PID as ten characters and a newline; older tools wrote it without padding.
    pid_t pid = 0;
    if (std::ifstream in(file);
        in >> pid && pid > 0 && pid != getpid() && (kill(pid, 0) == 0 || errno == EPERM)) {
        *holder = pid;
        return false;
    }
    unlink(file.c_str());
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return true;
    }
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
    const bool written = write(fd, text, static_cast<std::size_t>(length)) == length;
    close(fd);
    written ? void(file_ = file) : void(unlink(file.c_str()));
    return true;
}

void UucpLock::Release() {
    if (!file_.empty()) {
        unlink(file_.c_str());
        file_.clear();
    }
}

}  // namespace reradav
