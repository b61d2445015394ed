#pragma once

#include <filesystem>
#include <string>

#include "shell/SettingsPlace.h"

namespace reradav {

// Beside the program when its folder is the user's (writable, and no one else can write it or
// its file): a portable install. Else <appData>\Reradav\default.vav, started from a trusted file
// beside the program. Without a per-user folder the program folder is the last resort.
SettingsPlace SettingsPlaceFor(const ProgramFolder& folder, const std::filesystem::path& appData);
// The facts of `folder` as they are on disk.
ProgramFolder ProgramFolderAt(const std::filesystem::path& folder);
// Makes the per-user folder of `place` and, when its file is missing, copies `startFrom` there;
// a failed copy is said in `why`.
SettingsPlace PrepareSettingsPlace(SettingsPlace place);

// The roaming application-data folder of this user (%APPDATA%); empty when unknown.
std::filesystem::path AppDataFolder();
// The full path of the running program file, as the system reports it; empty when it cannot.
std::filesystem::path ProgramFilePath();
// The program path the start at logon runs: the folder of `programFile`, its name without
// extension, and ".EXE".
std::filesystem::path ProgramPathFor(const std::filesystem::path& programFile = ProgramFilePath());

// The settings place of this process, prepared.
SettingsPlace SettingsPlaceNow();

}  // namespace reradav
