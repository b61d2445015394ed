#pragma once

#include <string>
#include <vector>

namespace reradav {

// The autostart entry below a configuration folder (~/.config).
std::string AutostartEntryPath(const std::string& configHome);

// An Exec value of a desktop entry that runs `argv` as it is: each argument quoted when the
// Desktop Entry rules require it, '%' doubled, then escaped as a string value.
std::string DesktopExecValue(const std::vector<std::string>& argv);

// The whole desktop entry that starts `program` with `args` once: its command removes the entry
// at `entryPath` before starting the program, as RunOnce does.
std::string RunOnceDesktopEntry(const std::string& entryPath, const std::string& program,
                                const std::vector<std::string>& args);

// Start at the user's next logon, once. `command` is the program path, not quoted even with
// blanks in it, optionally followed by " /M". add=true writes the entry (folders created,
// replaced atomically), false removes it. True when the entry is in the state asked for
// (removing a missing entry succeeds).
bool RegisterStartup(bool add, const std::string& command, const std::string& configHome);

}  // namespace reradav
