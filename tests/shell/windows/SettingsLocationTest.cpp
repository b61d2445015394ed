#include "shell/windows/SettingsLocation.h"

#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include "common/Files.h"
#include "shell/windows/AccessRules.h"
#include "support/TempFolder.h"

namespace reradav {

namespace fs = std::filesystem;
using namespace test;
using enum Principal;

TEST(WindowsAccessRules, OnlyTheUserTheAdministratorsAndTheSystemMayWrite) {
    // Program Files: the installer's service and the administrators write, users read and run.
    EXPECT_TRUE(OnlyTrustedCanWrite({Administrators,
                                     {{TrustedInstaller, FILE_ALL_ACCESS},
                                      {CreatorOwner, GENERIC_ALL},
                                      {Other, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}}}));
    EXPECT_FALSE(OnlyTrustedCanWrite({Other, {}}));  // another user's
    // Each right that lets others change what is there (C:\ lets Authenticated Users append).
    for (const ACCESS_MASK right : std::initializer_list<ACCESS_MASK>{
             FILE_WRITE_DATA, FILE_APPEND_DATA, FILE_DELETE_CHILD, DELETE, WRITE_DAC, WRITE_OWNER,
             GENERIC_WRITE, GENERIC_ALL}) {
        EXPECT_FALSE(OnlyTrustedCanWrite({System, {{Other, right}}})) << right;
    }
}

// Rows: a default.vav is there; what everyone may change ("" nothing, "." the folder): an
// access list of none lets everyone do everything.
TEST(WindowsSettingsLocation, BesideTheProgramOnlyWhenNoOneElseCanWriteThere) {
    for (const auto& [hasFile, opened] :
         {std::pair{false, ""}, {true, ""}, {false, "."}, {true, "default.vav"}}) {
        TempFolder temp;
        const fs::path beside = temp / "default.vav";
        WriteBytes(hasFile ? beside : temp / "other", "[Reradav]\r\n");
        const bool others = *opened != '\0';
        ASSERT_TRUE(!others || ::SetNamedSecurityInfoW(const_cast<LPWSTR>((temp / opened).c_str()),
                                                       SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                                       nullptr, nullptr, nullptr, nullptr) == 0);
        const SettingsPlace place =
            SettingsPlaceFor(ProgramFolderAt(temp.path()), temp / "AppData");
        EXPECT_EQ(place.file, others ? temp / "AppData" / "Reradav" / "default.vav" : beside);
        EXPECT_EQ(OriginText(place),
                  others ? "Not " + PathText(beside) + ": others can write there." : "");
    }
    EXPECT_EQ(SettingsPlaceNow().file, ProgramFilePath().parent_path() / "default.vav");
}

// A per-machine install the user cannot write: its defaults are copied once, then left alone.
TEST(WindowsSettingsLocation, AnInstallsDefaultsStartTheUsersFileOnce) {
    TempFolder temp;
    const ProgramFolder folder{temp.path(), false, false, true};
    for (const char* administrators : {"[Reradav]\r\nComPort=3\r\n", "changed later"}) {
        WriteBytes(temp / "default.vav", administrators);
        const SettingsPlace place =
            PrepareSettingsPlace(SettingsPlaceFor(folder, temp / "AppData"));
        EXPECT_EQ(OriginText(place), "First settings from " + PathText(temp / "default.vav") + ".");
        EXPECT_EQ(place.file, temp / "AppData" / "Reradav" / "default.vav");
        EXPECT_EQ(ReadBytes(place.file), "[Reradav]\r\nComPort=3\r\n");
    }
    WriteBytes(temp / "Blocked", "");  // a file where the per-user folder should be
    EXPECT_TRUE(PrepareSettingsPlace(SettingsPlaceFor(folder, temp / "Blocked"))
                    .why.starts_with("Cannot start from " + PathText(temp / "default.vav") + ": "));
    EXPECT_EQ(ProgramPathFor(L"C:\\Program Files\\R R\\reradav.exe"),
              fs::path(L"C:\\Program Files\\R R\\reradav.EXE"));
}

}  // namespace reradav
