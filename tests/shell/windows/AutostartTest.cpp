#include "shell/windows/Autostart.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/windows/SystemText.h"

namespace reradav {

// The value as stored: a REG_SZ, every character and the terminating zero.
std::wstring RunOnceValue() {
    wchar_t data[300];
    DWORD size = sizeof data;
    return ::RegGetValueW(HKEY_CURRENT_USER,
                          L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", L"Reradav",
                          RRF_RT_REG_SZ, nullptr, data, &size) == 0
               ? std::wstring(data, size / sizeof(wchar_t))
               : L"(none)";
}

TEST(WindowsAutostart, RunOnceHoldsTheQuotedProgramAndItsSwitchUntilDeleted) {
    // This process's current-user keys go to a scratch key, never to the real RunOnce.
    HKEY scratch = nullptr;
    ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\ReradavTests", &scratch), 0);
    ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, scratch), 0);
    const struct {
        const char* command;
        const wchar_t* stored;
    } rows[] = {
        {"C:\\Program Files\\Reradav\\RERADAV.EXE", L"\"C:\\Program Files\\Reradav\\RERADAV.EXE\""},
        {"C:\\Users\\Zo\xC3\xAB Lee\\RERADAV.EXE /M",
         L"\"C:\\Users\\Zo\u00EB Lee\\RERADAV.EXE\" /M"},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(RegisterStartup(true, row.command));
        EXPECT_EQ(RunOnceValue(), std::wstring(row.stored) + L'\0');
    }
    EXPECT_FALSE(RegisterStartup(true, ""));
    // Deleted; a missing value is deleted already.
    EXPECT_TRUE(RegisterStartup(false, "") && RunOnceValue() == L"(none)");
    EXPECT_TRUE(RegisterStartup(false, ""));
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegDeleteTreeW(scratch, nullptr);
    ::RegCloseKey(scratch);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ReradavTests");
}

}  // namespace reradav
