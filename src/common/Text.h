#pragma once

#include <string_view>

namespace reradav {

// The text without the blank characters at either end; each file format has its own blanks.
constexpr std::string_view Trim(std::string_view text, std::string_view blanks = " \t\r\n") {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace reradav
