#pragma once

#include <windows.h>

#include <string>

namespace reradav {

// A keyboard layout as its user knows it: the locale name of its language ("de-DE"), and the
// keyboard when it is not that language's own ("de-DE, keyboard de-CH",
// "en-US, United States-Dvorak").
std::string KeyboardLayoutName(HKL layout);

}  // namespace reradav
