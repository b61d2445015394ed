// A window with a multi-line EDIT that has the keyboard focus, for the end-to-end tests under
// Wine: whatever it receives is written to the file named on its command line, as UTF-8, after
// every change, so a test can wait for a text without reading the screen.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "common/windows/SystemText.h"

namespace {

constexpr int kEditId = 1;
std::wstring outputPath;
HWND edit = nullptr;

void WriteText() {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(edit, text.data(), int(text.size()))));
    const std::string utf8 = reradav::WideToUtf8(text);
    const std::wstring temp = outputPath + L".new";
    if (FILE* out = ::_wfopen(temp.c_str(), L"wb")) {
        std::fwrite(utf8.data(), 1, utf8.size(), out);
        std::fclose(out);
        ::MoveFileExW(temp.c_str(), outputPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kEditId && HIWORD(wParam) == EN_CHANGE) {
                WriteText();
            }
            return 0;
        case WM_SIZE:
            ::MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_SETFOCUS:
            ::SetFocus(edit);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (count != 2) {
        std::fputs("usage: edit_target OUTPUT-FILE\n", stderr);
        return 2;
    }
    outputPath = args[1];
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ReradavEditTarget";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"Key target",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 300, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    edit = ::CreateWindowExW(
        0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 0,
        0, 600, 300, window, reinterpret_cast<HMENU>(kEditId), windowClass.hInstance, nullptr);
    ::SetForegroundWindow(window);
    ::SetFocus(edit);
    WriteText();  // the file exists once the window is ready
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
