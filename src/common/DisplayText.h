#pragma once

#include <string>

namespace reradav {

// How the terminal-style display shows a read: control characters as their OEM glyphs (a
// carriage return is a note), DEL as a house, the rest as Windows-1252 text. UTF-16, which both
// the Qt and the Win32 windows take.
std::u16string DisplayCharacters(const std::string& bytes);

}  // namespace reradav
