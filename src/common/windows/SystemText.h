#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace reradav {

// UTF-8 inside, UTF-16 at the Win32 boundary.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// Settings, reads and key strings are Windows-1252 bytes; windows show UTF-16. Characters
// Windows-1252 lacks become "?", and `lossless` (when given) says whether any did.
std::wstring Windows1252ToWide(std::string_view bytes);
std::string WideToWindows1252(std::wstring_view text, bool* lossless = nullptr);

// The system's own words for a GetLastError() code, without the trailing line end; the number
// when the system has none.
std::string SystemMessage(DWORD error);

}  // namespace reradav
