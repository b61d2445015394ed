#include "shell/windows/Autostart.h"

#include <windows.h>

#include <string_view>

#include "common/windows/SystemText.h"

namespace reradav {
namespace {

constexpr wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kValueName[] = L"Reradav";

// A file name cannot hold "/", so " /M" at the end is never part of the path.
std::string QuotedProgram(std::string_view command) {
    constexpr std::string_view kMinimised = " /M";
    const bool minimised = command.ends_with(kMinimised);
    if (minimised) {
        command.remove_suffix(kMinimised.size());
    }
    return "\"" + std::string(command) + "\"" + (minimised ? std::string(kMinimised) : "");
}

}  // namespace

bool RegisterStartup(bool add, const std::string& command) {
    if (!add) {
        const LSTATUS status = ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunOnceKey, kValueName);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    if (command.empty()) {
        return false;
    }
    // Wide, so that a path outside the ANSI code page survives.
    const std::wstring data = Utf8ToWide(QuotedProgram(command));
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunOnceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status =
        ::RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace reradav
