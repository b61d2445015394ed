#include "shell/linux/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace reradav {
namespace {

void SetError(std::string* error, const std::string& what) {
    if (error != nullptr) {
        *error = what + ": " + std::strerror(errno);
    }
}

}  // namespace

std::string InstanceLockPathFor(const std::string& settingsFile) {
    return settingsFile + ".lock";
}

SingleInstance::SingleInstance(std::string lockPath) : lockPath_(std::move(lockPath)) {}

SingleInstance::~SingleInstance() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

SingleInstance::Result SingleInstance::Acquire(std::string* error) {
    if (fd_ >= 0) {
        return Result::Acquired;
    }
    const std::size_t slash = lockPath_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : lockPath_.substr(0, slash);
    if (!folder.empty() && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        SetError(error, "Cannot create " + folder);
        return Result::Failed;
    }
    // In a shared /tmp another user could have put a folder or a link there first.
    struct stat info {};
    if (!folder.empty() && (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
                            info.st_uid != ::geteuid())) {
        errno = EPERM;
        SetError(error, folder + " is not a folder of this user");
        return Result::Failed;
    }
    const int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        SetError(error, "Cannot open " + lockPath_);
        return Result::Failed;
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool busy = errno == EWOULDBLOCK;
        SetError(error, busy ? "Another copy holds " + lockPath_ : "Cannot lock " + lockPath_);
        ::close(fd);
        return busy ? Result::AlreadyRunning : Result::Failed;
    }
    // The process id, for whoever looks into the file; the lock is what counts.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, pid.data(), pid.size());
    }
    fd_ = fd;
    return Result::Acquired;
}

}  // namespace reradav
