#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace reradav {

// A path as UTF-8 text (on Windows a path is UTF-16 inside, and its plain string() is in the
// ANSI code page).
std::string PathText(const std::filesystem::path& path);

// "<what> <path>: <system message for error>", the form every file error is reported in;
// `error` is an errno value, on Windows a GetLastError() one.
std::string FileErrorText(const char* what, const std::filesystem::path& path, int error);

#ifndef _WIN32
// Writes every byte, retrying after a signal; false on any other failure.
bool WriteAll(int fd, std::string_view bytes);
#endif

// Makes the missing folders of `folder` one level at a time with mode 0700 (the XDG rule for
// configuration folders), whatever the umask; true when `folder` is a folder afterwards. On
// Windows the folders inherit the access rules of the folder they are made in.
bool MakePrivateFolders(const std::filesystem::path& folder);

// Reads the whole file into `bytes`, as they are (no line-end translation). A missing file
// reads as empty. Returns "" or the reason it failed.
[[nodiscard]] std::string ReadWholeFile(const std::filesystem::path& file, std::string& bytes);

// Replaces `file` with `contents` so that a reader, a crash or a full disk sees the old file or
// the new one, never part of one: a temporary file beside the target, synced, renamed over it,
// and the folder synced. A symbolic link is followed (its target is replaced, the link stays).
// The file keeps its mode and a new file gets `newMode`, or with `FileMode::Always` every save
// sets `newMode` (a private file); on Windows a new file inherits its folder's access rules.
// A file its owner made read-only is not replaced. Returns "" or the reason it failed.
enum class FileMode { KeepExisting, Always };
[[nodiscard]] std::string ReplaceFileAtomically(const std::filesystem::path& file,
                                                std::string_view contents, mode_t newMode,
                                                FileMode policy = FileMode::KeepExisting);

// The file a save of `file` replaces: `file`, or the target of a symbolic link, so the link
// stays. Returns "" or the reason it cannot be found.
[[nodiscard]] std::string SaveTarget(const std::filesystem::path& file,
                                     std::filesystem::path& target);

// Removes the temporary files ReplaceFileAtomically leaves for `file` when the process is
// killed in the middle; only safe while no one else saves that file.
void RemoveStaleTemporaries(const std::filesystem::path& file);

// The name of such a temporary file: a leading dot and six characters after the file's name,
// so never taken for the file itself (nor, in the autostart folder, for a desktop entry).
std::string TemporaryNamePattern(const std::filesystem::path& file);

}  // namespace reradav
