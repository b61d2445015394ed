#include "shell/win32ui/Help.h"

#include <shellapi.h>

#include <filesystem>
#include <system_error>
#include <utility>

#include "shell/windows/SettingsLocation.h"

namespace reradav {
namespace {

// htmlhelp.h's entry point and commands; hhctrl.ocx is loaded when help is first asked for,
// so a system without it still starts.
using HtmlHelpFunction = HWND(WINAPI*)(HWND, const wchar_t*, UINT, DWORD_PTR);
constexpr UINT kDisplayTopic = 0x0000;
constexpr UINT kCloseAll = 0x0012;

HtmlHelpFunction HtmlHelp() {
    static const HtmlHelpFunction function = [] {
        HMODULE library = ::LoadLibraryW(L"hhctrl.ocx");
        return library == nullptr ? nullptr
                                  : reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(
                                        ::GetProcAddress(library, "HtmlHelpW")));
    }();
    return function;
}

bool helpUsed = false;  // HTML Help was started

bool IsFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

bool OpenHelp(HWND owner) {
    const std::filesystem::path folder = ProgramFilePath().parent_path();
    const std::filesystem::path chm = folder / kHelpFileName;
    if (IsFile(chm) && HtmlHelp() != nullptr) {
        helpUsed = true;
        if (HtmlHelp()(owner, chm.c_str(), kDisplayTopic, 0) != nullptr) {
            return true;
        }
    }
    const std::filesystem::path page = folder / L"Reradav.html";
    return IsFile(page) && reinterpret_cast<INT_PTR>(::ShellExecuteW(
                               owner, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

void CloseHelp() {
    if (std::exchange(helpUsed, false)) {
        HtmlHelp()(nullptr, nullptr, kCloseAll, 0);
    }
}

}  // namespace reradav
