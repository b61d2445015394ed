#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "common/linux/Environment.h"

namespace reradav {

// What is known of the program's folder.
struct ProgramFolder {
    std::filesystem::path path;
    bool writable = false;  // by this user
    // The folder or its default.vav belongs to another user (not root) or is writable by its
    // group or by everyone: then anyone could have put settings, key strings included, there.
    bool othersCanWrite = false;
    bool hasSettings = false;  // a default.vav is there
};

// Where the settings are kept, and what became of a file beside the program.
struct SettingsPlace {
    std::filesystem::path file;  // read and saved
    // Beside the program: the first contents of `file` when it does not exist yet (an
    // administrator's defaults for a shared install). Empty when there is none.
    std::filesystem::path startFrom;
    std::string why;  // why a file beside the program is not used; "" when it is or there is none
};

// Beside the program when its folder is the user's (writable, not under /usr, and no one else
// can write it or its file, the rule ssh applies to its configuration): a portable install.
// Else <config home>/reradav/default.vav, started from a trusted file beside the program. Without
// a usable config home the program folder is the last resort.
SettingsPlace SettingsPlaceFor(const ProgramFolder& folder, const EnvLookup& env);
// One line for the user on the file beside the program: why it is not used, or that it gave
// the first settings; "" when there is nothing to say.
std::string OriginText(const SettingsPlace& place);

// The full path of the running program file, read from the link `exeLink`; empty when the
// link cannot be read. A program replaced on disk while running (an upgrade) reads as
// "<path> (deleted)": the suffix is dropped, since the new file there is what should start.
std::filesystem::path ProgramPathFor(const std::filesystem::path& exeLink = "/proc/self/exe");

// SettingsPlaceFor this process. The per-user folder is made, and a missing per-user file is
// copied from `startFrom` (its mode 0600); a failed copy is said in `why`.
SettingsPlace SettingsPlaceNow();

}  // namespace reradav
