#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "common/linux/Environment.h"
#include "shell/SettingsPlace.h"

namespace reradav {

// Beside the program when its folder is the user's (writable, not under /usr, and no one else
// can write it or its file, the rule ssh applies to its configuration): a portable install.
// Else <config home>/reradav/default.vav, started from a trusted file beside the program. Without
// a usable config home the program folder is the last resort.
SettingsPlace SettingsPlaceFor(const ProgramFolder& folder, const EnvLookup& env);
// The full path of the running program file, read from the link `exeLink`; empty when the
// link cannot be read. A program replaced on disk while running (an upgrade) reads as
// "<path> (deleted)": the suffix is dropped, since the new file there is what should start.
std::filesystem::path ProgramPathFor(const std::filesystem::path& exeLink = "/proc/self/exe");

// Makes the per-user folder of `place` (private) unless it is the program's, and copies a
// missing per-user file from `startFrom` (mode 0600); a failed copy is said in `why`.
SettingsPlace PrepareSettingsPlace(SettingsPlace place, const std::filesystem::path& programFolder);
// SettingsPlaceFor this process, prepared.
SettingsPlace SettingsPlaceNow();

}  // namespace reradav
