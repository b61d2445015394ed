#pragma once

#include <filesystem>
#include <string>

namespace reradav {

// What is known of the program's folder.
struct ProgramFolder {
    std::filesystem::path path;
    bool writable = false;  // this user can make files there
    // The folder or its default.vav belongs to someone other than this user and the system, or
    // lets someone else write: then anyone could have put settings, key strings included, there.
    bool othersCanWrite = false;
    bool hasSettings = false;  // a default.vav is there
    // Installed by the system's package manager: not the user's even when the user can write it.
    bool systemInstalled = false;
};

// Where the settings are kept, and what became of a file beside the program.
struct SettingsPlace {
    std::filesystem::path file;  // read and saved
    // Beside the program: the first contents of `file` when it does not exist yet (the defaults
    // an administrator left for a shared install). Empty when there is none.
    std::filesystem::path startFrom;
    std::string why;  // why a file beside the program is not used; "" when it is or there is none
};

// Beside the program when its folder is the user's (writable, not the system's, and no one else
// can write it or its file): a portable copy. Else default.vav in `userFolder`, started from a
// trusted file beside the program. Without a user folder the program folder is the last resort.
SettingsPlace ChooseSettingsPlace(const ProgramFolder& folder,
                                  const std::filesystem::path& userFolder);

// One line for the user on the file beside the program: why it is not used, or that it gave
// the first settings; "" when there is nothing to say.
std::string OriginText(const SettingsPlace& place);

}  // namespace reradav
