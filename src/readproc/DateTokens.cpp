#include "readproc/DateTokens.h"

#include <algorithm>
#include <string_view>

namespace reradav {
namespace {

std::string TwoDigits(int value) {
    value %= 100;
    return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

std::size_t FindIgnoringCase(const std::string& text, std::string_view upperToken) {
    auto it = std::search(
        text.begin(), text.end(), upperToken.begin(), upperToken.end(),
        [](char a, char b) { return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 32) : a) == b; });
    return it == text.end() ? std::string::npos : static_cast<std::size_t>(it - text.begin());
}

}  // namespace

std::string ExpandDateTokens(std::string text, Clock& clock) {
    static constexpr std::string_view kTokens[] = {"{YEAR}", "{MONTH}",  "{DAY}",
                                                   "{HOUR}", "{MINUTE}", "{SECOND}"};
    for (int t = 0; t < 6; ++t) {
        std::size_t p = FindIgnoringCase(text, kTokens[t]);
        if (p == std::string::npos) {
            continue;
        }
        LocalDateTime now = clock.Now();
        const int fields[] = {now.year, now.month, now.day, now.hour, now.minute, now.second};
        text.replace(p, kTokens[t].size(), TwoDigits(fields[t]));
    }
    return text;
}

}  // namespace reradav
