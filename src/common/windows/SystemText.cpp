#include "common/windows/SystemText.h"

#include "common/CodePage1252.h"

namespace reradav {

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)),
        L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(),
                          static_cast<int>(wide.size()));
    return wide;
}

std::string WideToUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    std::string narrow(static_cast<std::size_t>(::WideCharToMultiByte(
                           CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr)),
                       '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(),
                          static_cast<int>(narrow.size()), nullptr, nullptr);
    return narrow;
}

std::wstring Windows1252ToWide(std::string_view bytes) {
    std::wstring wide;
    wide.reserve(bytes.size());
    for (const char byte : bytes) {
        wide += static_cast<wchar_t>(Windows1252ToUnicode(static_cast<std::uint8_t>(byte)));
    }
    return wide;
}

// A surrogate pair is one character outside Windows-1252: one "?".
std::string WideToWindows1252(std::wstring_view text, bool* lossless) {
    std::string bytes;
    bool whole = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int byte = UnicodeToWindows1252(static_cast<char32_t>(text[i]));
        whole = whole && byte >= 0;
        bytes += byte >= 0 ? static_cast<char>(byte) : '?';
        if (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size()) {
            ++i;
        }
    }
    if (lossless != nullptr) {
        *lossless = whole;
    }
    return bytes;
}

std::string SystemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(error) : WideToUtf8(text);
}

}  // namespace reradav
