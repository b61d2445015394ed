#include "common/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace reradav {
std::string FileErrorText(const char* what, const std::filesystem::path& path, int error) {
    return std::string(what) + " " + PathText(path) + ": " + std::strerror(error);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool MakePrivateFolders(const std::filesystem::path& folder) {
    if (folder.empty()) {
        return true;
    }
    // create_directories would make them 0777 less the umask.
    std::filesystem::path partial;
    for (const auto& part : folder) {
        partial /= part;
        ::mkdir(partial.c_str(), 0700);
    }
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec);
}

std::string ReadWholeFile(const std::filesystem::path& file, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? std::string() : FileErrorText("Cannot open", file, errno);
    }
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return FileErrorText("Cannot read", file, error);
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return {};
}

std::string ReplaceFileAtomically(const std::filesystem::path& file, std::string_view contents,
                                  mode_t newMode, FileMode policy) {
    std::filesystem::path target;
    if (std::string error = SaveTarget(file, target); !error.empty()) {
        return error;
    }

    mode_t mode = newMode;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // The rename would replace it all the same, as the folder is writable.
        if ((old.st_mode & S_IWUSR) == 0) {
            return "Cannot replace " + PathText(target) + ": the file is read-only";
        }
        mode = policy == FileMode::Always ? newMode : old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return FileErrorText("Cannot examine", target, errno);
    }

    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    std::string temp = folder / TemporaryNamePattern(target);
    const int fd = ::mkstemp(temp.data());  // mode 0600, O_EXCL
    if (fd < 0) {
        return FileErrorText("Cannot create a file beside", target, errno);
    }
    const char* failed = nullptr;
    int error = 0;
    if (!WriteAll(fd, contents)) {
        failed = "Cannot write";
    } else if (mode != 0600 && ::fchmod(fd, mode) != 0) {
        failed = "Cannot set the mode of";
    } else if (::fsync(fd) != 0) {
        failed = "Cannot write";
    }
    if (failed != nullptr) {
        error = errno;
    }
    if (::close(fd) != 0 && failed == nullptr) {
        failed = "Cannot write";
        error = errno;
    }
    if (failed == nullptr && ::rename(temp.c_str(), target.c_str()) != 0) {
        failed = "Cannot replace";
        error = errno;
    }
    if (failed != nullptr) {
        ::unlink(temp.c_str());
        return FileErrorText(failed, target, error);
    }
    // Make the rename itself durable; the new file is in place either way.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

}  // namespace reradav
