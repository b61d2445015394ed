#include "shell/linux/SettingsLocation.h"

#include <gtest/gtest.h>

#include "support/FakeEnvironment.h"
#include "support/TempFolder.h"

namespace reradav {

namespace fs = std::filesystem;
using test::Env;

// Rows: the folder, whether it is writable, whether others can write there, whether it has a
// default.vav; then the folder of the file used, the file it starts from, and what is said.
TEST(SettingsLocation, BesideAPortableProgramElseInTheConfigHome) {
    const auto ann = Env({{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}});
    const std::tuple<ProgramFolder, EnvLookup, const char*, const char*> rows[] = {
        {{"/srv/usr", true, false, true}, ann, "/srv/usr", ""},
        {{"/opt/r", false, false, false}, ann, "/cfg/reradav", ""},
        {{"/opt/r", false, false, true}, ann, "/cfg/reradav", "First settings from /opt/r/"},
        {{"/tmp/r", true, true, true}, ann, "/cfg/reradav", "Not /tmp/r/default.vav: others "},
        {{"/tmp/r", true, true, false}, ann, "/cfg/reradav", "Not /tmp/r/default.vav: others "},
        {{"/opt/../usr/lib", true, false, false}, ann, "/cfg/reradav", ""},
        {{"", true, false, false}, ann, "/cfg/reradav", ""},
        {{"/usr", true, false, false},
         Env({{"HOME", "/h"}, {"XDG_CONFIG_HOME", "rel"}}),
         "/h/.config/reradav",
         ""},
        {{"/usr/b", true, false, false}, Env({{"HOME", "rel"}}), "/usr/b", ""}};
    for (const auto& [folder, env, expected, said] : rows) {
        const SettingsPlace place = SettingsPlaceFor(folder, env);
        EXPECT_EQ(place.file, fs::path(expected) / "default.vav") << folder.path;
        EXPECT_EQ(OriginText(place).substr(0, std::string_view(said).size()), said);
    }
    EXPECT_EQ(SettingsPlaceNow().file, ProgramPathFor().parent_path() / "default.vav")
        << "a portable build";
}

// An administrator's file starts a user's settings: copied once, private, never over the user's
// own; a copy that fails is said.
TEST(SettingsLocation, TheFirstSettingsAreAPrivateCopyOfTheTrustedFile) {
    test::TempFolder temp;
    test::WriteBytes(temp / "default.vav", "[Reradav]\r\nComPort=3\r\n");
    SettingsPlace place{temp / "home/.config/reradav/default.vav", temp / "default.vav", ""};
    EXPECT_EQ(PrepareSettingsPlace(place, temp.path()).why, "");
    EXPECT_EQ(test::ReadBytes(place.file), "[Reradav]\r\nComPort=3\r\n");
    EXPECT_EQ(fs::status(place.file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(place.file.parent_path()).permissions() & fs::perms::all,
              fs::perms::owner_all);
    test::WriteBytes(place.file, "mine");
    EXPECT_EQ(PrepareSettingsPlace(place, temp.path()).why, "");
    EXPECT_EQ(test::ReadBytes(place.file), "mine");
    place.file = temp / "other/default.vav";
    place.startFrom = temp / "gone.vav";
    EXPECT_EQ(PrepareSettingsPlace(place, temp.path())
                  .why.rfind("Cannot start from " + place.startFrom.string(), 0),
              0u);
}

}  // namespace reradav
