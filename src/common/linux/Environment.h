#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace reradav {

// Looks up an environment variable; nullopt when it is not set. A function, so that tests can
// give the settings location and the keyboard choice an environment of their own.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment, with HOME taken from the user database when the variable is unset
// (a service started without a login shell).
EnvLookup UserEnvironment();

// The user's configuration folder: $XDG_CONFIG_HOME, or $HOME/.config when that is unset, empty
// or relative (relative values are invalid by the XDG rules). Empty when neither is usable.
std::filesystem::path ConfigHomeFor(const EnvLookup& env);
// ConfigHomeFor this process.
std::filesystem::path ConfigHome();

}  // namespace reradav
