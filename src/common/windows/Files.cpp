// The file layer with Win32 calls: wide paths, bytes as they are, the replace made durable.
#include "common/Files.h"

#include <windows.h>

#include <random>

#include "common/windows/SystemText.h"

namespace reradav {
namespace {

// Closes a file handle when it goes out of scope.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    bool Close() {
        const bool closed = !Valid() || ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

  private:
    HANDLE handle_;
};

std::filesystem::path TemporaryBeside(const std::filesystem::path& target) {
    std::string name = TemporaryNamePattern(target);
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (std::size_t i = name.size() - 6; i < name.size(); ++i) {
        name[i] = kLetters[random() % (sizeof kLetters - 1)];
    }
    return target.parent_path() / std::filesystem::path(Utf8ToWide(name));
}

}  // namespace

std::string FileErrorText(const char* what, const std::filesystem::path& path, int error) {
    return std::string(what) + " " + PathText(path) + ": " +
           SystemMessage(static_cast<DWORD>(error));
}

bool MakePrivateFolders(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

std::string ReadWholeFile(const std::filesystem::path& file, std::string& bytes) {
    bytes.clear();
    FileHandle handle(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.Valid()) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? std::string()
                   : FileErrorText("Cannot open", file, static_cast<int>(error));
    }
    char buffer[8192];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(handle.Get(), buffer, sizeof buffer, &got, nullptr)) {
            return FileErrorText("Cannot read", file, static_cast<int>(::GetLastError()));
        }
        if (got == 0) {
            return {};
        }
        bytes.append(buffer, got);
    }
}

std::string ReplaceFileAtomically(const std::filesystem::path& file, std::string_view contents,
                                  mode_t /*newMode*/, FileMode /*policy*/) {
    std::filesystem::path target;
    if (std::string error = SaveTarget(file, target); !error.empty()) {
        return error;
    }
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return "Cannot replace " + PathText(target) + ": the file is read-only";
    }

    const std::filesystem::path temp = TemporaryBeside(target);
    FileHandle handle(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.Valid()) {
        return FileErrorText("Cannot create a file beside", target,
                             static_cast<int>(::GetLastError()));
    }
    const char* failed = nullptr;
    DWORD error = 0;
    while (!contents.empty() && failed == nullptr) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1 << 20));
        if (!::WriteFile(handle.Get(), contents.data(), chunk, &written, nullptr) || written == 0) {
            failed = "Cannot write";
            error = ::GetLastError();
        }
        contents.remove_prefix(written);
    }
    if (failed == nullptr && !::FlushFileBuffers(handle.Get())) {
        failed = "Cannot write";
        error = ::GetLastError();
    }
    if (!handle.Close() && failed == nullptr) {
        failed = "Cannot write";
        error = ::GetLastError();
    }
    if (failed == nullptr && !::MoveFileExW(temp.c_str(), target.c_str(),
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failed = "Cannot replace";
        error = ::GetLastError();
    }
    if (failed != nullptr) {
        ::DeleteFileW(temp.c_str());
        return FileErrorText(failed, target, static_cast<int>(error));
    }
    return {};
}

}  // namespace reradav
