#pragma once

#include <QString>
#include <string>

namespace reradav {

// Settings, reads and key strings are bytes in Windows-1252; widgets show Unicode.
QString FromWindows1252(const std::string& bytes);
// Characters Windows-1252 lacks become "?"; `lossless` (when given) says whether any did.
std::string ToWindows1252(const QString& text, bool* lossless = nullptr);

}  // namespace reradav
