#pragma once

#include <windows.h>

namespace reradav {

// The help file's name beside the program; the HTML page of the same name is the fallback.
constexpr const wchar_t* kHelpFileName = L"Reradav.chm";

// Opens the help at its default page: Reradav.chm beside the program through HTML Help, else
// Reradav.html beside it in the browser. False when neither opened.
bool OpenHelp(HWND owner);
// Closes the help windows this program opened (HTML Help's own thread must end before the
// program does).
void CloseHelp();

}  // namespace reradav
