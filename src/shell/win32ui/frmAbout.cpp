#include "shell/win32ui/frmAbout.h"

#include <algorithm>

#include "common/win32ui/ResourceIds.h"
#include "common/windows/SystemText.h"
#include "shell/AboutText.h"

namespace reradav {

frmAbout::~frmAbout() {
    End(IDCANCEL);
    ::DeleteObject(titleFont_);
}

void frmAbout::ShowModal(HWND owner) {
    RunModal(owner, IDD_ABOUT);
}

void frmAbout::ShowModeless() {
    if (Handle() == nullptr && !Create(nullptr, IDD_ABOUT)) {
        return;
    }
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    ::UpdateWindow(Handle());
}

bool frmAbout::OnInit() {
    HWND window = Handle();
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_RERADAV));
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    titleFont_ = MakeFont(window, L"MS Shell Dlg", 12, true);
    ::SendMessageW(Item(IDC_LBLTITLE), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), TRUE);
    SetItemText(IDC_LBLVERSION, "Version " RERADAV_VERSION);

    // The warning may need more lines than the box has (a long path, a note on where the
    // settings came from): the box grows to show them all.
    HWND label = Item(IDC_LBLDISCLAIMER);
    const std::wstring text = Utf8ToWide(DisclaimerText(settingsFile_, origin_, keyboard_));
    ::SetWindowTextW(label, text.c_str());
    RECT box{};
    ::GetWindowRect(label, &box);
    RECT needed{0, 0, box.right - box.left, 0};
    HDC dc = ::GetDC(label);
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)));
    ::DrawTextW(dc, text.c_str(), -1, &needed,
                DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    ::SelectObject(dc, old);
    ::ReleaseDC(label, dc);
    const int extra = std::max(0L, needed.bottom - (box.bottom - box.top));
    ::SetWindowPos(label, nullptr, 0, 0, box.right - box.left, box.bottom - box.top + extra,
                   SWP_NOMOVE | SWP_NOZORDER);

    RECT frame{};
    ::GetWindowRect(window, &frame);
    int height = frame.bottom - frame.top + extra;
    if (mode_ == Mode::Splash) {
        ::ShowWindow(Item(IDOK), SW_HIDE);
        ::SetWindowTextW(window, L"");
        const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
        ::SetWindowLongPtrW(window, GWL_STYLE, (style & ~(WS_CAPTION | WS_SYSMENU)) | WS_BORDER);
        // Not a window of its own in the task bar.
        ::SetWindowLongPtrW(window, GWL_EXSTYLE,
                            ::GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
        height = TwipsToPixels(window, 4950) + extra;
    }
    ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    CentreOnScreen(window);
    return true;
}

bool frmAbout::OnCommand(int id, int code) {
    if (id == IDOK) {
        End(IDOK);
        return true;
    }
    return Dialog::OnCommand(id, code);
}

// The warning in black, whatever the theme's text colour.
std::optional<INT_PTR> frmAbout::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == Item(IDC_LBLDISCLAIMER)) {
        ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    return std::nullopt;
}

}  // namespace reradav
