#include "common/win32ui/Dialog.h"

#include <cmath>
#include <vector>

#include "common/windows/SystemText.h"

namespace reradav {
namespace {

// The modal dialogs open now, innermost last; all on the one window thread.
std::vector<Dialog*>& OpenModal() {
    static std::vector<Dialog*> open;
    return open;
}

}  // namespace

Dialog::~Dialog() {
    if (window_ != nullptr && !modal_) {
        ::DestroyWindow(window_);
    }
}

INT_PTR Dialog::RunModal(HWND owner, int templateId) {
    modal_ = true;
    OpenModal().push_back(this);
    const INT_PTR result =
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner, Proc,
                          reinterpret_cast<LPARAM>(this));
    std::erase(OpenModal(), this);
    window_ = nullptr;
    return result;
}

bool Dialog::Create(HWND owner, int templateId) {
    modal_ = false;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner,
                                Proc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::End(INT_PTR result) {
    if (window_ == nullptr) {
        return;
    }
    if (modal_) {
        ::EndDialog(window_, result);
    } else {
        ::DestroyWindow(window_);  // WM_NCDESTROY forgets the handle
    }
}

void Dialog::CancelModalDialogs() {
    for (Dialog* dialog : OpenModal()) {
        dialog->End(IDCANCEL);
    }
}

int Dialog::ModalCount() {
    return static_cast<int>(OpenModal().size());
}

bool Dialog::OnCommand(int id, int) {
    if (id == IDCANCEL) {
        End(IDCANCEL);
        return true;
    }
    return false;
}

std::optional<INT_PTR> Dialog::OnMessage(UINT, WPARAM, LPARAM) {
    return std::nullopt;
}

INT_PTR CALLBACK Dialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->window_ = window;
        return dialog->OnInit() ? TRUE : FALSE;
    }
    auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        dialog->window_ = nullptr;
        return FALSE;
    }
    if (message == WM_COMMAND) {
        return dialog->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    }
    const std::optional<INT_PTR> handled = dialog->OnMessage(message, wParam, lParam);
    // The colour messages answer with the brush itself.
    if (handled && message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        return *handled;
    }
    if (handled) {
        ::SetWindowLongPtrW(window, DWLP_MSGRESULT, *handled);
        return TRUE;
    }
    return FALSE;
}

std::string Dialog::ItemText(int id, bool* lossless) const {
    HWND item = Item(id);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return WideToWindows1252(text, lossless);
}

void Dialog::SetItemText(int id, const std::string& text) {
    ::SetDlgItemTextW(window_, id, Windows1252ToWide(text).c_str());
}

int TwipsToPixels(HWND window, int twips) {
    const UINT dpi = window != nullptr ? ::GetDpiForWindow(window) : 96;
    return static_cast<int>(std::lround(twips * (dpi != 0 ? dpi : 96) / 1440.0));
}

void CentreOnScreen(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT frame{};
    if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !::GetWindowRect(window, &frame)) {
        return;
    }
    const RECT& area = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowMessage(HWND owner, const std::string& text) {
    ::MessageBoxW(owner, Windows1252ToWide(text).c_str(), L"Reradav", MB_OK | MB_SETFOREGROUND);
}

HFONT MakeFont(HWND window, const wchar_t* face, double points, bool bold) {
    const UINT dpi = window != nullptr ? ::GetDpiForWindow(window) : 96;
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * (dpi != 0 ? dpi : 96) / 72.0));
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return ::CreateFontIndirectW(&font);
}

void AddListItem(HWND combo, const std::string& text) {
    ::SendMessageW(combo, CB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(Windows1252ToWide(text).c_str()));
}

}  // namespace reradav
