#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace reradav {

// Looks up an environment variable; nullopt when it is not set. The same type as the keyboard
// adapters' lookup, so that one lookup serves both.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment, with HOME taken from the user database when the variable is unset
// (a service started without a login shell).
EnvLookup UserEnvironment();

// The user's configuration folder: $XDG_CONFIG_HOME, or $HOME/.config when that is unset, empty
// or relative (relative values are invalid by the XDG rules). Empty when neither is usable.
std::filesystem::path ConfigHomeFor(const EnvLookup& env);
// ConfigHomeFor this process.
std::filesystem::path ConfigHome();

// Where default.vav lives: beside the program when its folder is writable and not under /usr
// (a portable install), else <config home>/reradav/default.vav. Without a usable config home the
// program folder is the last resort.
std::filesystem::path SettingsPathFor(const std::filesystem::path& programFolder,
                                      bool programFolderWritable, const EnvLookup& env);

// The full path of the running program file, read from the link `exeLink`; empty when the
// link cannot be read. A program replaced on disk while running (an upgrade) reads as
// "<path> (deleted)": the suffix is dropped, since the new file there is what should start.
std::filesystem::path ProgramPathFor(const std::filesystem::path& exeLink = "/proc/self/exe");

// SettingsPathFor for this process, its folder created when it is the per-user one.
std::filesystem::path SettingsPath();

}  // namespace reradav
