#include "common/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace reradav {
std::string FileErrorText(const char* what, const std::filesystem::path& path, int error) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(error);
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

std::string ReplaceFileAtomically(const std::filesystem::path& file, std::string_view contents,
                                  mode_t newMode, FileMode policy) {
    std::filesystem::path target = file;
    std::error_code ec;
    if (std::filesystem::is_symlink(file, ec)) {
        target = std::filesystem::weakly_canonical(file, ec);
        if (ec) {
            return FileErrorText("Cannot resolve", file, ec.value());
        }
    }

    mode_t mode = newMode;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // The rename would replace it all the same, as the folder is writable.
        if ((old.st_mode & S_IWUSR) == 0) {
            return "Cannot replace " + target.string() + ": the file is read-only";
        }
        mode = policy == FileMode::Always ? newMode : old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return FileErrorText("Cannot examine", target, errno);
    }

    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    // A leading dot and a random ending: never taken for the file itself (nor, in the autostart
    // folder, for a desktop entry).
    std::string temp = folder / ("." + target.filename().string() + ".XXXXXX");
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

void RemoveStaleTemporaries(const std::filesystem::path& file) {
    const std::string prefix = "." + file.filename().string() + ".";
    std::error_code ec;
    for (std::filesystem::directory_iterator it(file.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) {
            std::error_code ignored;
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

}  // namespace reradav
