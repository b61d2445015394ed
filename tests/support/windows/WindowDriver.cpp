// Works the program's windows from outside for the end-to-end tests under Wine, as a user or
// the shell would: finds a top-level window by its exact title and sends it what a click, a
// menu, the tray icon or a window manager's close sends. One command a run; exit status 0 when
// done, 1 when the window never came (or never went), 2 for a bad command line.
//   wait TITLE [visible|hidden|gone]     until the window is in that state (30 s at most)
//   command TITLE ID                     a menu command
//   click TITLE TEXT                     the button (or check box) with that caption
//   set TITLE ID TEXT                    a control's text (UTF-8)
//   text TITLE ID                        prints a control's text (UTF-8); ID 65535 a message
//   close TITLE | minimize TITLE         the window manager's close box, minimise button
//   tray TITLE MESSAGE                   a mouse message on the tray icon (0x203 double-click)
//   focus TITLE                          brings the window to the foreground
//   rect TITLE                           prints the window's frame as WxH+X+Y (screenshots)
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/windows/SystemText.h"

namespace {

struct Search {
    std::wstring title;
    HWND found = nullptr;
};

HWND Find(const std::wstring& title) {
    Search search{title};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* search = reinterpret_cast<Search*>(data);
            wchar_t text[256] = {};
            ::GetWindowTextW(window, text, 256);
            // A shown window first: a hidden one of the same title only when nothing else is.
            if (search->title == text && (search->found == nullptr || ::IsWindowVisible(window))) {
                search->found = window;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool InState(const std::wstring& title, const std::string& state) {
    HWND window = Find(title);
    if (state == "gone") {
        return window == nullptr;
    }
    return window != nullptr && (::IsWindowVisible(window) != FALSE) == (state == "visible");
}

// A control of another process answers WM_GETTEXT; GetWindowText gives only its first caption.
std::wstring TextOf(HWND control) {
    wchar_t text[1024] = {};
    ::SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND Child(HWND window, const std::wstring& text) {
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (TextOf(child) == text) {
            return child;
        }
    }
    return nullptr;
}

int Run(const std::vector<std::wstring>& args) {
    const std::wstring& verb = args[0];
    const std::wstring& title = args[1];
    if (verb == L"wait") {
        const std::string state = args.size() > 2 ? reradav::WideToUtf8(args[2]) : "visible";
        for (int tenth = 0; tenth < 300; ++tenth) {
            if (InState(title, state)) {
                return 0;
            }
            ::Sleep(100);
        }
        return 1;
    }
    HWND window = Find(title);
    if (window == nullptr) {
        std::fprintf(stderr, "window-driver: no window \"%s\"\n",
                     reradav::WideToUtf8(title).c_str());
        return 1;
    }
    const int id = args.size() > 2 ? std::wcstol(args[2].c_str(), nullptr, 0) : 0;
    if (verb == L"command" && args.size() == 3) {
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    } else if (verb == L"click" && args.size() == 3) {
        HWND button = Child(window, args[2]);
        if (button == nullptr) {
            std::fprintf(stderr, "window-driver: no button \"%s\"\n",
                         reradav::WideToUtf8(args[2]).c_str());
            return 1;
        }
        ::PostMessageW(button, BM_CLICK, 0, 0);
    } else if (verb == L"set" && args.size() == 4) {
        ::SendMessageW(::GetDlgItem(window, id), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(args[3].c_str()));
    } else if (verb == L"text" && args.size() == 3) {
        std::printf("%s\n", reradav::WideToUtf8(TextOf(::GetDlgItem(window, id))).c_str());
    } else if (verb == L"close") {
        ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (verb == L"minimize") {
        ::PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (verb == L"tray" && args.size() == 3) {
        ::PostMessageW(window, WM_APP + 2, 1, id);
    } else if (verb == L"rect") {
        RECT frame{};
        ::GetWindowRect(window, &frame);
        std::printf("%ldx%ld+%ld+%ld\n", frame.right - frame.left, frame.bottom - frame.top,
                    frame.left, frame.top);
    } else if (verb == L"focus") {
        ::SetForegroundWindow(window);
    } else {
        std::fputs("window-driver: bad command line\n", stderr);
        return 2;
    }
    return 0;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args(argv + 1, argv + count);
    ::LocalFree(argv);
    if (args.size() < 2) {
        std::fputs("usage: window_driver VERB TITLE [ARGUMENTS] (see the source)\n", stderr);
        return 2;
    }
    return Run(args);
}
