#include "lock/win32ui/LockDialogs.h"

#include "common/AppSettings.h"
#include "common/windows/SystemText.h"

namespace reradav {

void SetUpPasswordBox(HWND box) {
    ::SendMessageW(box, EM_SETPASSWORDCHAR, L'*', 0);
    // What the settings file gives back: a longer password would be cut on the next start.
    ::SendMessageW(box, EM_LIMITTEXT, kMaxSettingLength, 0);
}

// The settings file keeps a password in Windows-1252: a character outside it is refused and
// named, rather than saved as "?" (a Cyrillic password would otherwise lock with "???").
std::optional<std::string> PasswordText(HWND dialog, int id) {
    HWND box = ::GetDlgItem(dialog, id);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    bool lossless = true;
    std::string password = WideToWindows1252(text, &lossless);
    if (lossless) {
        return password;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool one = true;
        WideToWindows1252(text.substr(i, 1), &one);
        if (!one) {
            const std::size_t length = text[i] >= 0xD800 && text[i] < 0xDC00 ? 2 : 1;
            const std::wstring shown =
                L"\u201C" + text.substr(i, length) + L"\u201D cannot be used in a password.";
            ::MessageBoxW(dialog, shown.c_str(), L"Reradav", MB_OK);
            break;
        }
    }
    ::SetFocus(box);
    return std::nullopt;
}

}  // namespace reradav
