#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "keys/linux/XkbLayout.h"

namespace reradav {

// Runs argv[0] (searched in PATH) with the other arguments and returns its standard output;
// nullopt when it cannot be started, exits other than 0, or is not done within the timeout.
using CommandOutput =
    std::function<std::optional<std::string>(const std::vector<std::string>& argv)>;
// The real one: stdin from /dev/null, stderr discarded, killed at the timeout.
CommandOutput RunCommand(std::chrono::milliseconds timeout = std::chrono::seconds(1));

// Where the desktop's keyboard layout is read from; tests replace all of it.
struct DesktopLayoutSources {
    EnvLookup env;  // HOME, XDG_CONFIG_HOME, SWAYSOCK, XKB_DEFAULT_*
    CommandOutput run;
    std::string registryFile = "/usr/share/X11/xkb/rules/evdev.xml";
    std::vector<std::string> systemFiles = SystemKeyboardFiles();
};

// The layout in use and where it was found, for the log: "GNOME settings", "KDE settings",
// "sway", "localectl", "XKB_DEFAULT_* variables", a system file's path, or "default".
struct DesktopLayout {
    XkbNames names;
    std::string source;
};

// The layout the user chose in the desktop, which the system files often do not know: GNOME's
// or KDE's settings, sway's active layout, localectl, then SystemKeyboardNames. A source that is
// missing, fails or answers garbage passes to the next. Of a list (de,us) the first entry is the
// one in use.
DesktopLayout DesktopKeyboardNames(const DesktopLayoutSources& sources);

// This process's environment (HOME from the user database when unset) and RunCommand().
DesktopLayoutSources ProcessDesktopLayoutSources();

// The layout this process's desktop names, compiled; the system's when the desktop names one
// this keymap data cannot compile. *source says where it came from; nullptr and *error when
// neither compiles.
std::unique_ptr<XkbLayout> CompileDesktopLayout(std::string* source, std::string* error);

}  // namespace reradav
