#pragma once

#include <string>

namespace reradav {

// The about box's warning, with the settings file in use, a line on where it came from (or ""),
// and the keyboard Reradav types with. UTF-8.
std::string DisclaimerText(const std::string& settingsFile, const std::string& origin,
                           const std::string& keyboard);

}  // namespace reradav
