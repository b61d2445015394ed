#include "common/StatusLine.h"

#include <algorithm>
#include <cstdint>

namespace reradav {
namespace {

// Windows-1252's lower-case letters have their capitals 0x20 below (the Latin-1 range) or at
// fixed places (š œ ž ÿ).
char Capital(char letter) {
    const auto code = static_cast<std::uint8_t>(letter);
    if ((code >= 'a' && code <= 'z') || (code >= 0xE0 && code <= 0xFE && code != 0xF7)) {
        return static_cast<char>(code - 0x20);
    }
    switch (code) {
        case 0x9A:
        case 0x9C:
        case 0x9E:
            return static_cast<char>(code - 0x10);
        case 0xFF:
            return '\x9F';
        default:
            return letter;
    }
}

}  // namespace

void StatusLine::Set(const std::string& subject, const std::string& text) {
    auto said = std::find_if(said_.begin(), said_.end(),
                             [&](const auto& each) { return each.first == subject; });
    if (said == said_.end()) {
        said = said_.insert(said_.end(), {subject, {}});
    }
    said->second = text;
    if (!text.empty()) {
        said->second[0] = Capital(text[0]);
        said->second += '.';
    }
}

std::vector<std::string> StatusLine::Sentences() const {
    std::vector<std::string> shown;
    for (const auto& [subject, sentence] : said_) {
        if (!sentence.empty()) {
            shown.push_back(sentence);
        }
    }
    return shown;
}

}  // namespace reradav
