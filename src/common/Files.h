#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace reradav {

// "<what> <path>: <system message for error>", the form every file error is reported in.
std::string FileErrorText(const char* what, const std::filesystem::path& path, int error);

// Writes every byte, retrying after a signal; false on any other failure.
bool WriteAll(int fd, std::string_view bytes);

// Makes the missing folders of `folder` one level at a time with mode 0700 (the XDG rule for
// configuration folders), whatever the umask; true when `folder` is a folder afterwards.
bool MakePrivateFolders(const std::filesystem::path& folder);

// Replaces `file` with `contents` so that a reader, a crash or a full disk sees the old file or
// the new one, never part of one: a temporary file beside the target, synced, renamed over it,
// and the folder synced. A symbolic link is followed (its target is replaced, the link stays).
// The file keeps its mode and a new file gets `newMode`, or with `FileMode::Always` every save
// sets `newMode` (a private file). A file its owner made read-only is not replaced. Returns ""
// or the reason it failed.
enum class FileMode { KeepExisting, Always };
[[nodiscard]] std::string ReplaceFileAtomically(const std::filesystem::path& file,
                                                std::string_view contents, mode_t newMode,
                                                FileMode policy = FileMode::KeepExisting);

// Removes the temporary files ReplaceFileAtomically leaves for `file` when the process is
// killed in the middle; only safe while no one else saves that file.
void RemoveStaleTemporaries(const std::filesystem::path& file);

}  // namespace reradav
