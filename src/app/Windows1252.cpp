#include "app/Windows1252.h"

namespace reradav {
namespace {

// 0x80..0x9F; 0 where Windows-1252 has no character (those bytes map to the C1 controls).
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t Unicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0) {
        return kHigh[byte - 0x80];
    }
    return byte;
}

}  // namespace

QString FromWindows1252(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        text.append(QChar(Unicode(static_cast<unsigned char>(c))));
    }
    return text;
}

std::string ToWindows1252(const QString& text, bool* lossless) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    bool all = true;
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        int byte = -1;
        if (u < 0x100 && Unicode(static_cast<unsigned char>(u)) == u) {
            byte = u;
        } else {
            for (int i = 0; i < 32; ++i) {
                if (kHigh[i] == u && u != 0) {
                    byte = 0x80 + i;
                }
            }
        }
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
