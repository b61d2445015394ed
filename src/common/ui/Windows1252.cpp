#include "common/ui/Windows1252.h"

#include "common/CodePage1252.h"

namespace reradav {
QString FromWindows1252(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        text.append(
            QChar(static_cast<char16_t>(Windows1252ToUnicode(static_cast<std::uint8_t>(c)))));
    }
    return text;
}

std::string ToWindows1252(const QString& text, bool* lossless) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    bool all = true;
    for (QChar ch : text) {
        int byte = UnicodeToWindows1252(ch.unicode());
        if (byte < 0) {
            all = false;
            byte = '?';
        }
        bytes.push_back(static_cast<char>(byte));
    }
    if (lossless != nullptr) {
        *lossless = all;
    }
    return bytes;
}

}  // namespace reradav
