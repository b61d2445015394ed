#include "shell/AboutText.h"

namespace reradav {

std::string DisclaimerText(const std::string& settingsFile, const std::string& origin,
                           const std::string& keyboard) {
    return "Warning: Reradav types what the scanner reads into whichever window has the "
           "keyboard focus, as if it were typed on the keyboard.\n\nSettings file:\n" +
           settingsFile + (origin.empty() ? "" : "\n" + origin) + "\n\nKeyboard: " + keyboard +
           "\n\nFree software under the MIT licence: " RERADAV_HOMEPAGE;
}

}  // namespace reradav
