#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace reradav {

// A password box: "*" for each character, no longer than the settings file keeps.
void SetUpPasswordBox(HWND box);
// The text of a password box, or nullopt after telling the user (owned by `dialog`) which
// character the settings file cannot keep.
std::optional<std::string> PasswordText(HWND dialog, int id);

}  // namespace reradav
