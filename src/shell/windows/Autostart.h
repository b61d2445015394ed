#pragma once

#include <string>

namespace reradav {

// Start at the user's next logon, once: the value "Reradav" under the current user's RunOnce key,
// which the system runs at the next logon and then deletes. `command` (UTF-8) is the program
// path, optionally followed by " /M"; the path is written in quotes, since unquoted a path with
// blanks ("C:\Program Files\...") runs C:\Program.exe when someone has put one there.
// add=true writes it (an empty command is refused), false deletes it. True when the registry is
// in the state asked for (deleting a missing value succeeds).
bool RegisterStartup(bool add, const std::string& command);

}  // namespace reradav
